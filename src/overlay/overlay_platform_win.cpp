// The Windows realisation: extended window styles and the WM_NCHITTEST query.

#include "overlay_platform.h"
#include "system_move.h"
#include "win32/overlay_win32.h"

#include <QByteArray>
#include <QWindow>

namespace {

namespace win32 = zrn::overlay::win32;

win32::WindowHandle hwndOf(QWindow &window)
{
    return reinterpret_cast<win32::WindowHandle>(window.winId());
}

class Win32OverlayPlatform final : public OverlayPlatform
{
public:
    void setMask(QWindow &window, const QRegion &region) override { window.setMask(region); }

    std::uint64_t readInputStyles(QWindow &window) override
    {
        return win32::readExtendedStyle(hwndOf(window));
    }

    // The hit test, not a shape, keeps input to the interactive region here.
    void writeInputStyles(QWindow &window, std::uint64_t styles, const QRegion &) override
    {
        win32::writeExtendedStyle(hwndOf(window), styles);
    }

    void applyInputStyles(QWindow &window) override { win32::applyStyleChange(hwndOf(window)); }

    bool isHitTestQuery(const void *message) const override
    {
        return win32::isHitTestQuery(message);
    }

    QPoint hitTestPosition(const void *message) const override
    {
        const win32::ScreenPoint p = win32::hitTestPosition(message);
        return {p.x, p.y};
    }

    // HTTRANSPARENT hands input on only to windows of this thread, so another
    // program's window beneath gets it only while this one is layered and
    // transparent: the styles follow the pointer.
    bool followsPointer() const override { return true; }

    QPoint cursorPosition() const override
    {
        const win32::ScreenPoint p = win32::cursorPosition();
        return {p.x, p.y};
    }

    QPoint screenToClient(QWindow &window, QPoint screen) const override
    {
        const win32::ScreenPoint p
            = win32::screenToClient(hwndOf(window), {screen.x(), screen.y()});
        return {p.x, p.y};
    }
};

} // namespace

bool endsSystemMove(QWindow &window, const QByteArray &eventType, const void *message)
{
    return eventType == "windows_generic_MSG" && win32::isMoveEnd(message, hwndOf(window));
}

std::unique_ptr<OverlayPlatform> createWin32OverlayPlatform()
{
    return std::make_unique<Win32OverlayPlatform>();
}
