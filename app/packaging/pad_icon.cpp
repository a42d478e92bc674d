// Centres the 180 × 180 application icon on a transparent square of a size that
// icon themes list (192 × 192), without scaling it: pad_icon <in.png> <out.png> <side>
#include <QImage>
#include <QPainter>
#include <QString>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: pad_icon <in.png> <out.png> <side>\n");
        return 2;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    const int side = std::atoi(argv[3]);
    if (icon.isNull() || side < icon.width() || side < icon.height()) {
        std::fprintf(stderr, "pad_icon: cannot read %s or it is larger than %d\n", argv[1], side);
        return 1;
    }
    QImage out(side, side, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage((side - icon.width()) / 2, (side - icon.height()) / 2, icon);
    p.end();
    return out.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
