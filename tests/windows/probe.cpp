// A small Windows program of the Windows test's own, run under Wine beside the
// program under test, reading back what Windows itself reports:
//   probe window X Y W H      a plain window at that screen rectangle that prints
//                             "press <button> <x> <y>" (screen coordinates) for
//                             every button press it receives, after "ready"
//   probe windows EXE         prints the visible top-level windows of the running
//                             processes named EXE, one line each:
//                             "window <x> <y> <w> <h> exstyle=0x<bits>
//                             region=<left>,<top>,<right>,<bottom>|none title=<text>"
//   probe version FILE        prints the version block of FILE: the fixed file and
//                             product versions and the seven strings of "040904b0"
//   probe close EXE TITLE     sends WM_CLOSE, as the system does, to the visible
//                             top-level windows of EXE titled TITLE, and prints
//                             "closed <count>" once each has handled it
//   probe moving EXE          prints "moving yes" while a thread of the running
//                             processes named EXE runs the system's move (or size)
//                             loop, else "moving no"
// Every line goes to standard output at once, so the test reads it as it comes.

#ifndef NOMINMAX
#define NOMINMAX
#endif
// windows.h first: the headers after it build on its types.
// clang-format off
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

void line(const char *format, ...) __attribute__((format(printf, 1, 2)));

void line(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

std::wstring wide(const char *text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    out.resize(out.size() - 1);
    return out;
}

LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const char *button = nullptr;
    switch (message) {
    case WM_LBUTTONDOWN:
        button = "left";
        break;
    case WM_RBUTTONDOWN:
        button = "right";
        break;
    case WM_MBUTTONDOWN:
        button = "middle";
        break;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(hwnd, &p);
    line("press %s %ld %ld", button, p.x, p.y);
    return 0;
}

int runWindow(int x, int y, int width, int height)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = probeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = CreateSolidBrush(RGB(0x40, 0x40, 0x40));
    wc.lpszClassName = L"ZrnProbe";
    if (!RegisterClassW(&wc))
        return 1;
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"ZRN probe", WS_POPUP | WS_VISIBLE, x, y,
                                width, height, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd)
        return 1;
    UpdateWindow(hwnd);
    line("ready");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

std::vector<DWORD> processesNamed(const std::wstring &exe)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, exe.c_str()) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

struct WindowSearch
{
    std::vector<DWORD> processes;
};

BOOL CALLBACK listWindow(HWND hwnd, LPARAM context)
{
    const auto *search = reinterpret_cast<const WindowSearch *>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    bool ours = false;
    for (DWORD id : search->processes)
        ours = ours || id == process;
    if (!ours || !IsWindowVisible(hwnd))
        return TRUE;
    RECT r{};
    GetWindowRect(hwnd, &r);
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    const auto exStyle = static_cast<unsigned long long>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    // The window region's bounding box, window coordinates ("none": no region).
    RECT box{};
    char region[64] = "none";
    if (GetWindowRgnBox(hwnd, &box) != ERROR)
        std::snprintf(region, sizeof region, "%ld,%ld,%ld,%ld", box.left, box.top, box.right,
                      box.bottom);
    line("window %ld %ld %ld %ld exstyle=0x%08llx region=%s title=%s", r.left, r.top,
         r.right - r.left, r.bottom - r.top, exStyle, region, utf8(title).c_str());
    return TRUE;
}

int listWindows(const char *exe)
{
    WindowSearch search{processesNamed(wide(exe))};
    if (search.processes.empty()) {
        line("no process %s", exe);
        return 2;
    }
    EnumWindows(listWindow, reinterpret_cast<LPARAM>(&search));
    line("end");
    return 0;
}

struct CloseRequest
{
    std::vector<DWORD> processes;
    std::wstring title;
    int count = 0;
};

BOOL CALLBACK closeWindow(HWND hwnd, LPARAM context)
{
    auto *request = reinterpret_cast<CloseRequest *>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    bool ours = false;
    for (DWORD id : request->processes)
        ours = ours || id == process;
    wchar_t title[256] = {};
    GetWindowTextW(hwnd, title, 256);
    if (!ours || !IsWindowVisible(hwnd) || request->title != title)
        return TRUE;
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(hwnd, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        ++request->count;
    return TRUE;
}

int closeWindows(const char *exe, const char *title)
{
    CloseRequest request{processesNamed(wide(exe)), wide(title)};
    EnumWindows(closeWindow, reinterpret_cast<LPARAM>(&request));
    line("closed %d", request.count);
    return 0;
}

int printMoving(const char *exe)
{
    const std::vector<DWORD> processes = processesNamed(wide(exe));
    if (processes.empty()) {
        line("no process %s", exe);
        return 2;
    }
    bool moving = false;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 2;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        bool ours = false;
        for (DWORD id : processes)
            ours = ours || id == entry.th32OwnerProcessID;
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        if (ours && GetGUIThreadInfo(entry.th32ThreadID, &info)
            && (info.flags & GUI_INMOVESIZE) != 0)
            moving = true;
    }
    CloseHandle(snapshot);
    line("moving %s", moving ? "yes" : "no");
    return 0;
}

int printVersion(const char *file)
{
    const std::wstring path = wide(file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        line("no version block");
        return 2;
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return 2;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length) && fixed) {
        const auto part = [](DWORD word, int shift) { return unsigned((word >> shift) & 0xFFFFu); };
        line("FileVersion %u.%u.%u.%u", part(fixed->dwFileVersionMS, 16),
             part(fixed->dwFileVersionMS, 0), part(fixed->dwFileVersionLS, 16),
             part(fixed->dwFileVersionLS, 0));
        line("ProductVersion %u.%u.%u.%u", part(fixed->dwProductVersionMS, 16),
             part(fixed->dwProductVersionMS, 0), part(fixed->dwProductVersionLS, 16),
             part(fixed->dwProductVersionLS, 0));
    }
    for (const wchar_t *key : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                               L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        wchar_t *value = nullptr;
        if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void **>(&value), &length)
            && value)
            line("\"%s\" \"%s\"", utf8(key).c_str(), utf8(value).c_str());
        else
            line("\"%s\" missing", utf8(key).c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // Lines end in "\n" alone, as the test on the other side expects.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "window" && argc == 6)
        return runWindow(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                         std::atoi(argv[5]));
    if (command == "windows" && argc == 3)
        return listWindows(argv[2]);
    if (command == "version" && argc == 3)
        return printVersion(argv[2]);
    if (command == "close" && argc == 4)
        return closeWindows(argv[2], argv[3]);
    if (command == "moving" && argc == 3)
        return printMoving(argv[2]);
    std::fprintf(stderr, "usage: probe window X Y W H | windows EXE | version FILE | close EXE "
                         "TITLE | moving EXE\n");
    return 64;
}
