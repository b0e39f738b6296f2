// Stand-in for the configuration application: a window of class
// "TVXMCFGMAIN" that logs every message of the protocol it receives to
// "<its own path>.log", one line "msg wParam lParam". Started hidden, so that
// a test can see it being brought forward.
//   cfgstub.exe [--hang-on MSG]   sleeps 30 s inside the handler of MSG
//   cfgstub.exe --reload-every MS  posts the monitor 7035 (lParam -1: reload, keep
//                                  "ProfileID") and 7037 by turns every MS ms, and
//                                  logs "posted MSG" for each one the monitor's queue took
// Files beside it change how a start goes: "<path>.delay" holds how many ms
// it takes before its window exists; with "<path>.nowindow" it ends at once,
// without a window.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring g_log;
UINT g_hangOn = 0;
UINT g_reloadEvery = 0;
unsigned g_reloads = 0;

void Log(const wchar_t* fmt, ...) {
    FILE* f = _wfopen(g_log.c_str(), L"a");
    if (!f) return;
    va_list args;
    va_start(args, fmt);
    vfwprintf(f, fmt, args);
    va_end(args);
    fputwc(L'\n', f);
    fclose(f);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg >= WM_USER && msg < 0xC000) {
        Log(L"%u %llu %lld", msg, static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
        if (msg == g_hangOn) Sleep(30000);
        return 0;
    }
    if (msg == WM_TIMER && wParam == 1) {
        const UINT reload = g_reloads++ % 2 ? 7037 : 7035;
        if (HWND monitor = FindWindowW(L"TVXMMONMAIN", nullptr); monitor && PostMessageW(monitor, reload, 0, -1)) {
            Log(L"posted %u", reload);
        }
        return 0;
    }
    if (msg == WM_SHOWWINDOW) Log(L"show %u", static_cast<unsigned>(wParam));
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--hang-on") == 0) g_hangOn = static_cast<UINT>(_wtoi(argv[i + 1]));
        if (std::wcscmp(argv[i], L"--reload-every") == 0) g_reloadEvery = static_cast<UINT>(_wtoi(argv[i + 1]));
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    g_log = std::wstring(path) + L".log";
    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    Log(L"started %ls cwd %ls", path, cwd);
    if (GetFileAttributesW((std::wstring(path) + L".nowindow").c_str()) != INVALID_FILE_ATTRIBUTES) return 0;
    if (FILE* f = _wfopen((std::wstring(path) + L".delay").c_str(), L"r")) {
        unsigned ms = 0;
        if (std::fscanf(f, "%u", &ms) == 1) Sleep(ms);
        std::fclose(f);
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"TVXMCFGMAIN";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"TVXMCFGMAIN", L"Configuration stand-in", WS_OVERLAPPEDWINDOW, 100, 100, 320,
                                  200, nullptr, nullptr, instance, nullptr);
    if (g_reloadEvery) SetTimer(window, 1, g_reloadEvery, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
