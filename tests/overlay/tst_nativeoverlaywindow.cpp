// The overlay window's logic against a recording stand-in for the windowing system.

#include "native_overlay_window.h"
#include "overlay_input_rules.h"
#include "overlay_platform.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace rules = zrn::overlay;

namespace {

constexpr std::uint64_t kPassThroughBits = 0x080000A0;

// What the stand-in saw, shared with the test after the window took the platform.
struct PlatformLog
{
    QStringList ops;
    QRegion lastMask;
    QRegion lastDrawn; // native pixels, the union of the rectangles
    std::uint64_t lastWritten = 0;
    QRegion lastWrittenRegion;
    std::uint64_t styles = 0; // the window's current extended styles
    QPoint clientOrigin;      // where the client area starts on screen, native pixels
    qreal ratio = 1.0;
    bool followsPointer = false; // as on Windows
    QPoint cursor;               // the pointer, screen, native pixels
    // The native window's life, as the platform saw it.
    int created = 0;
    int prepared = 0; // made ready to be shown
    bool shownNatively = true;
    std::function<void(OverlayPlatform::Loss)> lose; // the system takes the window away
};

// A hit-test query as the stand-in understands it.
struct FakeMessage
{
    unsigned kind = 0x0084;
    QPoint screen;
};

class RecordingPlatform final : public OverlayPlatform
{
public:
    explicit RecordingPlatform(std::shared_ptr<PlatformLog> log) : m_log(std::move(log))
    {
        m_log->lose = [this](Loss loss) { reportLoss(loss); };
    }

    void nativeWindowCreated(QWindow &) override { ++m_log->created; }
    void prepareToShow(QWindow &) override { ++m_log->prepared; }
    bool nativeWindowShown(const QWindow &) const override { return m_log->shownNatively; }

    void setMask(QWindow &, const QRegion &region) override
    {
        m_log->ops << QStringLiteral("mask");
        m_log->lastMask = region;
    }
    bool usesDrawnShape() const override { return true; }

    void setDrawnShape(QWindow &, const QRegion &native) override
    {
        m_log->ops << QStringLiteral("drawn");
        m_log->lastDrawn = native;
    }
    std::uint64_t readInputStyles(QWindow &) override
    {
        m_log->ops << QStringLiteral("read");
        return m_log->styles;
    }
    void writeInputStyles(QWindow &, std::uint64_t styles, const QRegion &interactive) override
    {
        m_log->ops << QStringLiteral("write");
        m_log->styles = m_log->lastWritten = styles;
        m_log->lastWrittenRegion = interactive;
    }
    void applyInputStyles(QWindow &) override { m_log->ops << QStringLiteral("apply"); }
    bool isHitTestQuery(const void *message) const override
    {
        return static_cast<const FakeMessage *>(message)->kind == 0x0084;
    }
    QPoint hitTestPosition(const void *message) const override
    {
        return static_cast<const FakeMessage *>(message)->screen;
    }
    QPoint screenToClient(QWindow &, QPoint screen) const override
    {
        return screen - m_log->clientOrigin;
    }
    qreal devicePixelRatio(const QWindow &) const override { return m_log->ratio; }
    bool followsPointer() const override { return m_log->followsPointer; }
    QPoint cursorPosition() const override { return m_log->cursor; }

private:
    std::shared_ptr<PlatformLog> m_log;
};

class TestWindow : public NativeOverlayWindow
{
public:
    explicit TestWindow(const std::shared_ptr<PlatformLog> &log)
        : NativeOverlayWindow(std::make_unique<RecordingPlatform>(log))
    {}
    using NativeOverlayWindow::nativeEvent;

    // The answer to a hit-test query: -1 when the input passes through, 0 when the
    // window's default handling takes it.
    qintptr hitTest(QPoint screen)
    {
        FakeMessage message{0x0084, screen};
        qintptr result = 0;
        const bool handled
            = nativeEvent(QByteArrayLiteral("windows_generic_MSG"), &message, &result);
        return handled ? result : 0;
    }
};

QVariantMap rect(const QVariant &x, const QVariant &y, const QVariant &w, const QVariant &h)
{
    return {{QStringLiteral("x"), x},
            {QStringLiteral("y"), y},
            {QStringLiteral("width"), w},
            {QStringLiteral("height"), h}};
}

constexpr std::uint64_t kFollowingBits = 0x080800A0; // the pass-through bits and WS_EX_LAYERED

const QStringList kStyleCalls{QStringLiteral("read"), QStringLiteral("write"),
                              QStringLiteral("apply")};

const QStringList kPolicyCalls{QStringLiteral("mask"), QStringLiteral("read"),
                               QStringLiteral("write"), QStringLiteral("apply")};

} // namespace

class TestNativeOverlayWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

    void construction()
    {
        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        QCOMPARE(window.color(), QColor(Qt::transparent));
        QVERIFY(!window.clickThrough());
        QVERIFY(window.interactiveRegions().isEmpty());
        QVERIFY(window.visualRegions().isEmpty());
        QVERIFY(window.mask().isEmpty());
        QVERIFY(log->ops.isEmpty());
    }

    void regions_data()
    {
        QTest::addColumn<QVariantList>("list");
        QTest::addColumn<QRegion>("expected");

        const QRegion none;
        const int maxInt = std::numeric_limits<int>::max();
        QTest::newRow("empty list") << QVariantList{} << none;
        QTest::newRow("one rectangle")
            << QVariantList{rect(10, 20, 30, 40)} << QRegion(10, 20, 30, 40);
        QTest::newRow("1 x 1 counts") << QVariantList{rect(5, 6, 1, 1)} << QRegion(5, 6, 1, 1);
        QTest::newRow("zero width") << QVariantList{rect(0, 0, 0, 10)} << none;
        QTest::newRow("zero height") << QVariantList{rect(0, 0, 10, 0)} << none;
        QTest::newRow("negative width") << QVariantList{rect(50, 0, -10, 10)} << none;
        QTest::newRow("negative height") << QVariantList{rect(0, 50, 10, -1)} << none;
        QTest::newRow("negative position counts")
            << QVariantList{rect(-5, -6, 10, 10)} << QRegion(-5, -6, 10, 10);
        QVariantMap noWidth = rect(1, 2, 3, 4);
        noWidth.remove(QStringLiteral("width"));
        QVariantMap noHeight = rect(1, 2, 3, 4);
        noHeight.remove(QStringLiteral("height"));
        QVariantMap noX = rect(7, 2, 3, 4);
        noX.remove(QStringLiteral("x"));
        QTest::newRow("missing width") << QVariantList{noWidth} << none;
        QTest::newRow("missing height") << QVariantList{noHeight} << none;
        QTest::newRow("missing x reads as 0") << QVariantList{noX} << QRegion(0, 2, 3, 4);
        QTest::newRow("non-numeric width")
            << QVariantList{rect(0, 0, QStringLiteral("wide"), 5)} << none;
        QTest::newRow("non-numeric height") << QVariantList{rect(0, 0, 5, QVariantList{1})} << none;
        QTest::newRow("numeric text converts")
            << QVariantList{rect(QStringLiteral("3"), 4, QStringLiteral("5"), 6)}
            << QRegion(3, 4, 5, 6);
        QTest::newRow("not finite sizes")
            << QVariantList{rect(0, 0, qQNaN(), 5), rect(0, 0, 5, qInf()), rect(0, 0, -qInf(), 5)}
            << none;
        QTest::newRow("elements that are not maps")
            << QVariantList{5, QStringLiteral("rect"), QVariant(), QVariantList{1, 2, 3, 4},
                            rect(1, 1, 2, 2)}
            << QRegion(1, 1, 2, 2);
        const int limit = 1 << 24;
        QTest::newRow("beyond the coordinate range")
            << QVariantList{rect(maxInt, 0, 1, 1),
                            rect(0, maxInt - 1, 5, 3),
                            rect(limit, 0, 1, 1),
                            rect(0, -limit - 1, 1, 1),
                            rect(-limit, -limit, 2 * limit + 1, 1),
                            rect(std::numeric_limits<int>::min(), 0, maxInt, 1)}
            << none;
        QTest::newRow("at the ends of the coordinate range")
            << QVariantList{rect(limit - 1, 0, 1, 1), rect(-limit, -limit, 2 * limit, 1)}
            << (QRegion(limit - 1, 0, 1, 1) + QRegion(-limit, -limit, 2 * limit, 1));
        QTest::newRow("overlapping merge")
            << QVariantList{rect(0, 0, 10, 10), rect(5, 5, 10, 10), rect(0, 0, 10, 10)}
            << (QRegion(0, 0, 10, 10) + QRegion(5, 5, 10, 10));
        QTest::newRow("valid and invalid mixed")
            << QVariantList{rect(0, 0, 0, 0), rect(20, 20, 4, 4), 3.5, rect(40, 0, 2, -2)}
            << QRegion(20, 20, 4, 4);
    }

    void regions()
    {
        QFETCH(QVariantList, list);
        QFETCH(QRegion, expected);

        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.create();
        window.setVisualRegions(list);
        QCOMPARE(window.visualRegions(), list);
        QCOMPARE(log->lastMask, expected);

        window.setInteractiveRegions(list);
        QCOMPARE(window.interactiveRegions(), list);
        QCOMPARE(log->lastWrittenRegion, expected);
        QCOMPARE(bool(log->lastWritten & rules::kExTransparent), expected.isEmpty());
        QCOMPARE(NativeOverlayWindow::regionFromList(list), expected);
    }

    // The drawn shape waits for a frame: it reaches the platform only once the
    // frame that draws it has been swapped, and then in one piece; meanwhile the
    // policy leaves it alone. Each shape handed to a frame is a new generation.
    void drawnShapeFollowsFrames()
    {
        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.resize(200, 200);
        QSignalSpy applied(&window, &NativeOverlayWindow::drawnShapeApplied);
        window.setDrawnShape(QRegion(10, 20, 1, 50) + QRegion(12, 20, 8, 8));
        QVERIFY(!log->ops.contains(QStringLiteral("drawn")));
        window.show();
        QTRY_COMPARE(applied.count(), 1);
        QCOMPARE(log->lastDrawn, QRegion(10, 20, 1, 50) + QRegion(12, 20, 8, 8));
        QCOMPARE(window.appliedShapeGeneration(), window.frameShapeGeneration());

        const quint64 generation = window.appliedShapeGeneration();
        log->ops.clear();
        window.setVisualRegions({rect(0, 0, 9, 9)});
        QVERIFY(!log->ops.contains(QStringLiteral("drawn")));
        window.setDrawnShape(QRegion());
        QTRY_COMPARE(applied.count(), 2);
        QCOMPARE(log->lastDrawn, QRegion());
        QCOMPARE(window.appliedShapeGeneration(), generation + 1);
    }

    void modeTable_data()
    {
        QTest::addColumn<bool>("clickThrough");
        QTest::addColumn<QVariantList>("interactive");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<qintptr>("answerInside");

        const QVariantList some{rect(10, 10, 20, 20)};
        QTest::newRow("flag set") << true << some << true << qintptr(-1);
        QTest::newRow("flag clear, nothing interactive")
            << false << QVariantList{} << true << qintptr(-1);
        QTest::newRow("flag clear, only invalid records")
            << false << QVariantList{rect(10, 10, 0, 20)} << true << qintptr(-1);
        QTest::newRow("flag clear, interactive") << false << some << false << qintptr(0);
    }

    void modeTable()
    {
        QFETCH(bool, clickThrough);
        QFETCH(QVariantList, interactive);
        QFETCH(bool, transparent);
        QFETCH(qintptr, answerInside);

        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.create();
        const QVariantList visual{rect(0, 0, 100, 100)};
        window.setVisualRegions(visual);
        window.setInteractiveRegions(interactive);
        window.setClickThrough(clickThrough);

        QCOMPARE(log->lastMask, QRegion(0, 0, 100, 100));
        QCOMPARE(bool(log->lastWritten & rules::kExTransparent), transparent);
        QVERIFY(log->lastWritten & rules::kExNoActivate);
        QVERIFY(log->lastWritten & rules::kExToolWindow);
        QCOMPARE(window.hitTest({15, 15}), answerInside);
        QCOMPARE(window.hitTest({50, 50}), qintptr(-1));
    }

    void callOrder_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("visual regions") << 0;
        QTest::newRow("interactive regions") << 1;
        QTest::newRow("click-through") << 2;
        QTest::newRow("same visual list again") << 3;
    }

    void callOrder()
    {
        QFETCH(int, change);
        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        QSignalSpy spy(&window, &NativeOverlayWindow::clickThroughChanged);
        window.create();
        const QVariantList list{rect(1, 2, 3, 4)};
        window.setVisualRegions(list);
        log->ops.clear();

        switch (change) {
        case 0:
            window.setVisualRegions({rect(0, 0, 9, 9)});
            break;
        case 1:
            window.setInteractiveRegions(list);
            break;
        case 2:
            window.setClickThrough(true);
            break;
        case 3:
            window.setVisualRegions(list);
            break;
        }
        QCOMPARE(log->ops, kPolicyCalls);
        QCOMPARE(spy.count(), change == 2 ? 1 : 0);
    }

    void styleBits_data()
    {
        QTest::addColumn<quint64>("before");
        QTest::addColumn<bool>("passThrough");
        QTest::addColumn<quint64>("after");

        QTest::newRow("none, pass-through") << quint64(0) << true << quint64(kPassThroughBits);
        QTest::newRow("none, interactive") << quint64(0) << false << quint64(0x08000080);
        QTest::newRow("topmost and layered kept, pass-through")
            << quint64(0x00080008) << true << quint64(0x080800A8);
        QTest::newRow("transparent cleared, topmost and layered kept")
            << quint64(0x000800A8) << false << quint64(0x08080088);
        QTest::newRow("all bits, interactive")
            << quint64(0xFFFFFFFF) << false << quint64(0xFFFFFFDF);
        QTest::newRow("all bits, pass-through")
            << quint64(0xFFFFFFFF) << true << quint64(0xFFFFFFFF);
        QTest::newRow("high word kept") << quint64(0x100000000) << false << quint64(0x108000080);
    }

    void styleBits()
    {
        QFETCH(quint64, before);
        QFETCH(bool, passThrough);
        QFETCH(quint64, after);

        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.setInteractiveRegions(passThrough ? QVariantList{} : QVariantList{rect(0, 0, 5, 5)});
        log->styles = before;
        window.create();
        QCOMPARE(log->lastWritten, after);
        QCOMPARE(rules::inputStylesFor(before, passThrough), after);
    }

    void sameClickThroughDoesNothing()
    {
        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.create();
        QSignalSpy spy(&window, &NativeOverlayWindow::clickThroughChanged);
        log->ops.clear();

        window.setClickThrough(false);
        QVERIFY(log->ops.isEmpty());
        QCOMPARE(spy.count(), 0);

        window.setClickThrough(true);
        QCOMPARE(log->ops, kPolicyCalls);
        QCOMPARE(spy.count(), 1);
        log->ops.clear();

        window.setClickThrough(true);
        QVERIFY(log->ops.isEmpty());
        QCOMPARE(spy.count(), 1);

        window.setInteractiveRegions({rect(0, 0, 4, 4)});
        window.setClickThrough(false);
        QVERIFY(!(log->lastWritten & rules::kExTransparent));
        QCOMPARE(spy.count(), 2);
    }

    void appliedWhenCreated_data()
    {
        QTest::addColumn<bool>("clickThrough");
        QTest::addColumn<bool>("transparent");
        QTest::newRow("interactive") << false << false;
        QTest::newRow("click-through") << true << true;
    }

    void appliedWhenCreated()
    {
        QFETCH(bool, clickThrough);
        QFETCH(bool, transparent);

        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        QSignalSpy spy(&window, &NativeOverlayWindow::clickThroughChanged);
        window.setVisualRegions({rect(0, 0, 50, 60)});
        window.setInteractiveRegions({rect(5, 5, 10, 10)});
        window.setClickThrough(clickThrough);
        QCOMPARE(spy.count(), clickThrough ? 1 : 0);
        QVERIFY(log->ops.isEmpty());

        window.create();
        QCOMPARE(log->ops, kPolicyCalls);
        QCOMPARE(log->lastMask, QRegion(0, 0, 50, 60));
        QCOMPARE(log->lastWrittenRegion, QRegion(5, 5, 10, 10));
        QCOMPARE(bool(log->lastWritten & rules::kExTransparent), transparent);

        // Tearing the surface down neither applies nor undoes anything.
        log->ops.clear();
        window.destroy();
        QVERIFY(log->ops.isEmpty());
    }

    // Only its display's going removes an overlay: close requests are refused, and
    // a window the system took off the screen is shown again (its native window
    // made anew where it was destroyed), unless the program hid it itself.
    void staysOnScreen_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("restored");
        QTest::addColumn<int>("created");  // native windows made in all
        QTest::addColumn<int>("prepared"); // times made ready to be shown (skip states)

        QTest::newRow("close request") << QStringLiteral("close") << false << 1 << 1;
        QTest::newRow("unmapped") << QStringLiteral("unmapped") << true << 1 << 2;
        QTest::newRow("unmapped, mapped again at once (a window manager's frame)")
            << QStringLiteral("reparented") << false << 1 << 1;
        // Restored in place: the window manager kept its states.
        QTest::newRow("minimised") << QStringLiteral("minimised") << true << 1 << 1;
        QTest::newRow("destroyed") << QStringLiteral("destroyed") << true << 2 << 2;
        QTest::newRow("hidden by the program, then unmapped")
            << QStringLiteral("hidden") << false << 1 << 1;
    }

    void staysOnScreen()
    {
        QFETCH(QString, what);
        QFETCH(bool, restored);
        QFETCH(int, created);
        QFETCH(int, prepared);

        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.setGeometry(0, 0, 100, 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(log->prepared, 1);
        QSignalSpy restoredSpy(&window, &NativeOverlayWindow::restored);

        if (what == QLatin1String("close")) {
            QVERIFY(!window.close());
        } else if (what == QLatin1String("minimised")) {
            window.showMinimized();
            log->shownNatively = false;
        } else if (what == QLatin1String("destroyed")) {
            log->lose(OverlayPlatform::Loss::Destroyed);
        } else {
            if (what == QLatin1String("hidden"))
                window.hide();
            log->shownNatively = what == QLatin1String("reparented");
            log->lose(OverlayPlatform::Loss::Unmapped);
        }
        if (restored) {
            QTRY_COMPARE(restoredSpy.count(), 1);
            QVERIFY(window.isVisible());
            QVERIFY(!(window.windowStates() & Qt::WindowMinimized));
        } else {
            // Nothing to wait for: a restore would come within the time the window
            // waits before it looks again (250 ms).
            QVERIFY(!QTest::qWaitFor([&] { return restoredSpy.count() > 0; }, 600));
            QCOMPARE(window.isVisible(), what != QLatin1String("hidden"));
        }
        QCOMPARE(log->created, created);
        QCOMPARE(log->prepared, prepared);
    }

    void hitTest_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QPoint>("origin");
        QTest::addColumn<QPoint>("screen");
        QTest::addColumn<bool>("takesInput");

        // Interactive rectangle: logical (10, 10) to (29, 29).
        const QPoint o(100, 100);
        QTest::newRow("1: top-left corner") << 1.0 << o << QPoint(110, 110) << true;
        QTest::newRow("1: bottom-right corner") << 1.0 << o << QPoint(129, 129) << true;
        QTest::newRow("1: left of it") << 1.0 << o << QPoint(109, 120) << false;
        QTest::newRow("1: right of it") << 1.0 << o << QPoint(130, 120) << false;
        QTest::newRow("1: below it") << 1.0 << o << QPoint(120, 130) << false;
        QTest::newRow("1: left of the window") << 1.0 << o << QPoint(50, 120) << false;

        // A display left of and above the primary one.
        const QPoint neg(-1920, -300);
        QTest::newRow("negative: inside") << 1.0 << neg << QPoint(-1900, -280) << true;
        QTest::newRow("negative: outside") << 1.0 << neg << QPoint(-1880, -280) << false;

        // At 1.5 the rectangle covers native pixels 15 to 44.
        const QPoint z(0, 0);
        QTest::newRow("1.5: first native pixel") << 1.5 << z << QPoint(15, 15) << true;
        QTest::newRow("1.5: last native pixel") << 1.5 << z << QPoint(44, 44) << true;
        QTest::newRow("1.5: middle, beyond logical 29") << 1.5 << z << QPoint(40, 30) << true;
        QTest::newRow("1.5: one before") << 1.5 << z << QPoint(14, 20) << false;
        QTest::newRow("1.5: one after") << 1.5 << z << QPoint(45, 20) << false;
        QTest::newRow("1.5: inside logically at 1, outside natively")
            << 1.5 << z << QPoint(12, 12) << false;
        QTest::newRow("1.5: negative client position") << 1.5 << z << QPoint(-1, 20) << false;
        const QPoint negHigh(-2880, -450);
        QTest::newRow("1.5: negative screen, inside")
            << 1.5 << negHigh << QPoint(-2880 + 20, -450 + 44) << true;
        QTest::newRow("1.5: negative screen, outside")
            << 1.5 << negHigh << QPoint(-2880 + 50, -450 + 20) << false;
        QTest::newRow("2: last native pixel") << 2.0 << z << QPoint(59, 20) << true;
        QTest::newRow("2: one after") << 2.0 << z << QPoint(60, 20) << false;
    }

    void hitTest()
    {
        QFETCH(qreal, ratio);
        QFETCH(QPoint, origin);
        QFETCH(QPoint, screen);
        QFETCH(bool, takesInput);

        auto log = std::make_shared<PlatformLog>();
        log->ratio = ratio;
        log->clientOrigin = origin;
        TestWindow window(log);
        window.create();
        window.setInteractiveRegions({rect(10, 10, 20, 20)});
        // The whole window shown, as during a drag: the hit test stays with the interactive part.
        window.setVisualRegions({rect(0, 0, 200, 200)});
        QCOMPARE(window.hitTest(screen), takesInput ? qintptr(0) : qintptr(-1));

        window.setClickThrough(true);
        QCOMPARE(window.hitTest(screen), qintptr(-1));
    }

    // Where the styles follow the pointer (Windows), the window is layered always
    // and transparent wherever the pointer is not over an interactive part.
    void pointerFollowing_data()
    {
        QTest::addColumn<bool>("clickThrough");
        QTest::addColumn<QVariantList>("interactive");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<bool>("transparent");

        const QVariantList some{rect(10, 10, 20, 20)};
        const QPoint on(115, 115), off(150, 150);
        QTest::newRow("flag set, pointer on a part") << true << some << 1.0 << on << true;
        QTest::newRow("nothing interactive") << false << QVariantList{} << 1.0 << on << true;
        QTest::newRow("pointer on a part") << false << some << 1.0 << on << false;
        QTest::newRow("pointer off the parts") << false << some << 1.0 << off << true;
        QTest::newRow("pointer on the last pixel")
            << false << some << 1.0 << QPoint(129, 129) << false;
        QTest::newRow("pointer one pixel after")
            << false << some << 1.0 << QPoint(130, 129) << true;
        QTest::newRow("1.5: last native pixel")
            << false << some << 1.5 << QPoint(144, 144) << false;
        QTest::newRow("1.5: one after") << false << some << 1.5 << QPoint(145, 120) << true;
    }

    void pointerFollowing()
    {
        QFETCH(bool, clickThrough);
        QFETCH(QVariantList, interactive);
        QFETCH(qreal, ratio);
        QFETCH(QPoint, cursor);
        QFETCH(bool, transparent);

        auto log = std::make_shared<PlatformLog>();
        log->followsPointer = true;
        log->clientOrigin = QPoint(100, 100);
        log->ratio = ratio;
        log->cursor = cursor;
        TestWindow window(log);
        window.create();
        window.setVisualRegions({rect(0, 0, 100, 100)});
        window.setInteractiveRegions(interactive);
        window.setClickThrough(clickThrough);

        QCOMPARE(log->ops.mid(log->ops.size() - kPolicyCalls.size()), kPolicyCalls);
        QCOMPARE(log->lastWritten,
                 transparent ? kFollowingBits : kFollowingBits & ~rules::kExTransparent);
        QCOMPARE(rules::pointerFollowingStylesFor(0, clickThrough || interactive.isEmpty(),
                                                  !transparent),
                 log->lastWritten);
        // The hit test answers as before.
        const qintptr inside = (clickThrough || interactive.isEmpty()) ? -1 : 0;
        QCOMPARE(window.hitTest({115, 115}), inside);
    }

    // The pointer coming onto a caliper and leaving it again switches the styles,
    // and only them: the mask stays as it is.
    void pointerFollowingSwitches()
    {
        auto log = std::make_shared<PlatformLog>();
        log->followsPointer = true;
        log->cursor = QPoint(300, 300);
        log->styles = 0x00000008; // topmost, kept
        TestWindow window(log);
        window.create();
        window.setVisualRegions({rect(0, 0, 200, 200)});
        window.setInteractiveRegions({rect(10, 10, 20, 20)});
        QCOMPARE(log->lastWritten, kFollowingBits | 0x8);

        log->ops.clear();
        log->cursor = QPoint(20, 20);
        QTRY_COMPARE(log->lastWritten, (kFollowingBits | 0x8) & ~rules::kExTransparent);
        QCOMPARE(log->ops, kStyleCalls);

        log->ops.clear();
        log->cursor = QPoint(40, 20);
        QTRY_COMPARE(log->lastWritten, kFollowingBits | 0x8);
        QCOMPARE(log->ops, kStyleCalls);

        // In pass-through mode the pointer changes nothing.
        window.setInteractiveRegions({});
        log->cursor = QPoint(20, 20);
        window.setVisualRegions({rect(0, 0, 200, 200)});
        QCOMPARE(log->lastWritten, kFollowingBits | 0x8);
    }

    // A press the window took holds the pointer until release, wherever a drag
    // takes it meanwhile.
    void pressHoldsThePointer()
    {
        auto log = std::make_shared<PlatformLog>();
        log->followsPointer = true;
        TestWindow window(log);
        window.setGeometry(0, 0, 200, 200);
        window.setInteractiveRegions({rect(10, 10, 20, 20)});
        log->cursor = QPoint(20, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(log->lastWritten & rules::kExTransparent, 0u);

        QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(20, 20));
        log->cursor = QPoint(120, 120);
        window.setVisualRegions({rect(0, 0, 200, 200)}); // as a drag's preview does
        QCOMPARE(log->lastWritten & rules::kExTransparent, 0u);

        QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(120, 120));
        QTRY_COMPARE(log->lastWritten & rules::kExTransparent, rules::kExTransparent);
    }

    void otherMessagesGoToTheBase()
    {
        auto log = std::make_shared<PlatformLog>();
        TestWindow window(log);
        window.create();
        window.setClickThrough(true);
        FakeMessage other{0x0200, {0, 0}};
        qintptr result = 42;
        QVERIFY(!window.nativeEvent(QByteArrayLiteral("windows_generic_MSG"), &other, &result));
        QCOMPARE(result, qintptr(42));
        QVERIFY(!window.nativeEvent(QByteArrayLiteral("windows_generic_MSG"), nullptr, &result));
        QCOMPARE(result, qintptr(42));
    }

    // Random assignments; after each, the recorded policy and the hit test agree with
    // the pixels of the valid records, found here by brute force.
    void randomSequence()
    {
        QRandomGenerator rng(20240611);
        auto log = std::make_shared<PlatformLog>();
        log->ratio = 1.5;
        TestWindow window(log);
        window.create();
        QVariantList interactive;
        bool clickThrough = false;
        const auto randomList = [&rng] {
            QVariantList list;
            const int n = rng.bounded(4);
            for (int i = 0; i < n; ++i) {
                if (rng.bounded(6) == 0)
                    list << QStringLiteral("junk");
                else
                    list << rect(rng.bounded(-5, 30), rng.bounded(-5, 30), rng.bounded(-2, 12),
                                 rng.bounded(-2, 12));
            }
            return list;
        };
        // Logical pixels -10..49 in both directions covered by a valid record.
        std::vector<bool> covered(60 * 60, false);
        const auto recompute = [&] {
            std::fill(covered.begin(), covered.end(), false);
            for (const QVariant &v : interactive) {
                const QVariantMap m = v.toMap();
                const int x = m.value(QStringLiteral("x")).toInt();
                const int y = m.value(QStringLiteral("y")).toInt();
                const int w = m.value(QStringLiteral("width")).toInt();
                const int h = m.value(QStringLiteral("height")).toInt();
                if (w < 1 || h < 1)
                    continue;
                for (int lx = std::max(x, -10); lx < std::min(x + w, 50); ++lx)
                    for (int ly = std::max(y, -10); ly < std::min(y + h, 50); ++ly)
                        covered[std::size_t((lx + 10) * 60 + ly + 10)] = true;
            }
        };

        for (int step = 0; step < 300; ++step) {
            // Something else may change unrelated style bits between calls.
            const std::uint64_t other = rng.generate() & ~kPassThroughBits;
            log->styles = (log->styles & kPassThroughBits) | other;
            log->ops.clear();
            switch (rng.bounded(3)) {
            case 0:
                interactive = randomList();
                recompute();
                window.setInteractiveRegions(interactive);
                break;
            case 1:
                window.setVisualRegions(randomList());
                break;
            case 2:
                if (rng.bounded(2) == 0) {
                    clickThrough = !clickThrough;
                    window.setClickThrough(clickThrough);
                } else {
                    window.setClickThrough(clickThrough);
                    QVERIFY(log->ops.isEmpty());
                    continue;
                }
                break;
            }
            QCOMPARE(log->ops, kPolicyCalls);
            QCOMPARE(log->lastWritten & ~kPassThroughBits, other);
            const bool anyInteractive = !log->lastWrittenRegion.isEmpty();
            QCOMPARE(bool(log->lastWritten & rules::kExTransparent),
                     clickThrough || !anyInteractive);

            for (int probe = 0; probe < 20; ++probe) {
                const QPoint native(rng.bounded(-10, 60), rng.bounded(-10, 60));
                // A native pixel takes the mouse when it overlaps a covered logical pixel.
                bool expected = false;
                for (int lx = -10; lx < 50 && !expected; ++lx)
                    for (int ly = -10; ly < 50 && !expected; ++ly)
                        expected = covered[std::size_t((lx + 10) * 60 + ly + 10)]
                                   && native.x() + 1 > lx * 1.5 && native.x() < (lx + 1) * 1.5
                                   && native.y() + 1 > ly * 1.5 && native.y() < (ly + 1) * 1.5;
                expected = expected && !clickThrough;
                QCOMPARE(window.hitTest(native), expected ? qintptr(0) : qintptr(-1));
            }
        }
    }
};

QTEST_MAIN(TestNativeOverlayWindow)
#include "tst_nativeoverlaywindow.moc"
