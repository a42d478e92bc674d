#include "handover_win32.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace zrn::overlay::win32 {

namespace {

struct Search
{
    DWORD processId;
    UINT message;
    UINT timeoutMs;
    bool shown;
};

BOOL CALLBACK askWindow(HWND hwnd, LPARAM context)
{
    auto *search = reinterpret_cast<Search *>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->processId)
        return TRUE;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(hwnd, search->message, 0, 0, SMTO_ABORTIFHUNG, search->timeoutMs,
                            &answer)
        && answer == DWORD_PTR(kShownAnswer)) {
        search->shown = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

unsigned showRequestMessage()
{
    static const UINT message = RegisterWindowMessageW(L"ZRN Calipers: show the control panel");
    return message;
}

bool isShowRequest(const void *message)
{
    const UINT wanted = showRequestMessage();
    return message && wanted != 0 && static_cast<const MSG *>(message)->message == wanted;
}

bool askProcessToShow(std::uint32_t processId, unsigned timeoutMs)
{
    const UINT message = showRequestMessage();
    if (message == 0 || processId == 0)
        return false;
    AllowSetForegroundWindow(processId);
    Search search{processId, message, timeoutMs, false};
    EnumWindows(askWindow, reinterpret_cast<LPARAM>(&search));
    return search.shown;
}

} // namespace zrn::overlay::win32
