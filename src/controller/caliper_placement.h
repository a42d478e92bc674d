#pragma once

// Where a caliper may lie on its display: wholly inside it, horizontally and
// with its line vertically. One rule for a drag, a key and a display that
// shrank.

namespace zrn {

struct CaliperLine
{
    double startX = 0.0;
    double endX = 0.0; // may be left of startX: a reversed caliper
    double y = 0.0;
};

// The caliper moved the least distance that puts it inside a display of
// width × height: keeping its width and direction where it fits, squeezed to
// the display's width where it does not. Its line is kept on the display.
[[nodiscard]] CaliperLine keptInside(const CaliperLine &line, double width, double height);

} // namespace zrn
