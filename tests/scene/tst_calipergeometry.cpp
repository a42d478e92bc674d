// The shape of a caliper on its overlay: hit testing, drags and their clamps,
// the regions, lines on the device-pixel grid, and where labels go.

#include "caliper_geometry.h"
#include "label_layout.h"

#include <QTest>

using zrn::CaliperKind;
using zrn::CaliperLine;
using Part = zrn::scene::Part;

namespace {

// The displays of the tables: 1280 × 1024 unless a row says otherwise.
const QSizeF kDisplay(1280, 1024);

QList<QRect> rects(std::initializer_list<std::array<int, 4>> list)
{
    QList<QRect> out;
    for (const auto &r : list)
        out.append(QRect(r[0], r[1], r[2], r[3]));
    return out;
}

} // namespace

class TestCaliperGeometry : public QObject
{
    Q_OBJECT

private slots:
    void hitPart_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("startX");
        QTest::addColumn<double>("endX");
        QTest::addColumn<QPointF>("point");
        QTest::addColumn<Part>("part");

        const int standard = int(CaliperKind::Standard);
        const int reference = int(CaliperKind::Reference);
        const int rhythm = int(CaliperKind::Rhythm);
        // The caliper's line is at y 500; its span 90.4 .. 909.6 (0.8 × 1024).
        QTest::newRow("close endpoints prefer the start")
            << standard << 300.0 << 312.0 << QPointF(306, 600) << Part::Left;
        QTest::newRow("close endpoints, end side")
            << standard << 300.0 << 312.0 << QPointF(312, 600) << Part::Right;
        QTest::newRow("end beats centre")
            << standard << 300.0 << 316.0 << QPointF(310, 505) << Part::Right;
        QTest::newRow("centre between close endpoints")
            << standard << 300.0 << 316.0 << QPointF(308, 500) << Part::Move;
        QTest::newRow("start line at tolerance")
            << standard << 200.0 << 400.0 << QPointF(193, 600) << Part::Left;
        QTest::newRow("8 px left of start")
            << standard << 200.0 << 400.0 << QPointF(192, 600) << Part::None;
        QTest::newRow("line at tolerance")
            << standard << 200.0 << 400.0 << QPointF(250, 507) << Part::Move;
        QTest::newRow("below line")
            << standard << 200.0 << 400.0 << QPointF(250, 508) << Part::None;
        QTest::newRow("centre handle corner")
            << standard << 200.0 << 400.0 << QPointF(310, 510) << Part::Move;
        QTest::newRow("outside centre handle")
            << standard << 200.0 << 400.0 << QPointF(300, 511) << Part::None;
        QTest::newRow("bottom of span")
            << standard << 200.0 << 400.0 << QPointF(200, 909) << Part::Left;
        QTest::newRow("below span")
            << standard << 200.0 << 400.0 << QPointF(200, 910) << Part::None;
        QTest::newRow("reference inside short span")
            << reference << 200.0 << 400.0 << QPointF(200, 551) << Part::Left;
        QTest::newRow("reference below short span")
            << reference << 200.0 << 400.0 << QPointF(200, 552) << Part::None;
        QTest::newRow("rhythm extension")
            << rhythm << 200.0 << 250.0 << QPointF(300, 500) << Part::None;
        QTest::newRow("rhythm measured line")
            << rhythm << 200.0 << 250.0 << QPointF(220, 500) << Part::Move;
        QTest::newRow("reversed start")
            << standard << 400.0 << 200.0 << QPointF(403, 600) << Part::Left;
        QTest::newRow("reversed end")
            << standard << 400.0 << 200.0 << QPointF(197, 600) << Part::Right;
    }

    void hitPart()
    {
        QFETCH(int, kind);
        QFETCH(double, startX);
        QFETCH(double, endX);
        QFETCH(QPointF, point);
        QFETCH(Part, part);
        QCOMPARE(
            zrn::scene::hitPart(CaliperKind(kind), {startX, endX, 500}, point, kDisplay.height()),
            part);
    }

    // A drag from a press on the part by the pointer's travel: the preview.
    void dragged_data()
    {
        QTest::addColumn<Part>("part");
        QTest::addColumn<double>("startX");
        QTest::addColumn<double>("endX");
        QTest::addColumn<QPointF>("delta");
        QTest::addColumn<QPointF>("preview"); // start and end x
        QTest::addColumn<double>("y");

        const double gap = 10.01;
        QTest::newRow("start past end") << Part::Left << 200.0 << 400.0 << QPointF(500, 550)
                                        << QPointF(400 - gap, 400) << 300.0;
        QTest::newRow("start past left edge")
            << Part::Left << 200.0 << 400.0 << QPointF(-500, -350) << QPointF(0, 400) << 300.0;
        QTest::newRow("end past start") << Part::Right << 200.0 << 400.0 << QPointF(-350, 0)
                                        << QPointF(200, 200 + gap) << 300.0;
        QTest::newRow("end past right edge")
            << Part::Right << 200.0 << 400.0 << QPointF(1200, -340) << QPointF(200, 1280) << 300.0;
        QTest::newRow("move to right edge")
            << Part::Move << 200.0 << 400.0 << QPointF(1200, 10) << QPointF(1080, 1280) << 310.0;
        QTest::newRow("move above top")
            << Part::Move << 200.0 << 400.0 << QPointF(10, -1100) << QPointF(210, 410) << 0.0;
        QTest::newRow("move below bottom")
            << Part::Move << 200.0 << 400.0 << QPointF(-10, 1600) << QPointF(190, 390) << 1024.0;
        QTest::newRow("reversed start stops short of end")
            << Part::Left << 400.0 << 200.0 << QPointF(-900, 0) << QPointF(200 + gap, 200) << 300.0;
        QTest::newRow("reversed start stops at right edge")
            << Part::Left << 400.0 << 200.0 << QPointF(1500, 0) << QPointF(1280, 200) << 300.0;
        QTest::newRow("reversed end stops short of start")
            << Part::Right << 400.0 << 200.0 << QPointF(700, 0) << QPointF(400, 400 - gap) << 300.0;
        QTest::newRow("reversed end stops at left edge")
            << Part::Right << 400.0 << 200.0 << QPointF(-800, 0) << QPointF(400, 0) << 300.0;
        QTest::newRow("reversed moved to right edge")
            << Part::Move << 400.0 << 200.0 << QPointF(1500, 0) << QPointF(1280, 1080) << 300.0;
    }

    void dragged()
    {
        QFETCH(Part, part);
        QFETCH(double, startX);
        QFETCH(double, endX);
        QFETCH(QPointF, delta);
        QFETCH(QPointF, preview);
        QFETCH(double, y);
        const CaliperLine line = zrn::scene::dragged(part, {startX, endX, 300}, delta, kDisplay);
        QCOMPARE(line.startX, preview.x());
        QCOMPARE(line.endX, preview.y());
        QCOMPARE(line.y, y);
    }

    // Where a caliper takes the mouse and where it may paint, its label aside.
    void regions_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("startX");
        QTest::addColumn<double>("endX");
        QTest::addColumn<double>("y");
        QTest::addColumn<QList<QRect>>("interactive");
        QTest::addColumn<QList<QRect>>("visual");

        QTest::newRow("standard") << int(CaliperKind::Standard) << 200.5 << 400.0 << 500.5
                                  << rects({{196, 91, 10, 819},
                                            {395, 91, 10, 819},
                                            {201, 496, 200, 10},
                                            {291, 492, 18, 18}})
                                  << rects({{191, 91, 20, 819},
                                            {390, 91, 20, 819},
                                            {201, 496, 200, 10},
                                            {291, 492, 18, 18}});
        QTest::newRow("reference") << int(CaliperKind::Reference) << 500.0 << 700.0 << 300.0
                                   << rects({{495, 249, 10, 102},
                                             {695, 249, 10, 102},
                                             {500, 295, 200, 10},
                                             {591, 291, 18, 18}})
                                   << rects({{490, 249, 20, 102},
                                             {690, 249, 20, 102},
                                             {500, 295, 200, 10},
                                             {591, 291, 18, 18}});
        QList<QRect> markers;
        for (int k = 1; k <= 10; ++k)
            markers.append(QRect(150 + 50 * k - 3, 98, 6, 205));
        QTest::newRow("rhythm")
            << int(CaliperKind::Rhythm) << 100.0 << 150.0 << 200.0
            << rects({{95, 0, 10, 610}, {145, 0, 10, 610}, {100, 195, 50, 10}, {116, 191, 18, 18}})
            << rects({{90, 0, 20, 610},
                      {140, 0, 20, 610},
                      {100, 195, 50, 10},
                      {116, 191, 18, 18},
                      {100, 195, 550, 10}})
                   + markers;
    }

    void regions()
    {
        QFETCH(int, kind);
        QFETCH(double, startX);
        QFETCH(double, endX);
        QFETCH(double, y);
        QFETCH(QList<QRect>, interactive);
        QFETCH(QList<QRect>, visual);
        QList<QRect> gotVisual;
        QList<QRect> gotInteractive;
        zrn::scene::appendRegions(gotVisual, gotInteractive, CaliperKind(kind), {startX, endX, y},
                                  kDisplay);
        QCOMPARE(gotInteractive, interactive);
        QCOMPARE(gotVisual, visual);
    }

    // A line on the display's edge is drawn on its last device pixels; one
    // beyond it stays out of sight.
    void linesAtTheEdges_data()
    {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<double>("at");
        QTest::addColumn<int>("first"); // the first device column drawn
        QTest::addColumn<int>("width");

        // A display 640 logical pixels wide.
        for (const double ratio : {1.0, 1.5, 2.0}) {
            const int device = int(640 * ratio);
            const int thickness = int(std::floor(ratio + 0.5));
            const QByteArray scale = QByteArray::number(ratio);
            QTest::newRow("right edge, scale " + scale)
                << ratio << 640.0 << device - thickness << thickness;
            QTest::newRow("left edge, scale " + scale) << ratio << 0.0 << 0 << thickness;
            QTest::newRow("beyond the edge, scale " + scale)
                << ratio << 700.0 << int(std::floor(700 * ratio - thickness / 2.0 + 0.5))
                << thickness;
        }
        QTest::newRow("inside, scale 1") << 1.0 << 320.0 << 320 << 1;
        QTest::newRow("half pixel, scale 2") << 2.0 << 100.25 << 200 << 2;
    }

    void linesAtTheEdges()
    {
        QFETCH(double, ratio);
        QFETCH(double, at);
        QFETCH(int, first);
        QFETCH(int, width);
        QList<QRect> lines;
        zrn::scene::appendGridLine(lines, true, at, 0, 100, false, ratio, int(640 * ratio));
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines.first().x(), first);
        QCOMPARE(lines.first().width(), width);
        QCOMPARE(lines.first().height(), int(100 * ratio));
    }

    // The placement rule on its own, where no other label is in the way.
    void labelRule_data()
    {
        QTest::addColumn<double>("startX");
        QTest::addColumn<double>("endX");
        QTest::addColumn<double>("y");
        QTest::addColumn<QSizeF>("size");
        QTest::addColumn<QPointF>("at");

        const QSizeF two(60, 38);
        QTest::newRow("beside the end") << 200.0 << 400.0 << 500.0 << two << QPointF(410, 508);
        QTest::newRow("right edge: before the start")
            << 1150.0 << 1270.0 << 500.0 << two << QPointF(1150 - 10 - 60, 508);
        QTest::newRow("bottom edge: above the line")
            << 200.0 << 400.0 << 1010.0 << two << QPointF(410, 1010 - 38 - 8);
        QTest::newRow("never left of 0")
            << 20.0 << 1275.0 << 500.0 << QSizeF(70, 23) << QPointF(0, 508);
        QTest::newRow("never above 0")
            << 200.0 << 400.0 << 20.0 << QSizeF(60, 1010) << QPointF(410, 0);
    }

    void labelRule()
    {
        QFETCH(double, startX);
        QFETCH(double, endX);
        QFETCH(double, y);
        QFETCH(QSizeF, size);
        QFETCH(QPointF, at);
        const QRectF box = zrn::scene::placeLabel(size, {startX, endX, y}, kDisplay, {});
        QCOMPARE(box, QRectF(at, size));
        QCOMPARE(box, zrn::scene::ruleBox(size, {startX, endX, y}, kDisplay));
    }

    // Calipers close together: no label hides another, each stays inside its
    // display, and the first keeps the rule's place.
    void labelsKeptApart_data()
    {
        QTest::addColumn<QList<CaliperLine>>("calipers");
        QTest::addColumn<QSizeF>("display");

        QTest::newRow("two calipers 3 px apart")
            << QList<CaliperLine>{{910, 1010, 480}, {913, 1013, 483}} << QSizeF(1920, 1080);
        QTest::newRow("two at the bottom right corner")
            << QList<CaliperLine>{{1800, 1910, 1070}, {1802, 1912, 1072}} << QSizeF(1920, 1080);
        // As the panel places thirty new calipers one after another.
        QList<CaliperLine> thirty;
        for (int n = 0; n < 30; ++n) {
            const double startX = 1920 / 2.0 - 50 + (n * 24) % 168;
            thirty.append({startX, startX + 100, 1080 / 2.0 - 60 + (n * 18) % 120});
        }
        QTest::newRow("thirty as the panel places them") << thirty << QSizeF(1920, 1080);
        QTest::newRow("thirty on a 640 × 512 display") << thirty.mid(0, 12) << QSizeF(640, 512);
    }

    void labelsKeptApart()
    {
        QFETCH(QList<CaliperLine>, calipers);
        QFETCH(QSizeF, display);
        QList<QRectF> placed;
        for (const CaliperLine &line : calipers) {
            // Not inside a 640-wide display: brought there as a display change would.
            const CaliperLine inside = zrn::keptInside(line, display.width(), display.height());
            const QSizeF size = zrn::scene::labelSize(QStringLiteral("1000 ms\n60 bpm"));
            const QRectF box = zrn::scene::placeLabel(size, inside, display, placed);
            QVERIFY2(QRectF(QPointF(0, 0), display).contains(box),
                     qPrintable(QStringLiteral("box %1 outside").arg(placed.size())));
            for (const QRectF &other : std::as_const(placed))
                QVERIFY2(!box.intersects(other),
                         qPrintable(QStringLiteral("box %1 hides another").arg(placed.size())));
            if (placed.isEmpty())
                QCOMPARE(box, zrn::scene::ruleBox(size, inside, display));
            placed.append(box);
        }
    }

    void labelSizeFollowsLines()
    {
        const QSizeF one = zrn::scene::labelSize(QStringLiteral("100 px"));
        const QSizeF three
            = zrn::scene::labelSize(QStringLiteral("QT/QTc\n\u2013 add Ref\n\u2013 add RR"));
        QCOMPARE(one.height(), 23.0);
        QCOMPARE(three.height(), 53.0);
        QVERIFY(one.width() > 12 && one.width() == std::ceil(one.width()));
    }
};

QTEST_MAIN(TestCaliperGeometry)
#include "tst_calipergeometry.moc"
