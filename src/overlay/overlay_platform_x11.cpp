// The Linux X11 realisation. QWindow::setMask shapes only the bounding region on
// X11; where the window takes input is the XShape input shape, set here: empty
// while the window lets everything through, the interactive region otherwise.
// The region arrives in logical units and the server works in native pixels.
// Tool window and no-activation come from the window flags the overlay sets.
//
// Without a compositing manager the server shows transparent pixels opaque
// (black). The bounding shape is then the drawn region instead of the mask, so
// that only painted pixels cover what lies underneath; an empty drawn region is an
// empty shape, which shows nothing. The compositing manager is followed while the
// program runs, and the shapes change with it.
//
// X clips a window's input to its bounding shape as well, so that a drawn shape
// of thin lines would take the pointer only on the lines themselves. Meanwhile an
// input-only window of the same size, stacked just above the overlay, carries the
// input shape; the pointer events it receives are handed to the overlay as its
// own, and it shows the overlay's cursor.
//
// The overlay keeps out of taskbars and pagers through the EWMH states set before
// it is mapped (Qt adds its own to them), and is told when the window is unmapped
// or destroyed behind Qt's back. Without a window manager a guard keeps it above
// other programs' windows (x11_stacking_guard.h). An ordinary window that takes the
// pointer wherever it shows (the panel's rounded corners) needs no stand-in.

#include "overlay_input_rules.h"
#include "overlay_platform.h"
#include "system_move.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#if QT_CONFIG(xcb)

#include "manager_selection_watch.h"
#include "x11_stacking_guard.h"
#include "xcb_reply.h"

#include <QAbstractNativeEventFilter>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace {

namespace rules = zrn::overlay;

xcb_connection_t *x11Connection()
{
    const auto *x11
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// A native span as the 16-bit position and extent of the X protocol.
void toProtocol(rules::NativeSpan span, std::int16_t &position, std::uint16_t &extent)
{
    const long long begin = std::clamp<long long>(span.begin, -0x8000, 0x7FFF);
    const long long end = std::clamp<long long>(span.end, begin, begin + 0xFFFF);
    position = static_cast<std::int16_t>(begin);
    extent = static_cast<std::uint16_t>(end - begin);
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    auto reply = xcbReply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

bool hasShapeExtension(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *shape = xcb_get_extension_data(connection, &xcb_shape_id);
    return shape && shape->present;
}

std::vector<xcb_rectangle_t> protocolRectangles(const QRegion &native)
{
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(std::size_t(native.rectCount()));
    for (const QRect &r : native) {
        xcb_rectangle_t native{};
        toProtocol({r.x(), r.x() + r.width()}, native.x, native.width);
        toProtocol({r.y(), r.y() + r.height()}, native.y, native.height);
        rectangles.push_back(native);
    }
    return rectangles;
}

// A window's place on the root (through a window manager's frame) and its size.
std::optional<QRect> rootGeometry(xcb_connection_t *connection, xcb_window_t window)
{
    const auto geometry = xcbReply(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    if (!geometry)
        return std::nullopt;
    const auto onRoot = xcbReply(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, geometry->root, 0, 0), nullptr));
    if (!onRoot)
        return std::nullopt;
    return QRect(onRoot->dst_x, onRoot->dst_y, geometry->width, geometry->height);
}

// The glyph of the X cursor font closest to each cursor the overlay shows.
std::uint16_t cursorGlyph(Qt::CursorShape shape)
{
    switch (shape) {
    case Qt::SizeHorCursor:
        return 108; // XC_sb_h_double_arrow
    case Qt::OpenHandCursor:
        return 58; // XC_hand1
    case Qt::ClosedHandCursor:
        return 52; // XC_fleur
    case Qt::PointingHandCursor:
        return 60; // XC_hand2
    default:
        return 68; // XC_left_ptr
    }
}

class X11OverlayPlatform final : public OverlayPlatform, public QAbstractNativeEventFilter
{
public:
    explicit X11OverlayPlatform(bool inputThroughStandIn) : m_standInWanted(inputThroughStandIn) {}
    X11OverlayPlatform(const X11OverlayPlatform &) = delete;
    X11OverlayPlatform &operator=(const X11OverlayPlatform &) = delete;

    ~X11OverlayPlatform() override
    {
        if (m_guard)
            m_guard->remove(m_native);
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return;
        if (m_standIn != XCB_NONE)
            xcb_destroy_window(connection, m_standIn);
        if (m_scratch != XCB_NONE && m_scratchParent == m_native)
            xcb_destroy_window(connection, m_scratch);
        for (const auto &[shape, cursor] : m_cursors)
            xcb_free_cursor(connection, cursor);
        if (m_cursorFont != XCB_NONE)
            xcb_close_font(connection, m_cursorFont);
        xcb_flush(connection);
    }

    void nativeWindowCreated(QWindow &window) override
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return;
        m_window = &window;
        m_native = static_cast<xcb_window_t>(window.winId());
        installFilter();
        if (m_root == XCB_NONE) {
            auto geometry = xcbReply(xcb_get_geometry_reply(
                connection, xcb_get_geometry(connection, m_native), nullptr));
            if (geometry)
                m_root = geometry->root;
        }
        if (!m_guard)
            m_guard = X11StackingGuard::forRoot(connection, m_root);
        if (m_guard)
            m_guard->add(m_native);
    }

    void nativeWindowDestroyed(QWindow &) override
    {
        if (m_guard)
            m_guard->remove(m_native);
        m_native = XCB_NONE;
        m_scratch = XCB_NONE; // a child, destroyed with it
    }

    // Added to whatever the window holds already; Qt merges its own states with
    // them when it maps the window, and a window manager takes them from there.
    void prepareToShow(QWindow &window) override
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return;
        const auto id = static_cast<xcb_window_t>(window.winId());
        const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
        const xcb_atom_t skips[] = {internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                    internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
        if (state == XCB_ATOM_NONE)
            return;
        std::vector<xcb_atom_t> atoms;
        auto current = xcbReply(xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024),
            nullptr));
        if (current && current->format == 32 && current->type == XCB_ATOM_ATOM) {
            const auto *values
                = static_cast<const xcb_atom_t *>(xcb_get_property_value(current.get()));
            atoms.assign(values, values + xcb_get_property_value_length(current.get()) / 4);
        }
        for (const xcb_atom_t skip : skips) {
            if (skip != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), skip) == atoms.end())
                atoms.push_back(skip);
        }
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(atoms.size()), atoms.data());
        xcb_flush(connection);
    }

    // Mapped, and so not iconified or withdrawn.
    bool nativeWindowShown(const QWindow &window) const override
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection || !window.handle())
            return false;
        auto attributes = xcbReply(xcb_get_window_attributes_reply(
            connection,
            xcb_get_window_attributes(connection, static_cast<xcb_window_t>(window.winId())),
            nullptr));
        return attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED;
    }

    void setMask(QWindow &window, const QRegion &region) override
    {
        m_visual = region;
        applyShape(window);
    }

    // Kept under a compositing manager too, for the moment it ends.
    bool usesDrawnShape() const override { return true; }
    bool showsDrawnShapeOnly() const override { return m_applied == Shape::Drawn; }

    void setDrawnShape(QWindow &window, const QRegion &native) override
    {
        setDrawnLayers(window, native, QRegion());
    }

    void setDrawnLayers(QWindow &window, const QRegion &still, const QRegion &moving) override
    {
        m_drawnStill = still;
        m_drawnMoving = moving;
        applyShape(window);
    }

    // X11 has no extended styles; the last written set stands in for them.
    std::uint64_t readInputStyles(QWindow &) override { return m_styles; }

    void writeInputStyles(QWindow &window, std::uint64_t styles,
                          const QRegion &interactive) override
    {
        m_styles = styles;
        xcb_connection_t *connection = x11Connection();
        if (!connection || !hasShapeExtension(connection))
            return;

        QRegion native;
        if (!(styles & rules::kExTransparent)) {
            const qreal ratio = devicePixelRatio(window);
            for (const QRect &r : interactive) {
                const rules::NativeSpan xs = rules::nativePixelsOver(r.x(), r.width(), ratio);
                const rules::NativeSpan ys = rules::nativePixelsOver(r.y(), r.height(), ratio);
                native += QRect(xs.begin, ys.begin, xs.end - xs.begin, ys.end - ys.begin);
            }
        }
        m_input = protocolRectangles(native);
        // No rectangles: an empty input shape, so every pointer event passes through.
        setInputShape(connection, static_cast<xcb_window_t>(window.winId()));
        if (m_standIn != XCB_NONE)
            setInputShape(connection, m_standIn);
    }

    void applyInputStyles(QWindow &) override
    {
        if (xcb_connection_t *connection = x11Connection())
            xcb_flush(connection);
    }

    // The server decides from the input shape; no hit-test query reaches the window.

    void pointerEventHandled(QWindow &window) override
    {
        if (m_standIn == XCB_NONE)
            return;
        const Qt::CursorShape shape = window.cursor().shape();
        if (shape == m_cursorShape)
            return;
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return;
        m_cursorShape = shape;
        std::uint32_t cursor = cursorFor(connection, shape);
        xcb_change_window_attributes(connection, m_standIn, XCB_CW_CURSOR, &cursor);
        xcb_flush(connection);
    }

    // Pointer events of the stand-in become the overlay's; the stand-in follows the
    // overlay when it moves, is restacked, shown or hidden.
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t" || !message)
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        noticeLoss(event);
        if (m_standIn == XCB_NONE)
            return false;
        switch (event->response_type & 0x7f) {
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
            handOver(static_cast<xcb_button_press_event_t *>(message));
            break;
        case XCB_MOTION_NOTIFY:
            handOver(static_cast<xcb_motion_notify_event_t *>(message));
            break;
        case XCB_ENTER_NOTIFY:
            handOver(static_cast<xcb_enter_notify_event_t *>(message));
            break;
        case XCB_LEAVE_NOTIFY:
            leaveStandIn(static_cast<xcb_leave_notify_event_t *>(message));
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const xcb_window_t window
                = static_cast<xcb_configure_notify_event_t *>(message)->window;
            if (window == m_overlay || (window == m_frame && m_frame != XCB_NONE))
                updateStandIn();
            break;
        }
        case XCB_REPARENT_NOTIFY:
            if (static_cast<xcb_reparent_notify_event_t *>(message)->window == m_overlay)
                updateStandIn();
            break;
        case XCB_MAP_NOTIFY:
            if (static_cast<xcb_map_notify_event_t *>(message)->window == m_overlay)
                updateStandIn(true);
            break;
        case XCB_UNMAP_NOTIFY:
            if (static_cast<xcb_unmap_notify_event_t *>(message)->window == m_overlay)
                updateStandIn(false);
            break;
        case XCB_DESTROY_NOTIFY:
            if (static_cast<xcb_destroy_notify_event_t *>(message)->window == m_overlay) {
                m_overlay = XCB_NONE;
                m_scratch = XCB_NONE;
                updateStandIn(false);
            }
            break;
        default:
            break;
        }
        // Qt handles every event as usual, the handed-over ones as the overlay's.
        return false;
    }

private:
    enum class Shape { Unset, Mask, Drawn };

    void installFilter()
    {
        if (m_filterInstalled)
            return;
        m_filterInstalled = true;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    // The window's own structure events: unmapped while Qt takes it for shown, or
    // destroyed while Qt still holds it, is a loss. Qt itself hides a window only
    // after it stopped taking it for shown.
    void noticeLoss(const xcb_generic_event_t *event) const
    {
        if (!m_window || m_native == XCB_NONE)
            return;
        switch (event->response_type & 0x7f) {
        case XCB_UNMAP_NOTIFY: {
            const auto *unmap = reinterpret_cast<const xcb_unmap_notify_event_t *>(event);
            if (unmap->event == m_native && unmap->window == m_native && m_window->isVisible())
                reportLoss(Loss::Unmapped);
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto *destroy = reinterpret_cast<const xcb_destroy_notify_event_t *>(event);
            if (destroy->event == m_native && destroy->window == m_native && m_window->handle())
                reportLoss(Loss::Destroyed);
            break;
        }
        default:
            break;
        }
    }

    template <typename Event> void handOver(Event *event) const
    {
        if (event->event != m_standIn || m_overlay == XCB_NONE)
            return;
        event->event = m_overlay;
        event->child = XCB_NONE;
    }

    // Where XInput 2 delivers the pointer, Qt takes enter and leave from it alone,
    // and the core leave of the stand-in would be lost: the overlay is told
    // itself, so that its hover ends when the pointer leaves its parts.
    void leaveStandIn(xcb_leave_notify_event_t *event)
    {
        if (event->event != m_standIn || event->mode != XCB_NOTIFY_MODE_NORMAL
            || event->detail == XCB_NOTIFY_DETAIL_INFERIOR)
            return;
        handOver(event);
        if (m_window)
            QCoreApplication::postEvent(m_window, new QEvent(QEvent::Leave));
    }

    void setInputShape(xcb_connection_t *connection, xcb_window_t window)
    {
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, window, 0, 0,
                             static_cast<std::uint32_t>(m_input.size()), m_input.data());
    }

    // Whether transparent pixels can be shown; assumed where it cannot be told.
    bool composited(QWindow &window, xcb_connection_t *connection)
    {
        if (!m_watchTried) {
            m_watchTried = true;
            m_window = &window;
            auto geometry = xcbReply(xcb_get_geometry_reply(
                connection, xcb_get_geometry(connection, static_cast<xcb_window_t>(window.winId())),
                nullptr));
            if (geometry) {
                m_root = geometry->root;
                m_watch = ManagerSelectionWatch::create(
                    connection, m_root, ManagerSelectionWatch::Manager::Compositing);
            }
            if (m_watch) {
                QObject::connect(m_watch.get(), &ManagerSelectionWatch::activeChanged,
                                 m_watch.get(), [this] {
                                     if (m_window)
                                         applyShape(*m_window);
                                 });
            }
        }
        return !m_watch || m_watch->active();
    }

    // The bounding shape: the mask under a compositing manager, the drawn region
    // without one. Set again only when it changes, since a drag changes the drawn
    // region at every move and leaves the mask alone.
    void applyShape(QWindow &window)
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection || !hasShapeExtension(connection))
            return;
        const auto id = static_cast<xcb_window_t>(window.winId());
        const Shape kind = composited(window, connection) ? Shape::Mask : Shape::Drawn;
        const bool modeChanged = id != m_overlay || kind != m_applied;
        if (kind == Shape::Mask) {
            if (!modeChanged && m_visual == m_appliedMask)
                return;
            window.setMask(m_visual);
            m_appliedMask = m_visual;
        } else {
            applyDrawnShape(connection, id, modeChanged);
        }
        m_overlay = id;
        m_applied = kind;
        if (modeChanged)
            updateStandIn(window.isVisible());
        xcb_flush(connection);
    }

    // The drawn shape is put together on an unmapped child of the overlay and
    // then copied over. Every change of the overlay's own shape makes the server
    // work out its clips from all the shape's rectangles (tens of thousands with
    // many calipers), an unmapped window's costs nothing of that: one such change
    // per frame, however the shape came about.
    void applyDrawnShape(xcb_connection_t *connection, xcb_window_t id, bool modeChanged)
    {
        const bool fresh = m_scratch == XCB_NONE || m_scratchParent != id;
        if (fresh) {
            m_scratch = xcb_generate_id(connection);
            m_scratchParent = id;
            xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_scratch, id, 0, 0, 1, 1, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        }
        if (!fresh && !modeChanged && m_drawnStill == m_appliedStill) {
            if (m_drawnMoving == m_appliedMoving)
                return;
            // Only the moving part changed: added, and what it left that nothing
            // else covers taken away, a few rectangles each.
            const QRegion left = m_appliedMoving.subtracted(m_drawnMoving).subtracted(m_drawnStill);
            changeBounding(connection, m_scratch, XCB_SHAPE_SO_UNION, m_drawnMoving);
            if (!left.isEmpty())
                changeBounding(connection, m_scratch, XCB_SHAPE_SO_SUBTRACT, left);
        } else {
            // No rectangles: an empty bounding shape, nothing shown.
            changeBounding(connection, m_scratch, XCB_SHAPE_SO_SET,
                           m_drawnStill.united(m_drawnMoving));
        }
        m_appliedStill = m_drawnStill;
        m_appliedMoving = m_drawnMoving;
        xcb_shape_combine(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                          XCB_SHAPE_SK_BOUNDING, id, 0, 0, m_scratch);
    }

    // A region's rectangles come banded as the server keeps regions, which it
    // takes far faster than unsorted ones.
    static void changeBounding(xcb_connection_t *connection, xcb_window_t id,
                               xcb_shape_op_t operation, const QRegion &native)
    {
        const std::vector<xcb_rectangle_t> rectangles = protocolRectangles(native);
        xcb_shape_rectangles(connection, operation, XCB_SHAPE_SK_BOUNDING,
                             XCB_CLIP_ORDERING_YX_BANDED, id, 0, 0,
                             static_cast<std::uint32_t>(rectangles.size()), rectangles.data());
    }

    // Shows the stand-in over a shown overlay without a compositing manager, placed
    // and stacked with it; hides it otherwise.
    void updateStandIn(bool overlayShown)
    {
        m_overlayShown = overlayShown;
        updateStandIn();
    }

    void updateStandIn()
    {
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return;
        const bool wanted = m_standInWanted && m_overlayShown && m_overlay != XCB_NONE
                            && m_applied == Shape::Drawn;
        if (!wanted) {
            if (m_standIn != XCB_NONE)
                xcb_unmap_window(connection, m_standIn);
            xcb_flush(connection);
            return;
        }
        if (m_standIn == XCB_NONE && !createStandIn(connection))
            return;
        const xcb_window_t sibling = topLevelOf(connection, m_overlay);
        followFrame(connection, sibling);
        const std::optional<QRect> overlay = rootGeometry(connection, m_overlay);
        if (sibling == XCB_NONE || !overlay)
            return;
        const std::uint32_t values[] = {static_cast<std::uint32_t>(std::int32_t(overlay->x())),
                                        static_cast<std::uint32_t>(std::int32_t(overlay->y())),
                                        static_cast<std::uint32_t>(overlay->width()),
                                        static_cast<std::uint32_t>(overlay->height()),
                                        sibling,
                                        XCB_STACK_MODE_ABOVE};
        xcb_configure_window(connection, m_standIn,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                 | XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_SIBLING
                                 | XCB_CONFIG_WINDOW_STACK_MODE,
                             values);
        setInputShape(connection, m_standIn);
        xcb_map_window(connection, m_standIn);
        xcb_flush(connection);
    }

    // A window manager moves and restacks its frame, not the overlay inside: the
    // frame's own structure events keep the stand-in with it, also when the window
    // manager took the overlay into the frame while the program ran.
    void followFrame(xcb_connection_t *connection, xcb_window_t topLevel)
    {
        const xcb_window_t frame = topLevel == m_overlay ? xcb_window_t(XCB_NONE) : topLevel;
        if (frame == m_frame)
            return;
        m_frame = frame;
        if (frame != XCB_NONE) {
            const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(connection, frame, XCB_CW_EVENT_MASK, &mask);
        }
    }

    bool createStandIn(xcb_connection_t *connection)
    {
        if (m_root == XCB_NONE)
            return false;
        m_standIn = xcb_generate_id(connection);
        // Override-redirect: no window manager frames, moves or focuses it.
        const std::uint32_t values[]
            = {1, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE
                      | XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW
                      | XCB_EVENT_MASK_LEAVE_WINDOW};
        xcb_create_window(connection, 0, m_standIn, m_root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        m_cursorShape = Qt::CustomCursor; // none set yet
        installFilter();
        return true;
    }

    // The child of the root that holds the overlay: the overlay itself, or the
    // frame a window manager put it in.
    xcb_window_t topLevelOf(xcb_connection_t *connection, xcb_window_t window) const
    {
        for (int depth = 0; depth < 16; ++depth) {
            auto tree = xcbReply(
                xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
            if (!tree)
                return XCB_NONE;
            if (tree->parent == tree->root || tree->parent == XCB_NONE)
                return window;
            window = tree->parent;
        }
        return XCB_NONE;
    }

    std::uint32_t cursorFor(xcb_connection_t *connection, Qt::CursorShape shape)
    {
        const std::uint16_t glyph = cursorGlyph(shape);
        if (const auto found = m_cursors.find(glyph); found != m_cursors.end())
            return found->second;
        if (m_cursorFont == XCB_NONE) {
            static const char name[] = "cursor";
            m_cursorFont = xcb_generate_id(connection);
            xcb_open_font(connection, m_cursorFont, std::uint16_t(std::strlen(name)), name);
        }
        const xcb_cursor_t cursor = xcb_generate_id(connection);
        xcb_create_glyph_cursor(connection, cursor, m_cursorFont, m_cursorFont, glyph, glyph + 1, 0,
                                0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
        m_cursors.emplace(glyph, cursor);
        return cursor;
    }

    std::uint64_t m_styles = 0;
    QRegion m_visual;     // logical units
    QRegion m_drawnStill; // native pixels, as is the rest
    QRegion m_drawnMoving;
    std::vector<xcb_rectangle_t> m_input;

    xcb_window_t m_overlay = XCB_NONE; // the window the shapes were applied to
    Shape m_applied = Shape::Unset;
    QRegion m_appliedMask;
    QRegion m_appliedStill;
    QRegion m_appliedMoving;
    xcb_window_t m_scratch = XCB_NONE; // where the drawn shape is put together
    xcb_window_t m_scratchParent = XCB_NONE;
    bool m_overlayShown = false;

    bool m_watchTried = false;
    QPointer<QWindow> m_window;
    xcb_window_t m_root = XCB_NONE;
    std::unique_ptr<ManagerSelectionWatch> m_watch;

    xcb_window_t m_native = XCB_NONE; // the window as created, while Qt holds it
    bool m_filterInstalled = false;
    std::shared_ptr<X11StackingGuard> m_guard;

    bool m_standInWanted = true;
    xcb_window_t m_standIn = XCB_NONE;
    xcb_window_t m_frame = XCB_NONE; // a window manager's frame around the overlay
    Qt::CursorShape m_cursorShape = Qt::CustomCursor;
    xcb_font_t m_cursorFont = XCB_NONE;
    std::map<std::uint16_t, xcb_cursor_t> m_cursors;
};

} // namespace

std::unique_ptr<OverlayPlatform> createX11OverlayPlatform(bool inputThroughStandIn)
{
    return std::make_unique<X11OverlayPlatform>(inputThroughStandIn);
}

std::optional<QRect> systemGeometry(const QWindow &window)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window.handle())
        return std::nullopt;
    return rootGeometry(connection, static_cast<xcb_window_t>(window.winId()));
}

bool setSystemGeometry(const QWindow &window, const QRect &geometry)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window.handle() || geometry.isEmpty())
        return false;
    xcb_rectangle_t r{};
    toProtocol({geometry.x(), geometry.x() + geometry.width()}, r.x, r.width);
    toProtocol({geometry.y(), geometry.y() + geometry.height()}, r.y, r.height);
    const std::uint32_t values[]
        = {static_cast<std::uint32_t>(std::int32_t(r.x)),
           static_cast<std::uint32_t>(std::int32_t(r.y)), r.width, r.height};
    xcb_configure_window(connection, static_cast<xcb_window_t>(window.winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                             | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(connection);
    return true;
}

#endif // QT_CONFIG(xcb)
