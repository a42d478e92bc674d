// Moving a frameless window by its header: where the window may stay on the
// displays, where it goes when it is off them, and a drag from press to
// release with the pointer's global positions.

#include "window_move_area.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

namespace {

using Rects = QList<QRect>;

// Two displays side by side, the right one shorter (device pixels).
const QRect kLeft(0, 0, 1920, 1080);
const QRect kRight(1920, 0, 1280, 1024);
const QSize kPanel(190, 390);
constexpr int kHeader = 58;

// One step of a pointer: a press, a move or a release, at a global position,
// with the buttons held afterwards.
struct Step
{
    QEvent::Type type;
    QPoint global;
    Qt::MouseButton button = Qt::LeftButton;
};

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestWindowMoveArea : public QObject
{
    Q_OBJECT

private slots:
    void keptOnDisplays_data();
    void keptOnDisplays();
    void ontoDisplay_data();
    void ontoDisplay();
    void drag_data();
    void drag();
};

void TestWindowMoveArea::keptOnDisplays_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<Rects>("displays");
    QTest::addColumn<QPoint>("expected");

    const Rects both{kLeft, kRight};
    QTest::newRow("inside: stays") << QRect({300, 200}, kPanel) << both << QPoint(300, 200);
    QTest::newRow("out at the left by the header's height: stays")
        << QRect({-58, 200}, kPanel) << both << QPoint(-58, 200);
    QTest::newRow("further out at the left: the header's height out")
        << QRect({-150, 200}, kPanel) << both << QPoint(-58, 200);
    QTest::newRow("above the top: its top on the display")
        << QRect({300, -20}, kPanel) << both << QPoint(300, 0);
    QTest::newRow("below the bottom: the header's height out")
        << QRect({300, 1000}, kPanel) << both << QPoint(300, 1080 - 390 + 58);
    QTest::newRow("across the shared edge: stays")
        << QRect({1850, 200}, kPanel) << both << QPoint(1850, 200);
    QTest::newRow("across the edge, low: onto the taller display")
        << QRect({1850, 800}, kPanel) << both << QPoint(1788, 748);
    QTest::newRow("below the shorter display: up onto it")
        << QRect({2500, 900}, kPanel) << both << QPoint(2500, 1024 - 390 + 58);
    QTest::newRow("far beyond the right: the header's height out")
        << QRect({5000, 100}, kPanel) << both << QPoint(3200 - 190 + 58, 100);
    QTest::newRow("display left of and above the first")
        << QRect({-2100, -1200}, kPanel) << Rects{kLeft, QRect(-1920, -1080, 1920, 1080)}
        << QPoint(-1920 - 58, -1080);
    QTest::newRow("larger than the display: its corner on it")
        << QRect({100, 100}, QSize(3000, 2000)) << Rects{kLeft} << QPoint(-58, 0);
    QTest::newRow("no displays: stays")
        << QRect({-5000, -5000}, kPanel) << Rects{} << QPoint(-5000, -5000);
}

void TestWindowMoveArea::keptOnDisplays()
{
    QFETCH(QRect, window);
    QFETCH(Rects, displays);
    QFETCH(QPoint, expected);
    const QPoint kept = WindowMoveArea::keptOnDisplays(window, displays, kHeader);
    QCOMPARE(kept, expected);
    // Kept twice is kept once.
    QCOMPARE(WindowMoveArea::keptOnDisplays(QRect(kept, window.size()), displays, kHeader), kept);
}

void TestWindowMoveArea::ontoDisplay_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<Rects>("areas");
    QTest::addColumn<QPoint>("expected");

    QTest::newRow("left of the right area's gone display: its right edge")
        << QRect({1930, 100}, kPanel) << Rects{kLeft} << QPoint(1730, 100);
    QTest::newRow("the nearer of two")
        << QRect({2500, 1100}, kPanel) << Rects{kLeft, kRight} << QPoint(2500, 1024 - 390);
    QTest::newRow("above everything")
        << QRect({400, -900}, kPanel) << Rects{kLeft} << QPoint(400, 0);
    QTest::newRow("larger than the area: its corner inside")
        << QRect({-300, -300}, QSize(2000, 1200)) << Rects{kLeft} << QPoint(0, 0);
    QTest::newRow("inside already") << QRect({10, 10}, kPanel) << Rects{kLeft} << QPoint(10, 10);
}

void TestWindowMoveArea::ontoDisplay()
{
    QFETCH(QRect, window);
    QFETCH(Rects, areas);
    QFETCH(QPoint, expected);
    QCOMPARE(WindowMoveArea::ontoDisplay(window, areas), expected);
}

void TestWindowMoveArea::drag_data()
{
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QPoint>("expected");

    using E = QEvent;
    // The window starts at 100, 100; the area fills its top 58 pixels, and the
    // press takes it 60, 20 into the window (global 160, 120).
    const Step press{E::MouseButtonPress, {160, 120}};
    QTest::newRow("by the drag's distance") << QList<Step>{press,
                                                           {E::MouseMove, {200, 180}},
                                                           {E::MouseMove, {300, 250}},
                                                           {E::MouseButtonRelease, {300, 250}}}
                                            << QPoint(240, 230);
    QTest::newRow("the move ends at the release")
        << QList<Step>{press,
                       {E::MouseMove, {300, 250}},
                       {E::MouseButtonRelease, {300, 250}},
                       {E::MouseMove, {900, 700}, Qt::NoButton}}
        << QPoint(240, 230);
    QTest::newRow("a release that never came: ended by the first move without the button")
        << QList<Step>{press,
                       {E::MouseMove, {300, 250}},
                       {E::MouseMove, {900, 700}, Qt::NoButton},
                       {E::MouseMove, {1000, 800}}}
        << QPoint(240, 230);
    QTest::newRow("onto the second display")
        << QList<Step>{press, {E::MouseMove, {2500, 300}}, {E::MouseButtonRelease, {2500, 300}}}
        << QPoint(2440, 280);
    QTest::newRow("past the left edge: the header's height out")
        << QList<Step>{press, {E::MouseMove, {0, 120}}, {E::MouseButtonRelease, {0, 120}}}
        << QPoint(-58, 100);
    QTest::newRow("above the top: the top on the display")
        << QList<Step>{press, {E::MouseMove, {160, 0}}, {E::MouseButtonRelease, {160, 0}}}
        << QPoint(100, 0);
    QTest::newRow("the right button moves nothing")
        << QList<Step>{{E::MouseButtonPress, {160, 120}, Qt::RightButton},
                       {E::MouseMove, {300, 250}, Qt::RightButton},
                       {E::MouseButtonRelease, {300, 250}, Qt::RightButton}}
        << QPoint(100, 100);
}

// The real item in a window of the offscreen platform; the pointer's events
// carry their global positions as the platform would give them, not worked out
// from where the window is meanwhile.
void TestWindowMoveArea::drag()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QPoint, expected);

    QQuickWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setGeometry(QRect({100, 100}, kPanel));
    auto *area = new WindowMoveArea(window.contentItem());
    area->setSize(QSizeF(kPanel.width(), kHeader));
    area->setOverhang(kHeader);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.position(), QPoint(100, 100));

    Qt::MouseButtons held;
    for (const Step &step : steps) {
        if (step.type == QEvent::MouseButtonPress)
            held |= step.button;
        else if (step.type == QEvent::MouseButtonRelease)
            held &= ~step.button;
        else
            held = step.button;
        const QPointF local = QPointF(step.global - window.position());
        QMouseEvent event(step.type, local, local, QPointF(step.global),
                          step.type == QEvent::MouseMove ? Qt::NoButton : step.button, held,
                          Qt::NoModifier);
        QGuiApplication::sendEvent(&window, &event);
        if (step.type == QEvent::MouseButtonPress)
            QCOMPARE(area->moving(), step.button == Qt::LeftButton);
    }
    QTRY_COMPARE(window.position(), expected);
    QVERIFY(!area->moving());
    QCOMPARE(window.size(), kPanel);
}

QTEST_MAIN(TestWindowMoveArea)

#include "tst_windowmovearea.moc"
