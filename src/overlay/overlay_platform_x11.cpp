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
// program runs, and the shape changes with it.

#include "overlay_input_rules.h"
#include "overlay_platform.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#if QT_CONFIG(xcb)

#include "compositing_manager_watch.h"

#include <algorithm>
#include <cstdlib>
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

bool hasShapeExtension(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *shape = xcb_get_extension_data(connection, &xcb_shape_id);
    return shape && shape->present;
}

std::vector<xcb_rectangle_t> protocolRectangles(const QRegion &nativeRegion)
{
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(static_cast<std::size_t>(nativeRegion.rectCount()));
    for (const QRect &r : nativeRegion) {
        xcb_rectangle_t native{};
        toProtocol({r.x(), r.x() + r.width()}, native.x, native.width);
        toProtocol({r.y(), r.y() + r.height()}, native.y, native.height);
        rectangles.push_back(native);
    }
    return rectangles;
}

class X11OverlayPlatform final : public OverlayPlatform
{
public:
    void setMask(QWindow &window, const QRegion &region) override
    {
        m_visual = region;
        applyShape(window);
    }

    void setDrawnShape(QWindow &window, const QRegion &nativeRegion) override
    {
        m_drawn = nativeRegion;
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

        std::vector<xcb_rectangle_t> rectangles;
        if (!(styles & rules::kExTransparent)) {
            const qreal ratio = devicePixelRatio(window);
            rectangles.reserve(static_cast<std::size_t>(interactive.rectCount()));
            for (const QRect &r : interactive) {
                const rules::NativeSpan xs = rules::nativePixelsOver(r.x(), r.width(), ratio);
                const rules::NativeSpan ys = rules::nativePixelsOver(r.y(), r.height(), ratio);
                xcb_rectangle_t native{};
                toProtocol(xs, native.x, native.width);
                toProtocol(ys, native.y, native.height);
                rectangles.push_back(native);
            }
        }
        // No rectangles: an empty input shape, so every pointer event passes through.
        xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT,
                             XCB_CLIP_ORDERING_UNSORTED, static_cast<xcb_window_t>(window.winId()),
                             0, 0, static_cast<std::uint32_t>(rectangles.size()),
                             rectangles.data());
    }

    void applyInputStyles(QWindow &) override
    {
        if (xcb_connection_t *connection = x11Connection())
            xcb_flush(connection);
    }

    // The server decides from the input shape; no hit-test query reaches the window.

private:
    enum class Shape { Unset, Mask, Drawn };

    // Whether transparent pixels can be shown; assumed where it cannot be told.
    bool composited(QWindow &window, xcb_connection_t *connection)
    {
        if (!m_watchTried) {
            m_watchTried = true;
            m_window = &window;
            auto geometry = xcb_get_geometry_reply(
                connection, xcb_get_geometry(connection, static_cast<xcb_window_t>(window.winId())),
                nullptr);
            if (geometry) {
                m_watch = CompositingManagerWatch::create(connection, geometry->root);
                std::free(geometry);
            }
            if (m_watch) {
                QObject::connect(m_watch.get(), &CompositingManagerWatch::activeChanged,
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
        const QRegion &region = kind == Shape::Mask ? m_visual : m_drawn;
        if (id == m_shapedWindow && kind == m_applied && region == m_appliedRegion)
            return;
        if (kind == Shape::Mask) {
            window.setMask(region);
        } else {
            // No rectangles: an empty bounding shape, nothing shown.
            const std::vector<xcb_rectangle_t> rectangles = protocolRectangles(region);
            xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING,
                                 XCB_CLIP_ORDERING_UNSORTED, id, 0, 0,
                                 static_cast<std::uint32_t>(rectangles.size()), rectangles.data());
        }
        xcb_flush(connection);
        m_shapedWindow = id;
        m_applied = kind;
        m_appliedRegion = region;
    }

    std::uint64_t m_styles = 0;
    QRegion m_visual; // logical units
    QRegion m_drawn;  // native pixels
    xcb_window_t m_shapedWindow = XCB_NONE;
    Shape m_applied = Shape::Unset;
    QRegion m_appliedRegion;
    bool m_watchTried = false;
    QPointer<QWindow> m_window;
    std::unique_ptr<CompositingManagerWatch> m_watch;
};

} // namespace

std::unique_ptr<OverlayPlatform> createX11OverlayPlatform()
{
    return std::make_unique<X11OverlayPlatform>();
}

#endif // QT_CONFIG(xcb)
