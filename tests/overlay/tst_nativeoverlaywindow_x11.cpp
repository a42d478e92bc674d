// The overlay window on a real X server: the bounding and input shapes that the
// server holds for the window, read back through XShape, in native pixels.

#include "native_overlay_window.h"

#include <QGuiApplication>
#include <QTest>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

QVariantMap rect(int x, int y, int w, int h)
{
    return {{QStringLiteral("x"), x}, {QStringLiteral("y"), y},
            {QStringLiteral("width"), w}, {QStringLiteral("height"), h}};
}

QVariantList records(const QList<QRect> &rects)
{
    QVariantList list;
    for (const QRect &r : rects)
        list << rect(r.x(), r.y(), r.width(), r.height());
    return list;
}

// The scale this run was started with (one display).
qreal expectedScale()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS").toDouble(&ok);
    return ok ? scale : 1.0;
}

// Every native pixel that shows part of a logical rectangle.
QRegion nativeOutward(const QList<QRect> &rects, qreal scale)
{
    QRegion region;
    for (const QRect &r : rects) {
        const int left = int(std::floor(r.x() * scale));
        const int top = int(std::floor(r.y() * scale));
        const int right = int(std::ceil((r.x() + r.width()) * scale));
        const int bottom = int(std::ceil((r.y() + r.height()) * scale));
        region += QRect(left, top, right - left, bottom - top);
    }
    return region;
}

struct ConnectionDeleter
{
    void operator()(xcb_connection_t *c) const { xcb_disconnect(c); }
};

} // namespace

class TestNativeOverlayWindowX11 : public QObject
{
    Q_OBJECT

public:
    enum class Mode { PassThrough, Interactive };

private:
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> m_observer;
    const QSize m_size{400, 300};
    // Shown once and kept through all rows of `shapes`.
    std::unique_ptr<NativeOverlayWindow> m_window;

    std::unique_ptr<NativeOverlayWindow> makeWindow()
    {
        auto window = std::make_unique<NativeOverlayWindow>();
        window->setFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
                         | Qt::WindowDoesNotAcceptFocus);
        window->setGeometry(QRect(QPoint(40, 40), m_size));
        return window;
    }

    // Waits until the server has handled everything the program sent so far.
    static void syncProgramConnection()
    {
        auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t *c = x11->connection();
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    // The shape of one kind, as the server reports it to another client.
    QRegion shape(const QWindow &window, xcb_shape_kind_t kind)
    {
        syncProgramConnection();
        xcb_connection_t *c = m_observer.get();
        const auto cookie =
            xcb_shape_get_rectangles(c, static_cast<xcb_window_t>(window.winId()), kind);
        xcb_shape_get_rectangles_reply_t *reply = xcb_shape_get_rectangles_reply(c, cookie, nullptr);
        if (!reply)
            return QRegion(-1, -1, 1, 1); // cannot match any expectation
        QRegion region;
        const xcb_rectangle_t *rects = xcb_shape_get_rectangles_rectangles(reply);
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i)
            region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        free(reply);
        return region;
    }

    QRegion expectedBounding(const QList<QRect> &visual, qreal scale) const
    {
        if (visual.isEmpty())
            return QRegion(0, 0, int(std::lround(m_size.width() * scale)),
                           int(std::lround(m_size.height() * scale)));
        // Visual rectangles have even coordinates, so every tested scale maps them exactly.
        return nativeOutward(visual, scale);
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        m_observer.reset(xcb_connect(nullptr, nullptr));
        QVERIFY(m_observer && !xcb_connection_has_error(m_observer.get()));
        const xcb_query_extension_reply_t *ext =
            xcb_get_extension_data(m_observer.get(), &xcb_shape_id);
        QVERIFY2(ext && ext->present, "the X server has no SHAPE extension");
    }

    void shapes_data()
    {
        QTest::addColumn<bool>("clickThrough");
        QTest::addColumn<QList<QRect>>("visual");
        QTest::addColumn<QList<QRect>>("interactive");
        QTest::addColumn<Mode>("mode");

        const QList<QRect> visual{QRect(0, 0, 100, 80), QRect(200, 100, 60, 40)};
        // Odd positions, and ends: at 1.5 they start and end inside native pixels.
        const QList<QRect> interactive{QRect(11, 13, 20, 6), QRect(201, 101, 4, 5)};

        // One window through all rows: each row is also a change from the one before.
        QTest::newRow("pass-through: nothing interactive")
            << false << visual << QList<QRect>{} << Mode::PassThrough;
        QTest::newRow("interactive") << false << visual << interactive << Mode::Interactive;
        QTest::newRow("pass-through: click-through") << true << visual << interactive << Mode::PassThrough;
        QTest::newRow("interactive again") << false << visual << interactive << Mode::Interactive;
        QTest::newRow("whole window shown while dragging")
            << false << QList<QRect>{QRect(0, 0, 400, 300)} << interactive << Mode::Interactive;
        QTest::newRow("no mask") << false << QList<QRect>{} << QList<QRect>{QRect(1, 1, 1, 1)}
                                 << Mode::Interactive;
        QTest::newRow("pass-through: no mask, click-through")
            << true << QList<QRect>{} << QList<QRect>{QRect(1, 1, 1, 1)} << Mode::PassThrough;
    }

    void shapes()
    {
        QFETCH(bool, clickThrough);
        QFETCH(QList<QRect>, visual);
        QFETCH(QList<QRect>, interactive);
        QFETCH(Mode, mode);

        if (!m_window) {
            m_window = makeWindow();
            m_window->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        }
        NativeOverlayWindow *window = m_window.get();
        const qreal scale = expectedScale();
        QCOMPARE(window->devicePixelRatio(), scale);

        window->setClickThrough(clickThrough);
        window->setVisualRegions(records(visual));
        window->setInteractiveRegions(records(interactive));

        QCOMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), expectedBounding(visual, scale));
        const QRegion input = shape(*window, XCB_SHAPE_SK_INPUT);
        if (mode == Mode::PassThrough)
            QVERIFY2(input.isEmpty(), "pass-through mode leaves input shape rectangles");
        else
            QCOMPARE(input, nativeOutward(interactive, scale));
    }

    void cleanupTestCase() { m_window.reset(); }

    // Assigned before the native window exists, applied when it is created, and again
    // when it is created anew.
    void appliedWhenCreated()
    {
        const qreal scale = expectedScale();
        const QList<QRect> visual{QRect(20, 20, 120, 60)};
        const QList<QRect> interactive{QRect(25, 27, 9, 11)};
        auto window = makeWindow();
        window->setVisualRegions(records(visual));
        window->setInteractiveRegions(records(interactive));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), expectedBounding(visual, scale));
        QCOMPARE(shape(*window, XCB_SHAPE_SK_INPUT), nativeOutward(interactive, scale));

        window->destroy();
        window->setClickThrough(true);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), expectedBounding(visual, scale));
        QVERIFY(shape(*window, XCB_SHAPE_SK_INPUT).isEmpty());
    }
};

QTEST_MAIN(TestNativeOverlayWindowX11)
#include "tst_nativeoverlaywindow_x11.moc"
