#include "caliper_geometry.h"

#include <algorithm>
#include <cmath>

namespace zrn::scene {

namespace {

QRect regionRect(double x, double y, double width, double height)
{
    return QRect(int(roundHalfUp(x)), int(roundHalfUp(y)), int(width), int(height));
}

bool inRange(double v, double low, double high)
{
    return low <= v && v <= high;
}

} // namespace

double roundHalfUp(double v)
{
    return std::floor(v + 0.5);
}

double verticalExtent(CaliperKind kind, double displayHeight)
{
    if (kind == CaliperKind::Reference)
        return std::max(look::referenceMinExtent, look::referenceExtentFraction * displayHeight);
    return look::extentFraction * displayHeight;
}

Span spanOf(CaliperKind kind, double y, double displayHeight)
{
    const double half = verticalExtent(kind, displayHeight) / 2;
    return {std::max(0.0, y - half), std::min(displayHeight, y + half)};
}

void appendGridLine(QList<QRect> &out, bool vertical, double at, double from, double to,
                    bool dashed, double ratio, int limit)
{
    const double s = ratio;
    const int thickness = std::max(1, int(roundHalfUp(look::lineWidth * s)));
    int across = int(roundHalfUp(at * s - thickness / 2.0));
    // A line on the display's edge is drawn on its outermost pixels, not beyond;
    // one beyond the edge (a rhythm repeat) stays there, out of sight.
    if (at * s >= 0 && at * s <= limit)
        across = std::clamp(across, 0, std::max(0, limit - thickness));
    const int first = int(roundHalfUp(from * s));
    const int last = int(roundHalfUp(to * s));
    const int direction = last >= first ? 1 : -1;
    const int length = std::abs(last - first);
    const int on = dashed ? std::max(1, int(roundHalfUp(look::dashOn * s))) : length;
    const int off = dashed ? std::max(1, int(roundHalfUp(look::dashOff * s))) : 0;
    for (int done = 0; done < length; done += on + off) {
        const int piece = std::min(on, length - done);
        const int a = first + direction * done;
        const int low = std::min(a, a + direction * piece);
        out.append(vertical ? QRect(across, low, thickness, piece)
                            : QRect(low, across, piece, thickness));
    }
}

CaliperShape caliperShape(CaliperKind kind, const CaliperLine &line, QSizeF display, double ratio,
                          bool selected, Part hovered)
{
    const double height = display.height();
    const Span span = spanOf(kind, line.y, height);
    const bool rhythm = kind == CaliperKind::Rhythm;
    const bool dashed = kind == CaliperKind::Reference;
    const double interval = line.endX - line.startX;
    const double middle = (line.startX + line.endX) / 2;
    const double extensionEnd = rhythm ? line.endX + interval * look::rhythmMarkerCount : line.endX;
    const int deviceWidth = int(std::ceil(display.width() * ratio));
    const int deviceHeight = int(std::ceil(height * ratio));

    CaliperShape shape;
    const auto appendLine = [&](bool vertical, double at, double from, double to, int limit) {
        const qsizetype begin = shape.lines.size();
        appendGridLine(shape.lines, vertical, at, from, to, dashed, ratio, limit);
        if (dashed && shape.lines.size() > begin)
            shape.dashed.emplace_back(begin, shape.lines.size());
    };
    appendLine(false, line.y, line.startX, extensionEnd, deviceHeight);
    appendLine(true, line.startX, span.top, span.bottom, deviceWidth);
    appendLine(true, line.endX, span.top, span.bottom, deviceWidth);
    if (rhythm) {
        // Repeats beyond the display's edge are simply not visible.
        const double tick = look::markerFraction * verticalExtent(kind, height);
        const double top = std::max(0.0, line.y - tick / 2);
        const double bottom = std::min(height, line.y + tick / 2);
        for (int k = 1; k <= look::rhythmMarkerCount; ++k)
            appendGridLine(shape.lines, true, line.endX + interval * k, top, bottom, false, ratio,
                           deviceWidth);
    }

    const double side = selected ? look::selectedHandleSide : look::handleSide;
    shape.handles = {Square{{line.startX, line.y}, side}, Square{{line.endX, line.y}, side},
                     Square{{middle, line.y}, side}};
    if (hovered != Part::None) {
        const double x = hovered == Part::Left    ? line.startX
                         : hovered == Part::Right ? line.endX
                                                  : middle;
        shape.ring = Square{{x, line.y}, look::hoverRingSide};
    }
    return shape;
}

void appendRegions(QList<QRect> &visual, QList<QRect> &interactive, CaliperKind kind,
                   const CaliperLine &line, QSizeF display)
{
    const double height = display.height();
    const Span span = spanOf(kind, line.y, height);
    const double left = std::min(line.startX, line.endX);
    const double right = std::max(line.startX, line.endX);
    const double spanHeight = std::max(1.0, roundHalfUp(span.bottom - span.top));
    const double strip = 2 * look::lineStripHalf;
    const QRect primaryLine = regionRect(left, line.y - look::lineStripHalf,
                                         std::max(1.0, roundHalfUp(right - left)), strip);
    const QRect centerHandle
        = regionRect((left + right) / 2 - look::centerHandleHalf, line.y - look::centerHandleHalf,
                     2 * look::centerHandleHalf, 2 * look::centerHandleHalf);

    interactive << regionRect(line.startX - look::lineStripHalf, span.top, strip, spanHeight)
                << regionRect(line.endX - look::lineStripHalf, span.top, strip, spanHeight)
                << primaryLine << centerHandle;
    const double paintStrip = 2 * look::paintStripHalf;
    visual << regionRect(line.startX - look::paintStripHalf, span.top, paintStrip, spanHeight)
           << regionRect(line.endX - look::paintStripHalf, span.top, paintStrip, spanHeight)
           << primaryLine << centerHandle;

    if (kind != CaliperKind::Rhythm)
        return;
    // The repeats are visible but take no mouse.
    const double interval = line.endX - line.startX;
    const double extensionEnd = line.endX + interval * look::rhythmMarkerCount;
    visual << regionRect(std::min(line.startX, extensionEnd), line.y - look::lineStripHalf,
                         std::max(1.0, roundHalfUp(std::fabs(extensionEnd - line.startX))), strip);
    const double tick = look::markerFraction * verticalExtent(kind, height);
    const double top = std::max(0.0, line.y - tick / 2);
    const double bottom = std::min(height, line.y + tick / 2);
    for (int k = 1; k <= look::rhythmMarkerCount; ++k)
        visual << regionRect(line.endX + interval * k - look::markerStripHalf, top,
                             2 * look::markerStripHalf, std::max(1.0, roundHalfUp(bottom - top)));
}

Part hitPart(CaliperKind kind, const CaliperLine &line, QPointF point, double displayHeight)
{
    const Span span = spanOf(kind, line.y, displayHeight);
    const double x = point.x();
    const double y = point.y();
    const bool inSpan = inRange(y, span.top, span.bottom);
    if (inSpan && std::fabs(x - line.startX) <= look::endpointTolerance)
        return Part::Left;
    if (inSpan && std::fabs(x - line.endX) <= look::endpointTolerance)
        return Part::Right;
    if (std::fabs(x - (line.startX + line.endX) / 2) <= look::centerTolerance
        && std::fabs(y - line.y) <= look::centerTolerance)
        return Part::Move;
    if (inRange(x, std::min(line.startX, line.endX), std::max(line.startX, line.endX))
        && std::fabs(y - line.y) <= look::lineTolerance)
        return Part::Move;
    return Part::None;
}

CaliperLine dragged(Part part, const CaliperLine &initial, QPointF delta, QSizeF display)
{
    const double dx = delta.x();
    const double width = display.width();
    const double gap = look::minimumGap;
    // A caliper drawn from right to left is clamped the same way, mirrored.
    const bool reversed = initial.startX > initial.endX;
    CaliperLine line = initial;
    switch (part) {
    case Part::Left:
        line.startX = reversed ? std::min(width, std::max(initial.endX + gap, initial.startX + dx))
                               : std::max(0.0, std::min(initial.endX - gap, initial.startX + dx));
        break;
    case Part::Right:
        line.endX = reversed ? std::max(0.0, std::min(initial.startX - gap, initial.endX + dx))
                             : std::min(width, std::max(initial.startX + gap, initial.endX + dx));
        break;
    case Part::Move:
        line = keptInside({initial.startX + dx, initial.endX + dx, initial.y + delta.y()}, width,
                          display.height());
        break;
    case Part::None:
        break;
    }
    return line;
}

} // namespace zrn::scene
