// The overlay window on a real X server: the bounding and input shapes that the
// server holds for the window, read back through XShape, in native pixels. The
// test itself plays the compositing manager by owning _NET_WM_CM_S<screen>, as
// one does; without it the window shows only what is drawn.

#include "native_overlay_window.h"

#include <QGuiApplication>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace {

QVariantMap rect(int x, int y, int w, int h)
{
    return {{QStringLiteral("x"), x},
            {QStringLiteral("y"), y},
            {QStringLiteral("width"), w},
            {QStringLiteral("height"), h}};
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

QRegion united(const QList<QRect> &rects)
{
    QRegion region;
    for (const QRect &r : rects)
        region += r;
    return region;
}

} // namespace

class TestNativeOverlayWindowX11 : public QObject
{
    Q_OBJECT

public:
    enum class Mode { PassThrough, Interactive };

private:
    std::unique_ptr<xcb_connection_t, ConnectionDeleter> m_observer;
    int m_screen = 0;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_cmSelection = XCB_NONE;
    xcb_window_t m_cmOwner = XCB_NONE; // the stand-in compositing manager's window
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
        const auto cookie
            = xcb_shape_get_rectangles(c, static_cast<xcb_window_t>(window.winId()), kind);
        xcb_shape_get_rectangles_reply_t *reply
            = xcb_shape_get_rectangles_reply(c, cookie, nullptr);
        if (!reply)
            return QRegion(-1, -1, 1, 1); // cannot match any expectation
        QRegion region;
        const xcb_rectangle_t *rects = xcb_shape_get_rectangles_rectangles(reply);
        for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i)
            region += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
        free(reply);
        return region;
    }

    // Takes or gives up the compositing manager's selection, as a compositing
    // manager does when it starts or ends (its window goes with it).
    void setCompositingManager(bool running)
    {
        xcb_connection_t *c = m_observer.get();
        if (running && m_cmOwner == XCB_NONE) {
            m_cmOwner = xcb_generate_id(c);
            xcb_create_window(c, XCB_COPY_FROM_PARENT, m_cmOwner, m_root, -10, -10, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
            xcb_set_selection_owner(c, m_cmOwner, m_cmSelection, XCB_CURRENT_TIME);
        } else if (!running && m_cmOwner != XCB_NONE) {
            xcb_destroy_window(c, m_cmOwner);
            m_cmOwner = XCB_NONE;
        }
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
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
        m_observer.reset(xcb_connect(nullptr, &m_screen));
        QVERIFY(m_observer && !xcb_connection_has_error(m_observer.get()));
        const xcb_query_extension_reply_t *ext
            = xcb_get_extension_data(m_observer.get(), &xcb_shape_id);
        QVERIFY2(ext && ext->present, "the X server has no SHAPE extension");

        xcb_connection_t *c = m_observer.get();
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < m_screen && it.rem; ++i)
            xcb_screen_next(&it);
        QVERIFY(it.rem);
        m_root = it.data->root;
        const std::string name = "_NET_WM_CM_S" + std::to_string(m_screen);
        auto *atom = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
        QVERIFY(atom);
        m_cmSelection = atom->atom;
        free(atom);
        auto *owner
            = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_cmSelection), nullptr);
        QVERIFY(owner);
        const bool taken = owner->owner != XCB_NONE;
        free(owner);
        QVERIFY2(!taken, "a compositing manager runs on this X server already");
        // The rows of `shapes` and `appliedWhenCreated` run under a compositing manager.
        setCompositingManager(true);
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
        QTest::newRow("pass-through: click-through")
            << true << visual << interactive << Mode::PassThrough;
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

    void cleanupTestCase()
    {
        m_window.reset();
        setCompositingManager(false);
    }

    // Without a compositing manager the bounding shape is the drawn shape, in
    // native pixels, whatever the mask; the input shape does not change.
    void drawnShapeWithoutCompositingManager_data()
    {
        QTest::addColumn<QList<QRect>>("visual");
        QTest::addColumn<QList<QRect>>("drawn");
        QTest::addColumn<QList<QRect>>("interactive");

        const QList<QRect> visual{QRect(0, 0, 100, 80), QRect(200, 100, 60, 40)};
        const QList<QRect> interactive{QRect(11, 13, 20, 6), QRect(201, 101, 4, 5)};
        // Native pixels: a line of 2 at x 31, a handle, a label box.
        const QList<QRect> drawn{QRect(31, 0, 2, 80), QRect(16, 12, 8, 8), QRect(210, 108, 52, 23)};

        QTest::newRow("calipers") << visual << drawn << interactive;
        QTest::newRow("nothing drawn shows nothing")
            << QList<QRect>{} << QList<QRect>{} << QList<QRect>{};
        QTest::newRow("drag: whole window in the mask, the preview drawn")
            << QList<QRect>{QRect(0, 0, 400, 300)} << QList<QRect>{QRect(150, 0, 2, 80)}
            << interactive;
        QTest::newRow("calipers again") << visual << drawn << interactive;
    }

    void drawnShapeWithoutCompositingManager()
    {
        QFETCH(QList<QRect>, visual);
        QFETCH(QList<QRect>, drawn);
        QFETCH(QList<QRect>, interactive);

        setCompositingManager(false);
        const qreal scale = expectedScale();
        auto window = makeWindow();
        window->setVisualRegions(records(visual));
        window->setDrawnShape(united(drawn));
        window->setInteractiveRegions(records(interactive));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        // Applied once a frame has drawn it.
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), united(drawn));
        const QRegion input = shape(*window, XCB_SHAPE_SK_INPUT);
        if (interactive.isEmpty())
            QVERIFY(input.isEmpty());
        else
            QCOMPARE(input, nativeOutward(interactive, scale));

        // The drawn shape alone changes, as it does at every move of a drag.
        const QList<QRect> moved{QRect(40, 2, 1, 70)};
        window->setDrawnShape(united(moved));
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), united(moved));
    }

    // A drag hands the still calipers' shape unchanged and the dragged caliper's
    // apart: after every frame the window's shape is exactly their union, whatever
    // the dragged one covered before, and again the whole after the release.
    void drawnShapeInParts_data()
    {
        QTest::addColumn<QList<QList<QRect>>>("moves");

        QTest::newRow("a line moving beside the still ones") << QList<QList<QRect>>{
            {QRect(20, 0, 1, 120)}, {QRect(21, 0, 1, 120)}, {QRect(45, 0, 1, 120)}};
        QTest::newRow("over a still line and label, then away")
            << QList<QList<QRect>>{{QRect(31, 0, 1, 120), QRect(55, 55, 50, 30)},
                                   {QRect(30, 0, 3, 120), QRect(60, 60, 10, 10)},
                                   {QRect(90, 0, 1, 120)}};
        QTest::newRow("nothing moving, then something, then nothing")
            << QList<QList<QRect>>{{}, {QRect(5, 5, 3, 3)}, {}};
    }

    void drawnShapeInParts()
    {
        QFETCH(QList<QList<QRect>>, moves);

        setCompositingManager(false);
        const QRegion still
            = united({QRect(30, 0, 2, 120), QRect(10, 50, 80, 1), QRect(60, 60, 40, 20)});
        auto window = makeWindow();
        window->setVisualRegions(records({QRect(0, 0, 200, 150)}));
        window->setDrawnShape(still);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), still);

        QRegion last;
        for (const QList<QRect> &move : std::as_const(moves)) {
            last = united(move);
            window->setDrawnShape(still, last);
            QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), still.united(last));
        }
        window->setDrawnShape(still.united(last));
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), still.united(last));
        window->setDrawnShape(QRegion());
        QTRY_VERIFY(shape(*window, XCB_SHAPE_SK_BOUNDING).isEmpty());
    }

    // A compositing manager that starts or ends while the window is shown brings
    // the mask back or the drawn shape in.
    void followsCompositingManager()
    {
        setCompositingManager(false);
        const qreal scale = expectedScale();
        const QList<QRect> visual{QRect(20, 20, 120, 60)};
        const QList<QRect> drawn{QRect(30, 20, 1, 60), QRect(60, 40, 31, 16)};
        auto window = makeWindow();
        window->setVisualRegions(records(visual));
        window->setDrawnShape(united(drawn));
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), united(drawn));

        setCompositingManager(true);
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), expectedBounding(visual, scale));
        setCompositingManager(false);
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), united(drawn));

        // Nothing drawn, then a compositing manager: the window without calipers is
        // unshaped and transparent again.
        window->setDrawnShape(QRegion());
        window->setVisualRegions({});
        QTRY_VERIFY(shape(*window, XCB_SHAPE_SK_BOUNDING).isEmpty());
        setCompositingManager(true);
        QTRY_COMPARE(shape(*window, XCB_SHAPE_SK_BOUNDING), expectedBounding({}, scale));
    }

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
