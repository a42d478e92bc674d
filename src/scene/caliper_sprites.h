#pragma once

// The raster parts of a caliper's drawing: its rounded handles, the hover ring
// and the label box with its text, each an image at the display's scale placed
// on whole device pixels, with the pixels it covers for the drawn shape.

#include "caliper_geometry.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

namespace zrn::scene {

struct Sprite
{
    QImage image;         // device pixels, premultiplied
    QPoint origin;        // device pixels, in the window
    QList<QRect> covered; // device pixels, in the window: what the drawn shape holds
};

// Rasterises handles and rings once per size and colour, and labels once per text.
class SpriteCache
{
public:
    Sprite handle(const Square &square, QColor colour, double ratio);
    Sprite ring(const Square &square, double ratio);
    Sprite label(const QString &text, const QRectF &box, double ratio);
    // One dashed line, its dashes given in device pixels in the window.
    Sprite dashes(const QList<QRect> &pieces, QColor colour);
    void clear();

private:
    struct Raster
    {
        QImage image;
        QList<QRect> covered; // relative to the image
    };
    static Sprite placed(const Raster &raster, QPoint origin);
    static QList<QRect> coveredPixels(const QImage &image);

    QHash<QString, Raster> m_squares;
    QHash<QString, Raster> m_labels;
    QHash<QString, Raster> m_dashes;
};

} // namespace zrn::scene
