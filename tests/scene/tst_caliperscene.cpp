// The caliper scene in real windows, with the program's controller: a change
// rebuilds only the scene of its display, and once; a drag redraws only the
// dragged caliper and tells the controller nothing before the release; lines
// on the display's far edges are drawn inside it, at scale 1 and 2.

#include "caliper_scene.h"
#include "native_overlay_window.h"
#include "overlay_controller.h"
#include "overlay_platform.h"

#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// Counts how often a window hands its regions to the system, and keeps the
// drawn shape it hands over last.
class CountingPlatform final : public OverlayPlatform
{
public:
    CountingPlatform(int *masks, QRegion *drawn) : m_masks(masks), m_drawn(drawn) {}
    void setMask(QWindow &, const QRegion &) override { ++*m_masks; }
    bool usesDrawnShape() const override { return true; }
    void setDrawnShape(QWindow &, const QRegion &native) override { *m_drawn = native; }
    std::uint64_t readInputStyles(QWindow &) override { return 0; }
    void writeInputStyles(QWindow &, std::uint64_t, const QRegion &) override {}
    void applyInputStyles(QWindow &) override {}

private:
    int *m_masks;
    QRegion *m_drawn;
};

// One overlay: a window over a display with its scene.
struct Overlay
{
    Overlay(OverlayController &controller, const QString &displayId, QScreen *screen)
        : window(std::make_unique<CountingPlatform>(&masks, &drawn))
    {
        window.setScreen(screen);
        window.setGeometry(screen->geometry());
        scene.setParentItem(window.contentItem());
        scene.setSize(window.size());
        scene.setDisplayId(displayId);
        scene.setController(&controller);
        window.show();
    }

    int masks = 0;
    QRegion drawn;
    NativeOverlayWindow window;
    CaliperScene scene;
};

QList<quint64> versions(const CaliperScene &scene)
{
    QList<quint64> out;
    for (const CaliperScene::Shown &shown : scene.shown())
        out.append(shown.version);
    return out;
}

// Every piece the scene draws now, united.
QRegion drawnPieces(const CaliperScene &scene)
{
    QRegion drawn;
    for (const CaliperScene::Shown &shown : scene.shown()) {
        for (const QRect &r : shown.shape.lines)
            drawn += r;
        for (const zrn::scene::Sprite &sprite : shown.sprites)
            for (const QRect &r : sprite.covered)
                drawn += r;
    }
    return drawn;
}

void send(QWindow &window, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, at, window.mapToGlobal(at), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &event);
}

} // namespace

class TestCaliperScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QGuiApplication::screens().size() >= 2); }

    void changesRebuildOnlyTheirDisplay()
    {
        OverlayController controller;
        Overlay a(controller, QStringLiteral("A"), QGuiApplication::screens().at(0));
        Overlay b(controller, QStringLiteral("B"), QGuiApplication::screens().at(1));
        QVERIFY(QTest::qWaitForWindowExposed(&a.window));
        const int masksA = a.masks;
        const int masksB = b.masks;

        const quint64 id
            = controller.addMeasurement(QStringLiteral("standard"), QStringLiteral("A"), 96, 1, 100,
                                        200, 300, QStringLiteral("#ff0000"), 1000);
        QCOMPARE(a.scene.count(), 1);
        QCOMPARE(a.masks, masksA + 1);
        QCOMPARE(b.masks, masksB);
        QCOMPARE(a.scene.shown().front().label, QStringLiteral("100 px"));

        // A reference on A recalibrates A's calipers, not B's.
        controller.addMeasurement(QStringLiteral("reference"), QStringLiteral("A"), 96, 1, 100, 300,
                                  600, QStringLiteral("#ff0000"), 1000);
        QCOMPARE(a.masks, masksA + 2);
        QCOMPARE(b.masks, masksB);
        QCOMPARE(a.scene.shown().front().label, QStringLiteral("500 ms\n120 bpm"));

        controller.setSelectedId(0);
        QCOMPARE(a.masks, masksA + 2); // a selection changes no region
        controller.setSelectedId(id);
        controller.removeSelected();
        QCOMPARE(a.scene.count(), 1);
        QCOMPARE(b.masks, masksB);
        controller.clear();
        QCOMPARE(a.scene.count(), 0);
        QCOMPARE(b.masks, masksB);
    }

    void dragRedrawsOnlyTheDraggedCaliper()
    {
        OverlayController controller;
        Overlay a(controller, QStringLiteral("A"), QGuiApplication::screens().at(0));
        QVERIFY(QTest::qWaitForWindowExposed(&a.window));
        for (int i = 0; i < 3; ++i)
            controller.addMeasurement(QStringLiteral("standard"), QStringLiteral("A"), 96, 1,
                                      100 + 300 * i, 200 + 300 * i, 300, QStringLiteral("#ff0000"),
                                      1000);
        QSignalSpy changed(&controller, &OverlayController::measurementsChanged);

        // The press selects the middle caliper: its handles and the last one's change.
        const QPointF handle(500, 500); // the middle caliper's end line
        send(a.window, QEvent::MouseButtonPress, handle, Qt::LeftButton);
        QCOMPARE(a.scene.dragPart(), zrn::scene::Part::Right);
        const QList<quint64> before = versions(a.scene);
        for (int step = 1; step <= 5; ++step) {
            send(a.window, QEvent::MouseMove, handle + QPointF(10 * step, 0), Qt::LeftButton);
            // The shape shows the dragged caliper where it is now, and the others.
            QTRY_COMPARE(a.drawn, drawnPieces(a.scene));
        }
        const QList<quint64> during = versions(a.scene);
        QCOMPARE(during.at(0), before.at(0));
        QCOMPARE(during.at(2), before.at(2));
        QVERIFY(during.at(1) != before.at(1));
        QCOMPARE(a.scene.shown().at(1).label, QStringLiteral("150 px"));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(controller.rowsForDisplay(QStringLiteral("A")).at(1).endX, 500.0);

        const int masks = a.masks;
        send(a.window, QEvent::MouseButtonRelease, handle + QPointF(50, 0), Qt::NoButton);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(controller.rowsForDisplay(QStringLiteral("A")).at(1).endX, 550.0);
        QCOMPARE(a.masks, masks + 1); // one rebuild for the release
        QCOMPARE(versions(a.scene).at(0), before.at(0));
    }

    // The RR taken from a caliper follows its drag from the scene's preview,
    // before anything is stored; a drag that ends without storing (the grab
    // taken away) leaves the stored interval. "RR from caliper" takes the
    // caliper pressed next; the QT label computes with the formula chosen.
    void rrSourceFollowsTheDrag()
    {
        OverlayController controller;
        Overlay a(controller, QStringLiteral("A"), QGuiApplication::screens().at(0));
        QVERIFY(QTest::qWaitForWindowExposed(&a.window));
        const auto add = [&controller](const char *kind, double startX, double endX, double y) {
            return controller.addMeasurement(QString::fromLatin1(kind), QStringLiteral("A"), 96, 1,
                                             startX, endX, y, QStringLiteral("#ff0000"), 1000);
        };
        add("reference", 100, 300, 100);                   // 1000 ms in 200 px
        const quint64 qt = add("qtc", 100, 180, 700);      // 400 ms
        const quint64 rr = add("standard", 400, 560, 400); // 800 ms
        QVERIFY(qt != 0 && rr != 0);
        a.scene.setQtcFormula(QStringLiteral("Fridericia"));
        a.scene.setQtcMode(QStringLiteral("rr"));
        a.scene.setQtcValue(QStringLiteral("800"));
        QCOMPARE(a.scene.labelText(qt), QStringLiteral("QT: 400 ms\nQTcF: 431 ms"));

        RrSourceLink *link = controller.rrSource();
        controller.setRrPicking(true);
        const QPointF end(560, 600);
        send(a.window, QEvent::MouseButtonPress, end, Qt::LeftButton);
        QCOMPARE(link->caliperId(), rr);
        QCOMPARE(link->text(), QStringLiteral("800"));
        QVERIFY(!link->picking());
        QSignalSpy changed(&controller, &OverlayController::measurementsChanged);
        QStringList followed;
        for (int step = 1; step <= 4; ++step) {
            send(a.window, QEvent::MouseMove, end + QPointF(10 * step, 0), Qt::LeftButton);
            followed << link->text();
            // The QT label follows too, in the shape as well.
            QTRY_COMPARE(a.drawn, drawnPieces(a.scene));
        }
        QCOMPARE(followed, (QStringList{"850", "900", "950", "1000"}));
        QCOMPARE(changed.count(), 0);
        send(a.window, QEvent::MouseButtonRelease, end + QPointF(40, 0), Qt::NoButton);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(link->text(), QStringLiteral("1000"));

        send(a.window, QEvent::MouseButtonPress, end + QPointF(40, 0), Qt::LeftButton);
        send(a.window, QEvent::MouseMove, end + QPointF(-60, 0), Qt::LeftButton);
        QCOMPARE(link->text(), QStringLiteral("500"));
        a.scene.setVisible(false); // takes the grab away
        QCOMPARE(a.scene.dragPart(), zrn::scene::Part::None);
        QCOMPARE(link->text(), QStringLiteral("1000"));
        QCOMPARE(controller.rowsForDisplay(QStringLiteral("A")).at(2).endX, 600.0);
    }

    // A caliper end at the display's right edge is drawn on its last device
    // column, not just beyond it, at scale 1 and at scale 2.
    void edgeDrawnInside_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("scale 1") << 0;
        QTest::newRow("scale 2") << 1;
    }

    void edgeDrawnInside()
    {
        QFETCH(int, screen);
        OverlayController controller;
        Overlay a(controller, QStringLiteral("A"), QGuiApplication::screens().at(screen));
        QVERIFY(QTest::qWaitForWindowExposed(&a.window));
        const double width = a.window.width();
        const double ratio = a.window.devicePixelRatio();
        QCOMPARE(ratio, screen == 0 ? 1.0 : 2.0);
        const double height = a.window.height();
        controller.addMeasurement(QStringLiteral("standard"), QStringLiteral("A"), 96, ratio,
                                  width - 100, width, height / 2, QStringLiteral("#ff0000"), 1000);
        controller.setSelectedId(0);
        const QImage image = a.window.grabWindow();
        QCOMPARE(image.width(), int(width * ratio));
        const int row = int(height / 4 * ratio); // above the handles and the label
        QCOMPARE(image.pixelColor(image.width() - 1, row), QColor(Qt::red));
        QCOMPARE(image.pixelColor(int((width - 100) * ratio), row), QColor(Qt::red));
    }

    // Where transparency cannot be shown the window shows only the drawn shape:
    // it holds every pixel drawn with some strength, and not the strips around
    // lines and handles that the mouse takes.
    void drawnShapeHoldsWhatIsDrawn_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QPointF>("hover");
        QTest::newRow("standard") << "standard" << false << QPointF();
        QTest::newRow("reference, dashed") << "reference" << false << QPointF();
        QTest::newRow("rhythm") << "rhythm" << false << QPointF();
        QTest::newRow("qt, three lines") << "qtc" << false << QPointF();
        QTest::newRow("selected") << "standard" << true << QPointF();
        QTest::newRow("hovered end") << "standard" << false << QPointF(300.5, 250);
        QTest::newRow("hovered centre, selected") << "standard" << true << QPointF(250.5, 152);
    }

    void drawnShapeHoldsWhatIsDrawn()
    {
        QFETCH(QString, kind);
        QFETCH(bool, selected);
        QFETCH(QPointF, hover);
        OverlayController controller;
        Overlay a(controller, QStringLiteral("A"), QGuiApplication::screens().at(0));
        QVERIFY(QTest::qWaitForWindowExposed(&a.window));
        const quint64 id = controller.addMeasurement(kind, QStringLiteral("A"), 96, 1, 200.5, 300.5,
                                                     150.5, QStringLiteral("#2dd4bf"), 1000);
        QVERIFY(id != 0);
        controller.setSelectedId(selected ? id : 0);
        if (!hover.isNull()) {
            QHoverEvent event(QEvent::HoverMove, hover, a.window.mapToGlobal(hover), hover);
            QCoreApplication::sendEvent(&a.window, &event);
            QVERIFY(a.scene.hoveredId() == id);
        }
        const QRegion drawn = drawnPieces(a.scene);
        const QImage image = a.window.grabWindow().convertToFormat(QImage::Format_RGB32);
        const QColor labelFill(7, 17, 15); // the box's colour over black
        int checked = 0;
        for (int y = 0; y < 700; ++y) {
            for (int x = 150; x < 500; ++x) {
                const QColor c = image.pixelColor(x, y);
                const int strongest = std::max({c.red(), c.green(), c.blue()});
                const bool label = std::abs(c.red() - labelFill.red()) <= 2
                                   && std::abs(c.green() - labelFill.green()) <= 2;
                if (strongest < 106 && !label)
                    continue;
                ++checked;
                QVERIFY2(drawn.contains(QPoint(x, y)),
                         qPrintable(QStringLiteral("%1 at %2,%3 is not in the drawn shape")
                                        .arg(c.name())
                                        .arg(x)
                                        .arg(y)));
            }
        }
        QVERIFY(checked > 300);
        for (const QPoint beside :
             {QPoint(203, 60), QPoint(196, 60), QPoint(305, 40), QPoint(220, 157)})
            QVERIFY2(
                !drawn.contains(beside),
                qPrintable(
                    QStringLiteral("%1,%2 in the drawn shape").arg(beside.x()).arg(beside.y())));
    }
};

QTEST_MAIN(TestCaliperScene)
#include "tst_caliperscene.moc"
