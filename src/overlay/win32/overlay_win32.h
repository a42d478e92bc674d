#pragma once
// The Win32 side of the overlay's click-through behaviour, free of Qt so that it
// builds with any Windows compiler and can be exercised on its own. A window
// handle travels as void* (an HWND); a message as const void* (a MSG).

#include <cstdint>

namespace zrn::overlay::win32 {

using WindowHandle = void *;

struct ScreenPoint
{
    int x = 0;
    int y = 0;
};

inline constexpr int kGwlExStyle = -20; // GWL_EXSTYLE
inline constexpr unsigned kApplyStyleFlags
    = 0x0037; // NOSIZE|NOMOVE|NOZORDER|NOACTIVATE|FRAMECHANGED
inline constexpr unsigned kHitTestMessage = 0x0084;      // WM_NCHITTEST
inline constexpr unsigned kExitSizeMoveMessage = 0x0232; // WM_EXITSIZEMOVE

// GetWindowLongPtrW(hwnd, GWL_EXSTYLE).
std::uint64_t readExtendedStyle(WindowHandle hwnd);
// SetWindowLongPtrW(hwnd, GWL_EXSTYLE, styles).
void writeExtendedStyle(WindowHandle hwnd, std::uint64_t styles);
// SetWindowPos without moving, resizing, restacking or activating, so that the
// system takes up changed style bits.
void applyStyleChange(WindowHandle hwnd);

// Whether a MSG is the hit-test query WM_NCHITTEST.
bool isHitTestQuery(const void *message);
// The pointer position of a hit-test query: the low and high words of lParam, each
// a signed 16-bit value, since displays left of or above the primary one have
// negative screen coordinates.
ScreenPoint hitTestPosition(const void *message);
// Whether a MSG to the window is WM_EXITSIZEMOVE: the system's interactive move
// (or resize) of it has ended.
bool isMoveEnd(const void *message, WindowHandle hwnd);
// ScreenToClient: screen position to the window's client area, both in native pixels.
ScreenPoint screenToClient(WindowHandle hwnd, ScreenPoint screen);
// GetCursorPos: the pointer's screen position, native pixels.
ScreenPoint cursorPosition();

} // namespace zrn::overlay::win32
