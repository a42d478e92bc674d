#include "caliper_sprites.h"

#include "label_layout.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace zrn::scene {

namespace {

// Pixels at least this opaque are part of the drawn shape. Fainter edge pixels
// are left out: where transparency cannot be shown they would show dark.
constexpr int kCoveredAlpha = 128;

// The rounded square of a handle or the ring: straight edges joined by
// quadratic corners of radius r.
QPainterPath roundedSquare(const QRectF &r, double radius)
{
    QPainterPath path;
    path.moveTo(r.left() + radius, r.top());
    path.lineTo(r.right() - radius, r.top());
    path.quadTo(r.right(), r.top(), r.right(), r.top() + radius);
    path.lineTo(r.right(), r.bottom() - radius);
    path.quadTo(r.right(), r.bottom(), r.right() - radius, r.bottom());
    path.lineTo(r.left() + radius, r.bottom());
    path.quadTo(r.left(), r.bottom(), r.left(), r.bottom() - radius);
    path.lineTo(r.left(), r.top() + radius);
    path.quadTo(r.left(), r.top(), r.left() + radius, r.top());
    path.closeSubpath();
    return path;
}

// The device pixels of a square of `outer` logical pixels centred on `centre`.
QRect deviceSquare(QPointF centre, double outer, double ratio)
{
    const int left = int(roundHalfUp((centre.x() - outer / 2) * ratio));
    const int top = int(roundHalfUp((centre.y() - outer / 2) * ratio));
    const int right = int(roundHalfUp((centre.x() + outer / 2) * ratio));
    const int bottom = int(roundHalfUp((centre.y() + outer / 2) * ratio));
    return QRect(left, top, std::max(1, right - left), std::max(1, bottom - top));
}

QImage transparentImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

double cornerRadius(double side)
{
    return std::min(look::maxHandleRadius, side / 3);
}

} // namespace

Sprite SpriteCache::handle(const Square &square, QColor colour, double ratio)
{
    const QRect device = deviceSquare(square.centre, square.side, ratio);
    const double radius = cornerRadius(square.side) * ratio;
    const QString key = QStringLiteral("h%1x%2r%3c%4")
                            .arg(device.width())
                            .arg(device.height())
                            .arg(radius)
                            .arg(colour.rgba());
    auto found = m_squares.find(key);
    if (found == m_squares.end()) {
        QImage image = transparentImage(device.size());
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(roundedSquare(QRectF(QPointF(0, 0), device.size()), radius), colour);
        painter.end();
        found = m_squares.insert(key, {image, coveredPixels(image)});
    }
    return placed(*found, device.topLeft());
}

Sprite SpriteCache::ring(const Square &square, double ratio)
{
    // The outline is centred on the square's edge.
    const double band = look::hoverRingWidth;
    const QRect device = deviceSquare(square.centre, square.side + band, ratio);
    const QString key
        = QStringLiteral("r%1x%2s%3").arg(device.width()).arg(device.height()).arg(ratio);
    auto found = m_squares.find(key);
    if (found == m_squares.end()) {
        QImage image = transparentImage(device.size());
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const double inset = band / 2 * ratio;
        const QRectF edge
            = QRectF(QPointF(0, 0), device.size()).adjusted(inset, inset, -inset, -inset);
        painter.strokePath(roundedSquare(edge, cornerRadius(square.side) * ratio),
                           QPen(QColor::fromRgba(look::hoverRingColor), band * ratio));
        painter.end();
        found = m_squares.insert(key, {image, coveredPixels(image)});
    }
    return placed(*found, device.topLeft());
}

Sprite SpriteCache::label(const QString &text, const QRectF &box, double ratio)
{
    const QPoint origin(int(roundHalfUp(box.x() * ratio)), int(roundHalfUp(box.y() * ratio)));
    const QSize size(int(roundHalfUp(box.right() * ratio)) - origin.x(),
                     int(roundHalfUp(box.bottom() * ratio)) - origin.y());
    const QString key
        = QStringLiteral("%1x%2s%3:").arg(size.width()).arg(size.height()).arg(ratio) + text;
    auto found = m_labels.find(key);
    if (found == m_labels.end()) {
        QImage image = transparentImage(size.expandedTo(QSize(1, 1)));
        image.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        painter.fillRect(QRectF(QPointF(0, 0), box.size()), QColor::fromRgba(labelLook::fill));
        painter.setFont(labelFont());
        painter.setPen(QColor::fromRgba(labelLook::text));
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            const QRectF line(labelLook::textInsetX,
                              labelLook::textInsetY + labelLook::lineHeight * i, box.width(),
                              labelLook::lineHeight);
            painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, lines.at(i));
        }
        painter.end();
        image.setDevicePixelRatio(1);
        // A label shows a text for a while; a drag changes it often, so the
        // cache holds no more than the labels of a few displays at once.
        if (m_labels.size() > 256)
            m_labels.clear();
        found = m_labels.insert(key, {image, {QRect(QPoint(0, 0), size)}});
    }
    return placed(*found, origin);
}

Sprite SpriteCache::dashes(const QList<QRect> &pieces, QColor colour)
{
    QRect bounds;
    for (const QRect &piece : pieces)
        bounds |= piece;
    // The pattern is regular: its size, count and end pieces name it.
    const QRect first = pieces.isEmpty() ? QRect() : pieces.first().translated(-bounds.topLeft());
    const QRect last = pieces.isEmpty() ? QRect() : pieces.last().translated(-bounds.topLeft());
    const QString key = QStringLiteral("%1x%2n%3c%4f%5,%6,%7,%8l%9,%10,%11,%12")
                            .arg(bounds.width())
                            .arg(bounds.height())
                            .arg(pieces.size())
                            .arg(colour.rgba())
                            .arg(first.x())
                            .arg(first.y())
                            .arg(first.width())
                            .arg(first.height())
                            .arg(last.x())
                            .arg(last.y())
                            .arg(last.width())
                            .arg(last.height());
    auto found = m_dashes.find(key);
    if (found == m_dashes.end()) {
        QImage image = transparentImage(bounds.size().expandedTo(QSize(1, 1)));
        QList<QRect> covered;
        covered.reserve(pieces.size());
        const QRgb pixel = qPremultiply(colour.rgba());
        for (const QRect &piece : pieces) {
            const QRect r = piece.translated(-bounds.topLeft());
            for (int y = r.top(); y <= r.bottom(); ++y)
                std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)) + r.left(), r.width(),
                            pixel);
            covered.append(r);
        }
        // A drag of the reference at an edge makes new lengths; keep a few.
        if (m_dashes.size() > 64)
            m_dashes.clear();
        found = m_dashes.insert(key, {image, covered});
    }
    return placed(*found, bounds.topLeft());
}

void SpriteCache::clear()
{
    m_squares.clear();
    m_labels.clear();
    m_dashes.clear();
}

Sprite SpriteCache::placed(const Raster &raster, QPoint origin)
{
    Sprite sprite{raster.image, origin, {}};
    sprite.covered.reserve(raster.covered.size());
    for (const QRect &r : raster.covered)
        sprite.covered.append(r.translated(origin));
    return sprite;
}

QList<QRect> SpriteCache::coveredPixels(const QImage &image)
{
    // Runs of opaque pixels, row by row; equal rows in a row become one rectangle.
    QList<QRect> rects;
    QList<QRect> previous;
    for (int y = 0; y < image.height(); ++y) {
        QList<QRect> row;
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width();) {
            if (qAlpha(line[x]) < kCoveredAlpha) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < image.width() && qAlpha(line[x]) >= kCoveredAlpha)
                ++x;
            row.append(QRect(start, y, x - start, 1));
        }
        const bool same = row.size() == previous.size()
                          && std::equal(row.begin(), row.end(), previous.begin(),
                                        [](const QRect &a, const QRect &b) {
                                            return a.left() == b.left() && a.width() == b.width();
                                        });
        if (same) {
            for (qsizetype i = rects.size() - row.size(); i < rects.size(); ++i)
                rects[i].setHeight(rects[i].height() + 1);
        } else {
            rects.append(row);
        }
        previous = row;
    }
    return rects;
}

} // namespace zrn::scene
