#include "caliper_placement.h"

#include <algorithm>
#include <cmath>

namespace zrn {

CaliperLine keptInside(const CaliperLine &line, double width, double height)
{
    const double w = line.endX - line.startX;
    const double span = std::min(std::fabs(w), width);
    const double left = std::max(0.0, std::min(width - span, std::min(line.startX, line.endX)));
    const bool reversed = w < 0.0;
    return {reversed ? left + span : left, reversed ? left : left + span,
            std::max(0.0, std::min(height, line.y))};
}

} // namespace zrn
