#include "overlay_win32.h"

#include "overlay_input_rules.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

static_assert(zrn::overlay::win32::kGwlExStyle == GWL_EXSTYLE);
static_assert(zrn::overlay::win32::kHitTestMessage == WM_NCHITTEST);
static_assert(zrn::overlay::win32::kExitSizeMoveMessage == WM_EXITSIZEMOVE);
static_assert(zrn::overlay::kExLayered == WS_EX_LAYERED);
static_assert(zrn::overlay::kExTransparent == WS_EX_TRANSPARENT);
static_assert(zrn::overlay::kExToolWindow == WS_EX_TOOLWINDOW);
static_assert(zrn::overlay::kExNoActivate == WS_EX_NOACTIVATE);
static_assert(zrn::overlay::win32::kApplyStyleFlags
              == (SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED));

namespace zrn::overlay::win32 {

namespace {
HWND toHwnd(WindowHandle hwnd)
{
    return static_cast<HWND>(hwnd);
}
} // namespace

std::uint64_t readExtendedStyle(WindowHandle hwnd)
{
    return static_cast<std::uint64_t>(GetWindowLongPtrW(toHwnd(hwnd), GWL_EXSTYLE));
}

void writeExtendedStyle(WindowHandle hwnd, std::uint64_t styles)
{
    SetWindowLongPtrW(toHwnd(hwnd), GWL_EXSTYLE, static_cast<LONG_PTR>(styles));
}

void applyStyleChange(WindowHandle hwnd)
{
    SetWindowPos(toHwnd(hwnd), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

bool isHitTestQuery(const void *message)
{
    return message && static_cast<const MSG *>(message)->message == WM_NCHITTEST;
}

ScreenPoint hitTestPosition(const void *message)
{
    const auto lParam = static_cast<std::uint64_t>(static_cast<const MSG *>(message)->lParam);
    const auto low = static_cast<std::uint16_t>(lParam & 0xFFFFu);
    const auto high = static_cast<std::uint16_t>((lParam >> 16) & 0xFFFFu);
    return {static_cast<std::int16_t>(low), static_cast<std::int16_t>(high)};
}

bool isMoveEnd(const void *message, WindowHandle hwnd)
{
    const auto *msg = static_cast<const MSG *>(message);
    return msg && msg->message == WM_EXITSIZEMOVE && msg->hwnd == toHwnd(hwnd);
}

ScreenPoint screenToClient(WindowHandle hwnd, ScreenPoint screen)
{
    POINT point{screen.x, screen.y};
    ScreenToClient(toHwnd(hwnd), &point);
    return {static_cast<int>(point.x), static_cast<int>(point.y)};
}

ScreenPoint cursorPosition()
{
    POINT point{};
    GetCursorPos(&point);
    return {static_cast<int>(point.x), static_cast<int>(point.y)};
}

} // namespace zrn::overlay::win32
