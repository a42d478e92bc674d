#pragma once

// Where a caliper's label box goes: beside the caliper's end and below its
// line by the placement rule, moved clear of the labels already placed on the
// same overlay where it would hide one of them.

#include "caliper_placement.h"

#include <QFont>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace zrn::scene {

namespace labelLook {
inline constexpr int pixelSize = 12;
inline constexpr double lineHeight = 15;
inline constexpr double extraWidth = 12;
inline constexpr double extraHeight = 8;
inline constexpr double gapX = 10;
inline constexpr double gapY = 8;
inline constexpr double textInsetX = 6;
inline constexpr double textInsetY = 4;
// Between a label moved aside and the one it makes room for.
inline constexpr double spacing = 2;
inline constexpr unsigned fill = 0xe6081311; // rgba(8, 19, 17, 0.90)
inline constexpr unsigned text = 0xffecfdf5;
} // namespace labelLook

// The label font: weight 600, 12 pixels, "Segoe UI" or the closest installed.
[[nodiscard]] QFont labelFont();

// The size of the box around a text of one or more lines.
[[nodiscard]] QSizeF labelSize(const QString &text);

// The box by the placement rule alone: 10 beside the end, or before the start
// where it would cross the right edge; 8 below the line, or above it near the
// bottom edge; never past the left or the top edge.
[[nodiscard]] QRectF ruleBox(QSizeF size, const CaliperLine &line, QSizeF display);

// The box by the rule, or, where that would overlap a box in `taken`, the
// nearest free position inside the display: below first, then above, in steps
// of the box's height and the spacing, then the same on the other side of the
// caliper. Where no position is free, the rule's box.
[[nodiscard]] QRectF placeLabel(QSizeF size, const CaliperLine &line, QSizeF display,
                                const QList<QRectF> &taken);

// The region reserved for a box: the whole pixels it touches.
[[nodiscard]] QRect labelRegion(const QRectF &box);

} // namespace zrn::scene
