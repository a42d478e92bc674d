#include "overlay_platform.h"

#include "system_move.h"

#include <QGuiApplication>
#include <QWindow>

// The X11 realisation needs xcb-shape at build time and a Qt with its xcb platform.
#if defined(ZRN_HAVE_XCB_SHAPE) && QT_CONFIG(xcb)
#define ZRN_OVERLAY_X11 1
#endif

#if defined(Q_OS_WIN)
std::unique_ptr<OverlayPlatform> createWin32OverlayPlatform();
#elif defined(ZRN_OVERLAY_X11)
std::unique_ptr<OverlayPlatform> createX11OverlayPlatform(bool inputThroughStandIn);
#endif

OverlayPlatform::~OverlayPlatform() = default;

bool OverlayPlatform::nativeWindowExists(const QWindow &window) const
{
    return window.handle() != nullptr;
}

void OverlayPlatform::nativeWindowCreated(QWindow &) {}

void OverlayPlatform::nativeWindowDestroyed(QWindow &) {}

void OverlayPlatform::prepareToShow(QWindow &) {}

bool OverlayPlatform::nativeWindowShown(const QWindow &window) const
{
    return window.isVisible() && !(window.windowStates() & Qt::WindowMinimized);
}

void OverlayPlatform::setDrawnShape(QWindow &, const QRegion &) {}

void OverlayPlatform::setDrawnLayers(QWindow &window, const QRegion &still, const QRegion &moving)
{
    setDrawnShape(window, moving.isEmpty() ? still : still.united(moving));
}

bool OverlayPlatform::usesDrawnShape() const
{
    return false;
}

bool OverlayPlatform::showsDrawnShapeOnly() const
{
    return false;
}

void OverlayPlatform::pointerEventHandled(QWindow &) {}

qreal OverlayPlatform::devicePixelRatio(const QWindow &window) const
{
    return window.devicePixelRatio();
}

bool OverlayPlatform::isHitTestQuery(const void *) const
{
    return false;
}

QPoint OverlayPlatform::hitTestPosition(const void *) const
{
    return {};
}

bool OverlayPlatform::followsPointer() const
{
    return false;
}

QPoint OverlayPlatform::cursorPosition() const
{
    return {};
}

QPoint OverlayPlatform::screenToClient(QWindow &window, QPoint screen) const
{
    return window.mapFromGlobal(screen);
}

namespace {

// Mask only: input follows the mask, styles are kept but mean nothing here.
class FallbackOverlayPlatform final : public OverlayPlatform
{
public:
    void setMask(QWindow &window, const QRegion &region) override { window.setMask(region); }
    std::uint64_t readInputStyles(QWindow &) override { return m_styles; }
    void writeInputStyles(QWindow &, std::uint64_t styles, const QRegion &) override
    {
        m_styles = styles;
    }
    void applyInputStyles(QWindow &) override {}

private:
    std::uint64_t m_styles = 0;
};

} // namespace

#if !defined(Q_OS_WIN)
bool endsSystemMove(QWindow &, const QByteArray &, const void *)
{
    return false;
}
#endif

#if !defined(ZRN_OVERLAY_X11)
std::optional<QRect> systemGeometry(const QWindow &)
{
    return std::nullopt;
}

bool setSystemGeometry(const QWindow &, const QRect &)
{
    return false;
}
#endif

std::unique_ptr<OverlayPlatform> createFallbackOverlayPlatform()
{
    return std::make_unique<FallbackOverlayPlatform>();
}

std::unique_ptr<OverlayPlatform> createOverlayPlatform()
{
    const QString name = QGuiApplication::platformName();
#if defined(Q_OS_WIN)
    // Both Windows platform plugins give every window an HWND.
    if (name == QLatin1String("windows") || name == QLatin1String("direct2d"))
        return createWin32OverlayPlatform();
#elif defined(ZRN_OVERLAY_X11)
    if (name == QLatin1String("xcb"))
        return createX11OverlayPlatform(true);
#endif
    return createFallbackOverlayPlatform();
}

std::unique_ptr<OverlayPlatform> createDrawnShapePlatform()
{
#if defined(ZRN_OVERLAY_X11)
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return createX11OverlayPlatform(false);
#endif
    return createFallbackOverlayPlatform();
}
