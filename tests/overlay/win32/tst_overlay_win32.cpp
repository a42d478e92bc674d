// The Win32 side of the overlay on a real window: extended style bits of both
// modes, the style change applied without moving or activating the window, and
// WM_NCHITTEST answered from the interactive rectangle. Built without Qt; a
// window procedure stands in for the toolkit's event dispatch and composes the
// same operations the overlay window uses.

#include "overlay_input_rules.h"
#include "overlay_win32.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <cstdint>
#include <cstdio>
#include <windows.h>

namespace rules = zrn::overlay;
namespace win32 = zrn::overlay::win32;

namespace {

int g_failures = 0;
int g_checks = 0;

void check(bool ok, const char *what)
{
    ++g_checks;
    if (!ok) {
        ++g_failures;
        std::printf("FAIL: %s\n", what);
    } else {
        std::printf("PASS: %s\n", what);
    }
}

// What the window procedure answers hit tests from.
struct HitTestState
{
    bool clickThrough = false;
    double ratio = 1.0;
    // Interactive rectangle, logical pixels, inclusive.
    int left = 10, top = 10, right = 29, bottom = 29;
};
HitTestState g_state;

bool overlapsInteractive(rules::LogicalSpan xs, rules::LogicalSpan ys)
{
    return xs.first <= g_state.right && xs.last >= g_state.left && ys.first <= g_state.bottom
           && ys.last >= g_state.top;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (win32::isHitTestQuery(&msg)) {
        if (!g_state.clickThrough) {
            const win32::ScreenPoint client
                = win32::screenToClient(hwnd, win32::hitTestPosition(&msg));
            if (overlapsInteractive(rules::logicalPixelsUnder(client.x, g_state.ratio),
                                    rules::logicalPixelsUnder(client.y, g_state.ratio)))
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return rules::kHitTransparent;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void applyMode(HWND hwnd, bool passThrough)
{
    const std::uint64_t styles = win32::readExtendedStyle(hwnd);
    win32::writeExtendedStyle(hwnd, rules::inputStylesFor(styles, passThrough));
    win32::applyStyleChange(hwnd);
}

std::uint64_t exStyle(HWND hwnd)
{
    return static_cast<std::uint64_t>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
}

LRESULT hitTest(HWND hwnd, int x, int y)
{
    const LPARAM position = MAKELPARAM(static_cast<WORD>(static_cast<std::int16_t>(x)),
                                       static_cast<WORD>(static_cast<std::int16_t>(y)));
    return SendMessageW(hwnd, WM_NCHITTEST, 0, position);
}

HWND makeWindow(int x, int y, DWORD exStyle)
{
    return CreateWindowExW(exStyle, L"ZrnOverlayTest", L"overlay", WS_POPUP | WS_VISIBLE, x, y, 400,
                           300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void testStyles()
{
    // Bits set at creation that the overlay must leave alone.
    HWND hwnd = makeWindow(100, 100, WS_EX_TOPMOST | WS_EX_ACCEPTFILES);
    check(hwnd != nullptr, "window created");
    const std::uint64_t others
        = exStyle(hwnd) & ~(rules::kExTransparent | rules::kExNoActivate | rules::kExToolWindow);
    check((others & (WS_EX_TOPMOST | WS_EX_ACCEPTFILES)) == (WS_EX_TOPMOST | WS_EX_ACCEPTFILES),
          "creation bits present");

    HWND other = makeWindow(600, 100, 0);
    SetForegroundWindow(other);
    RECT before{};
    GetWindowRect(hwnd, &before);
    const HWND foregroundBefore = GetForegroundWindow();

    applyMode(hwnd, true);
    std::uint64_t s = exStyle(hwnd);
    check((s & rules::kExTransparent) != 0, "pass-through: WS_EX_TRANSPARENT set");
    check((s & rules::kExNoActivate) != 0, "pass-through: WS_EX_NOACTIVATE set");
    check((s & rules::kExToolWindow) != 0, "pass-through: WS_EX_TOOLWINDOW set");
    check((s & others) == others, "pass-through: other bits kept");

    applyMode(hwnd, false);
    s = exStyle(hwnd);
    check((s & rules::kExTransparent) == 0, "interactive: WS_EX_TRANSPARENT cleared");
    check((s & rules::kExNoActivate) != 0, "interactive: WS_EX_NOACTIVATE set");
    check((s & rules::kExToolWindow) != 0, "interactive: WS_EX_TOOLWINDOW set");
    check((s & others) == others, "interactive: other bits kept");

    applyMode(hwnd, true);
    check((exStyle(hwnd) & rules::kExTransparent) != 0,
          "pass-through again: WS_EX_TRANSPARENT set");

    RECT after{};
    GetWindowRect(hwnd, &after);
    check(EqualRect(&before, &after) != 0, "applying styles neither moves nor resizes");
    check(GetForegroundWindow() == foregroundBefore, "applying styles does not activate");
    DestroyWindow(other);
    DestroyWindow(hwnd);
}

void testPositionDecoding()
{
    MSG msg{};
    msg.message = WM_NCHITTEST;
    check(win32::isHitTestQuery(&msg), "WM_NCHITTEST is a hit-test query");
    msg.message = WM_MOUSEMOVE;
    check(!win32::isHitTestQuery(&msg), "WM_MOUSEMOVE is not");
    check(!win32::isHitTestQuery(nullptr), "no message is not");

    struct Case
    {
        std::uint64_t lParam;
        int x;
        int y;
        const char *what;
    };
    const Case cases[] = {
        {0x00C80064u, 100, 200, "lParam: positive x and y"},
        {0xFFFFFFFFu, -1, -1, "lParam: -1, -1"},
        {0x0000FF38u, -200, 0, "lParam: negative x"},
        {0xFED40000u, 0, -300, "lParam: negative y"},
        {0xFFFFFFFFFFFEFFFFull, -1, -2, "lParam: sign-extended upper half ignored"},
        {0x7FFF8000u, -32768, 32767, "lParam: 16-bit extremes"},
    };
    for (const Case &c : cases) {
        msg.message = WM_NCHITTEST;
        msg.lParam = static_cast<LPARAM>(c.lParam);
        const win32::ScreenPoint p = win32::hitTestPosition(&msg);
        check(p.x == c.x && p.y == c.y, c.what);
    }
}

void testHitTest()
{
    struct Case
    {
        int windowX, windowY;
        double ratio;
        bool clickThrough;
        int x, y; // screen position
        bool takesInput;
        const char *what;
    };
    // Interactive rectangle: logical (10, 10) to (29, 29) of each window.
    const Case cases[] = {
        {100, 100, 1.0, false, 110, 110, true, "1: top-left corner"},
        {100, 100, 1.0, false, 129, 129, true, "1: bottom-right corner"},
        {100, 100, 1.0, false, 109, 120, false, "1: left of it"},
        {100, 100, 1.0, false, 130, 120, false, "1: right of it"},
        {100, 100, 1.0, false, 120, 300, false, "1: far below it"},
        {100, 100, 1.0, true, 120, 120, false, "1: click-through inside"},
        {-400, -300, 1.0, false, -390, -290, true, "negative: inside"},
        {-400, -300, 1.0, false, -370, -290, false, "negative: outside"},
        {-400, -300, 1.0, false, -390, -271, true, "negative: last row"},
        {-400, -300, 1.0, false, -390, -270, false, "negative: below"},
        {0, 0, 1.5, false, 15, 15, true, "1.5: first native pixel"},
        {0, 0, 1.5, false, 44, 44, true, "1.5: last native pixel"},
        {0, 0, 1.5, false, 14, 20, false, "1.5: one before"},
        {0, 0, 1.5, false, 45, 20, false, "1.5: one after"},
        {0, 0, 1.5, false, 12, 12, false, "1.5: inside logically at 1, outside natively"},
        {-600, -450, 1.5, false, -600 + 44, -450 + 15, true, "1.5 negative: inside"},
        {-600, -450, 1.5, false, -600 + 45, -450 + 15, false, "1.5 negative: outside"},
    };
    // One window, moved for each case (creating and destroying windows is slow under Wine).
    HWND hwnd = makeWindow(0, 0, 0);
    for (const Case &c : cases) {
        SetWindowPos(hwnd, nullptr, c.windowX, c.windowY, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT r{};
        GetWindowRect(hwnd, &r);
        if (r.left != c.windowX || r.top != c.windowY) {
            check(false, "window placed where asked");
            continue;
        }
        applyMode(hwnd, c.clickThrough);
        g_state.ratio = c.ratio;
        g_state.clickThrough = c.clickThrough;
        const LRESULT answer = hitTest(hwnd, c.x, c.y);
        check(c.takesInput ? answer == HTCLIENT : answer == HTTRANSPARENT, c.what);
    }
    DestroyWindow(hwnd);
    g_state = HitTestState{};
}

// Where the styles follow the pointer, the system's own hit testing (which decides
// for every program which window a click reaches) passes the overlay exactly while
// the pointer is off its interactive parts; its window procedure is not asked.
void testPointerFollowingStyles()
{
    HWND beneath
        = CreateWindowExW(0, L"ZrnOverlayTest", L"beneath", WS_POPUP | WS_VISIBLE, 200, 200, 300,
                          200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND overlay = makeWindow(150, 150, WS_EX_TOPMOST);
    // Its window procedure takes every position: only the styles decide.
    g_state.left = g_state.top = 0;
    g_state.right = g_state.bottom = 1000;
    const POINT inside{300, 300};
    check(WindowFromPoint(inside) == overlay, "the overlay lies above the window beneath");

    struct Case
    {
        bool passThrough;
        bool pointerOver;
        bool reachesBeneath;
        const char *what;
    };
    const Case cases[] = {
        {false, false, true, "interactive, pointer off the parts: hit testing passes the overlay"},
        {false, true, false, "interactive, pointer on a part: the overlay takes it"},
        {true, true, true, "pass-through, pointer on a part: hit testing passes the overlay"},
        {true, false, true, "pass-through, pointer elsewhere: hit testing passes the overlay"},
        {false, true, false, "back on a part: the overlay takes it again"},
    };
    for (const Case &c : cases) {
        const std::uint64_t styles = win32::readExtendedStyle(overlay);
        win32::writeExtendedStyle(
            overlay, rules::pointerFollowingStylesFor(styles, c.passThrough, c.pointerOver));
        win32::applyStyleChange(overlay);
        const std::uint64_t now = exStyle(overlay);
        check((now & WS_EX_LAYERED) != 0 && (now & WS_EX_TOPMOST) != 0
                  && (now & WS_EX_NOACTIVATE) != 0 && (now & WS_EX_TOOLWINDOW) != 0,
              "layered, and the other bits kept");
        check(((now & WS_EX_TRANSPARENT) != 0) == c.reachesBeneath,
              "transparent exactly as decided");
        check((WindowFromPoint(inside) == beneath) == c.reachesBeneath, c.what);
    }
    DestroyWindow(overlay);
    DestroyWindow(beneath);
    g_state = HitTestState{};
}

void testCursorPosition()
{
    for (const win32::ScreenPoint p : {win32::ScreenPoint{123, 234}, win32::ScreenPoint{40, 700}}) {
        SetCursorPos(p.x, p.y);
        const win32::ScreenPoint read = win32::cursorPosition();
        check(read.x == p.x && read.y == p.y, "cursor position read back");
    }
}

} // namespace

int main()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZrnOverlayTest";
    if (!RegisterClassW(&wc)) {
        std::printf("FAIL: window class not registered\n");
        return 1;
    }
    testStyles();
    testPositionDecoding();
    testHitTest();
    testPointerFollowingStyles();
    testCursorPosition();
    std::printf("%d checks, %d failed\n", g_checks, g_failures);
    return g_failures == 0 ? 0 : 1;
}
