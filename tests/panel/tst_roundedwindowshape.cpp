// The shape a window with rounded corners is cut to where transparent pixels
// would show black: every pixel whose centre lies inside the rounded
// rectangle, and no other.

#include "rounded_window_shape.h"

#include <QRegion>
#include <QtTest>
#include <algorithm>
#include <cmath>

class TestRoundedWindowShape : public QObject
{
    Q_OBJECT

private slots:
    void roundedRectangle_data();
    void roundedRectangle();
};

void TestRoundedWindowShape::roundedRectangle_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("radius");

    QTest::newRow("the panel") << QSize(190, 390) << qreal(8);
    QTest::newRow("the panel at scale 2") << QSize(380, 780) << qreal(16);
    QTest::newRow("the information window at scale 1.5") << QSize(645, 885) << qreal(13.5);
    QTest::newRow("square corners") << QSize(100, 50) << qreal(0);
    QTest::newRow("radius larger than half the size: a round end") << QSize(40, 20) << qreal(30);
    QTest::newRow("one pixel") << QSize(1, 1) << qreal(8);
}

void TestRoundedWindowShape::roundedRectangle()
{
    QFETCH(QSize, size);
    QFETCH(qreal, radius);

    const QList<QRect> rows = RoundedWindowShape::roundedRectangle(size, radius);
    QRegion shape;
    qint64 area = 0;
    for (const QRect &r : rows) {
        QVERIFY2(!shape.intersects(r), "rows overlap");
        shape += r;
        area += qint64(r.width()) * r.height();
    }
    QVERIFY(shape.subtracted(QRegion(QRect(QPoint(0, 0), size))).isEmpty());
    // Every pixel whose centre lies within the rounded rectangle, and no other:
    // the pixels of a corner's square against the circle about its centre.
    const qreal r = std::min<qreal>(radius, std::min(size.width(), size.height()) / 2.0);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const qreal cx = std::clamp<qreal>(x + 0.5, r, size.width() - r);
            const qreal cy = std::clamp<qreal>(y + 0.5, r, size.height() - r);
            const bool inside = std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r;
            if (shape.contains(QPoint(x, y)) != inside)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 %3 the shape")
                                     .arg(x)
                                     .arg(y)
                                     .arg(inside ? QStringLiteral("missing from")
                                                 : QStringLiteral("wrongly in"))));
        }
    }
    // About the area of the rounded rectangle: the corners take (4 − π) r².
    const double expected = double(size.width()) * size.height() - (4 - M_PI) * r * r;
    QVERIFY2(std::abs(area - expected) <= 2 * r + 1,
             qPrintable(QStringLiteral("area %1, about %2").arg(area).arg(expected)));
}

QTEST_APPLESS_MAIN(TestRoundedWindowShape)

#include "tst_roundedwindowshape.moc"
