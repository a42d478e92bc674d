// The Linux X11 realisation. QWindow::setMask shapes only the bounding region on
// X11; where the window takes input is the XShape input shape, set here: empty
// while the window lets everything through, the interactive region otherwise.
// The region arrives in logical units and the server works in native pixels.
// Tool window and no-activation come from the window flags the overlay sets.

#include "overlay_input_rules.h"
#include "overlay_platform.h"

#include <QGuiApplication>
#include <QWindow>

#if QT_CONFIG(xcb)

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <vector>

namespace {

namespace rules = zrn::overlay;

xcb_connection_t *x11Connection()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                              : nullptr;
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

class X11OverlayPlatform final : public OverlayPlatform
{
public:
    void setMask(QWindow &window, const QRegion &region) override { window.setMask(region); }

    // X11 has no extended styles; the last written set stands in for them.
    std::uint64_t readInputStyles(QWindow &) override { return m_styles; }

    void writeInputStyles(QWindow &window, std::uint64_t styles, const QRegion &interactive) override
    {
        m_styles = styles;
        xcb_connection_t *connection = x11Connection();
        if (!connection)
            return;
        const xcb_query_extension_reply_t *shape = xcb_get_extension_data(connection, &xcb_shape_id);
        if (!shape || !shape->present)
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
    std::uint64_t m_styles = 0;
};

} // namespace

std::unique_ptr<OverlayPlatform> createX11OverlayPlatform()
{
    return std::make_unique<X11OverlayPlatform>();
}

#endif // QT_CONFIG(xcb)
