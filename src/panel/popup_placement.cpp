#include "popup_placement.h"

#include <algorithm>
#include <cmath>

namespace {

// Window positions are whole pixels; halves go up, as everywhere in the panel.
int roundHalfUp(double value)
{
    return int(std::floor(value + 0.5));
}

// Clamped to [low, high]; where the range is empty, low wins.
double clampLowFirst(double value, double low, double high)
{
    return std::max(low, std::min(value, high));
}

QRect rectOf(double x, double y, double width, double height)
{
    return QRect(roundHalfUp(x), roundHalfUp(y), roundHalfUp(width), roundHalfUp(height));
}

} // namespace

PopupPlacement::PopupPlacement(QObject *parent) : QObject(parent) {}

QRect PopupPlacement::dropDown(const QRectF &selector, const QSizeF &size, double gap,
                               const QRectF &area) const
{
    const double width = std::min(size.width(), area.width());
    const double x = clampLowFirst(selector.x() + (selector.width() - width) / 2, area.left(),
                                   area.right() - width);
    // A selector partly off the area (the panel dragged over its edge) still
    // gets its list inside.
    const double belowTop = std::max(area.top(), selector.bottom() + gap);
    const double aboveBottom = std::min(area.bottom(), selector.top() - gap);
    const double roomBelow = area.bottom() - belowTop;
    const double roomAbove = aboveBottom - area.top();
    if (size.height() <= roomBelow)
        return rectOf(x, belowTop, width, size.height());
    if (size.height() <= roomAbove)
        return rectOf(x, aboveBottom - size.height(), width, size.height());
    if (roomBelow > 0 && roomBelow >= roomAbove)
        return rectOf(x, belowTop, width, roomBelow);
    if (roomAbove > 0)
        return rectOf(x, area.top(), width, roomAbove);
    // The selector fills the area's height: the list covers it rather than
    // leave the display.
    const double height = std::min(size.height(), area.height());
    return rectOf(x, clampLowFirst(belowTop, area.top(), area.bottom() - height), width, height);
}

QRect PopupPlacement::besidePanel(const QRectF &panel, double headerHeight, const QSizeF &size,
                                  double minimumHeight, double margin, const QRectF &area) const
{
    if (area.isEmpty())
        return rectOf(panel.right() + margin, panel.top(), size.width(), size.height());

    const QRectF inner = area.adjusted(margin, margin, -margin, -margin);
    const double width = std::min(size.width(), inner.width());
    const double height = std::min(size.height(), inner.height());
    const double besideTop = clampLowFirst(panel.top(), inner.top(), inner.bottom() - height);
    if (panel.right() + margin + width <= inner.right())
        return rectOf(std::max(inner.left(), panel.right() + margin), besideTop, width, height);
    if (panel.left() - margin - width >= inner.left())
        return rectOf(std::min(inner.right() - width, panel.left() - margin - width), besideTop,
                      width, height);

    // Over or under the panel: as far left as the panel, inside the area.
    const double x = clampLowFirst(panel.left(), inner.left(), inner.right() - width);
    const double belowTop = std::max(inner.top(), panel.bottom() + margin);
    const double aboveBottom = std::min(inner.bottom(), panel.top() - margin);
    const double roomBelow = inner.bottom() - belowTop;
    const double roomAbove = aboveBottom - inner.top();
    if (height <= roomBelow)
        return rectOf(x, belowTop, width, height);
    if (height <= roomAbove)
        return rectOf(x, aboveBottom - height, width, height);
    const double shortest = std::min(minimumHeight, height);
    if (roomBelow >= shortest && roomBelow >= roomAbove)
        return rectOf(x, belowTop, width, roomBelow);
    if (roomAbove >= shortest)
        return rectOf(x, aboveBottom - roomAbove, width, roomAbove);
    // Over the panel's body, below its header, which keeps its buttons.
    const double bodyTop
        = clampLowFirst(panel.top() + headerHeight, inner.top(), inner.bottom() - shortest);
    return rectOf(x, bodyTop, width, std::min(height, inner.bottom() - bodyTop));
}
