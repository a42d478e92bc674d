// Draws the application icon: a rounded square with a blue-to-green gradient
// and a dark caliper (two upright bars joined by a horizontal bar with three
// square handles). Usage: make_icon <output.png>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <output.png>\n");
        return 2;
    }
    constexpr int size = 180;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient gradient(0, 0, size, size);
    gradient.setColorAt(0.0, QColor("#2563eb"));
    gradient.setColorAt(1.0, QColor("#22c55e"));
    QPainterPath square;
    square.addRoundedRect(QRectF(4, 4, size - 8, size - 8), 36, 36);
    p.fillPath(square, gradient);

    const QColor ink("#0b1f1c");
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    // Upright bars.
    p.drawRoundedRect(QRectF(44, 46, 12, 88), 3, 3);
    p.drawRoundedRect(QRectF(124, 46, 12, 88), 3, 3);
    // The horizontal bar joining them.
    p.drawRect(QRectF(50, 85, 80, 10));
    // Three square handles: both ends and the middle.
    for (const qreal cx : {50.0, 90.0, 130.0})
        p.drawRect(QRectF(cx - 10, 80, 20, 20));
    p.end();

    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
