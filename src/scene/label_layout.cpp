#include "label_layout.h"

#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace zrn::scene {

namespace {

bool overlapsAny(const QRectF &box, const QList<QRectF> &taken)
{
    return std::any_of(taken.begin(), taken.end(),
                       [&box](const QRectF &other) { return box.intersects(other); });
}

double clampedX(double x, double width, QSizeF display)
{
    return std::max(0.0, std::min(display.width() - width, x));
}

} // namespace

QFont labelFont()
{
    QFont font;
    // Where "Segoe UI" is missing, the first installed family of the list.
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setPixelSize(labelLook::pixelSize);
    font.setWeight(QFont::DemiBold);
    return font;
}

QSizeF labelSize(const QString &text)
{
    static const QFontMetricsF metrics(labelFont());
    const QStringList lines = text.split(QLatin1Char('\n'));
    double widest = 0;
    for (const QString &line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return {std::ceil(widest) + labelLook::extraWidth,
            lines.size() * labelLook::lineHeight + labelLook::extraHeight};
}

QRectF ruleBox(QSizeF size, const CaliperLine &line, QSizeF display)
{
    double x = line.endX + labelLook::gapX;
    if (x + size.width() > display.width())
        x = line.startX - size.width() - labelLook::gapX;
    double y = line.y + labelLook::gapY;
    if (y + size.height() > display.height())
        y = line.y - size.height() - labelLook::gapY;
    return {clampedX(x, size.width(), display), std::max(0.0, y), size.width(), size.height()};
}

QRectF placeLabel(QSizeF size, const CaliperLine &line, QSizeF display, const QList<QRectF> &taken)
{
    const QRectF rule = ruleBox(size, line, display);
    if (!overlapsAny(rule, taken))
        return rule;

    const double right = clampedX(line.endX + labelLook::gapX, size.width(), display);
    const double left
        = clampedX(line.startX - size.width() - labelLook::gapX, size.width(), display);
    const double otherSide
        = std::fabs(rule.x() - right) < std::fabs(rule.x() - left) ? left : right;
    const double step = size.height() + labelLook::spacing;
    const auto fits = [&](double y) { return y >= 0 && y + size.height() <= display.height(); };

    const double sides[] = {rule.x(), otherSide};
    const int sideCount = otherSide == rule.x() ? 1 : 2;
    for (int side = 0; side < sideCount; ++side) {
        // On the rule's side the rule's own position is taken already.
        for (int k = side == 0 ? 1 : 0;; ++k) {
            const double below = rule.y() + k * step;
            const double above = rule.y() - k * step;
            if (!fits(below) && !fits(above))
                break;
            for (const double y : {below, above}) {
                const QRectF box(sides[side], y, size.width(), size.height());
                if (fits(y) && !overlapsAny(box, taken))
                    return box;
            }
        }
    }
    return rule;
}

QRect labelRegion(const QRectF &box)
{
    const int left = int(std::floor(box.x()));
    const int top = int(std::floor(box.y()));
    return QRect(left, top, int(std::ceil(box.x() + box.width())) - left,
                 int(std::ceil(box.y() + box.height())) - top);
}

} // namespace zrn::scene
