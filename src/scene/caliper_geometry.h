#pragma once

// The shape of a caliper on its overlay: how far its lines reach, which parts
// take the mouse, how a drag moves it, and what is drawn, on the device-pixel
// grid. Everything here is a pure function of the caliper's geometry and its
// display, shared by hit testing, the regions and the drawing.

#include "caliper_placement.h"
#include "measurement_model.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace zrn::scene {
Q_NAMESPACE

// Sizes, tolerances and colours of the caliper drawing, in logical pixels.
namespace look {
inline constexpr double referenceMinExtent = 48;
inline constexpr double referenceExtentFraction = 0.10;
inline constexpr double extentFraction = 0.80;
inline constexpr double markerFraction = 0.25;
inline constexpr int rhythmMarkerCount = 10;

// Mouse strips and hit tolerances.
inline constexpr double lineStripHalf = 5;
inline constexpr double paintStripHalf = 10;
inline constexpr double centerHandleHalf = 9;
inline constexpr double endpointTolerance = 7;
inline constexpr double centerTolerance = 10;
inline constexpr double lineTolerance = 7;
inline constexpr double minimumGap = 10.01;
inline constexpr double markerStripHalf = 3;

// Lines and handles.
inline constexpr double lineWidth = 1;
inline constexpr double dashOn = 5;
inline constexpr double dashOff = 4;
inline constexpr double handleSide = 8;
inline constexpr double selectedHandleSide = 9;
inline constexpr double maxHandleRadius = 3;
inline constexpr double hoverRingSide = 14;
inline constexpr double hoverRingWidth = 2;
inline constexpr unsigned hoverRingColor = 0xff5eead4;
} // namespace look

// The part of a caliper under the pointer.
enum class Part { None, Left, Right, Move };
Q_ENUM_NS(Part)

// The top and bottom of a caliper's vertical lines.
struct Span
{
    double top = 0.0;
    double bottom = 0.0;
};

// A rounded square centred on a point: a handle or the hover ring.
struct Square
{
    QPointF centre;
    double side = 0.0;
};

// What is drawn of one caliper, in device pixels for the lines.
struct CaliperShape
{
    QList<QRect> lines; // device pixels: horizontal line, both verticals, rhythm markers
    // The dashed lines, as [begin, end) ranges of `lines`: each is drawn as one
    // image, since hundreds of small rectangles cost the software renderer dearly.
    std::vector<std::pair<qsizetype, qsizetype>> dashed;
    std::array<Square, 3> handles; // start, end, middle
    std::optional<Square> ring;
};

[[nodiscard]] double verticalExtent(CaliperKind kind, double displayHeight);
[[nodiscard]] Span spanOf(CaliperKind kind, double y, double displayHeight);

// Nearest integer, halves towards positive infinity.
[[nodiscard]] double roundHalfUp(double v);

// A straight line on the device-pixel grid, as filled device-pixel rectangles:
// `at` is its position across (x of a vertical line, y of a horizontal one),
// `from` and `to` its ends along, all logical; its width is the line width in
// whole device pixels (at least one), kept within the `limit` device pixels
// across, so that a line at the display's far edge is drawn on its last pixels.
// A dashed line starts its pattern at `from`.
void appendGridLine(QList<QRect> &out, bool vertical, double at, double from, double to,
                    bool dashed, double ratio, int limit);

// The drawing of a caliper with the given geometry on a display of `display`
// logical pixels at `ratio` device pixels per logical one.
[[nodiscard]] CaliperShape caliperShape(CaliperKind kind, const CaliperLine &line, QSizeF display,
                                        double ratio, bool selected, Part hovered);

// The rectangles of a caliper in the window's logical pixels: where it takes
// the mouse, and where it may paint (its label's region aside).
void appendRegions(QList<QRect> &visual, QList<QRect> &interactive, CaliperKind kind,
                   const CaliperLine &line, QSizeF display);

// The part of a caliper under a point, from its stored geometry.
[[nodiscard]] Part hitPart(CaliperKind kind, const CaliperLine &line, QPointF point,
                           double displayHeight);

// The geometry shown while a part is dragged by `delta` from where it was
// pressed: an endpoint stays at least the minimum gap on its own side of the
// other and on the display; a move keeps the whole caliper on the display.
[[nodiscard]] CaliperLine dragged(Part part, const CaliperLine &initial, QPointF delta,
                                  QSizeF display);

} // namespace zrn::scene
