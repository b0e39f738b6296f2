// Records keys through the real uiHook.dll beside this program, for the
// end-to-end tests. A focused edit control receives whatever is not swallowed.
//   hookrec.exe combo|macro|block LOG
//     combo  records key combinations ("combo: Ctrl+Shift+A")
//     macro  records a keyboard macro ("macro: 1 65 1 A Down")
//     block  hooks the keyboard and swallows the key B ("hook: 66 1 blocked")
// On WM_CLOSE it writes "edit: <text of the edit control>" and ends.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "hook/hook.h"
#include "win32/inline_dispatcher.h"
#include "platform/win32/hook_library_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/wide.h"

namespace {

std::wstring g_log;
HWND g_edit = nullptr;

void Log(const std::string& line) {
    if (FILE* f = _wfopen(g_log.c_str(), L"ab")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CLOSE: {
            wchar_t text[256] = {};
            GetWindowTextW(g_edit, text, 256);
            Log("edit: " + vxm::Utf8(vxm::win32::U(text)));
            DestroyWindow(hwnd);
            return 0;
        }
        case WM_SETFOCUS:
            SetFocus(g_edit);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) return 2;
    const std::wstring mode = argv[1];
    g_log = argv[2];

    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"HookRecorder";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"HookRecorder", L"hookrec", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 400, 120,
                                  nullptr, nullptr, instance, nullptr);
    g_edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 360, 24, window, nullptr,
                             instance, nullptr);
    SetFocus(g_edit);

    vxm::win32::HookLibrary library(vxm::win32::W(vxm::win32::SystemPaths().ExecutableFolder() + u"uiHook.dll"));
    vxm::testing::InlineDispatcher dispatcher;
    vxm::TuiHook hook(vxm::HookDependencies{
        library, dispatcher, [](vxm::u16view t, vxm::u16view) { Log("error: " + vxm::Utf8(t)); }, false,
        [](vxm::u16view t) { Log("record handler failed: " + vxm::Utf8(t)); }});
    Log(hook.DLLLoaded() ? "loaded" : "not loaded");
    if (mode == L"combo") {
        hook.OnRecordKeyboardComboKey = [](int, int, int, int, int, const vxm::u16& text) {
            Log("combo: " + vxm::Utf8(text));
        };
        hook.RecordKeyboardComboKey();
    } else if (mode == L"macro") {
        hook.OnRecordKeyboardMacroKey = [](int type, int key, int state, int, double, const vxm::u16& text,
                                           const vxm::u16& st, vxm::TMacroKeyList&) {
            Log("macro: " + std::to_string(type) + " " + std::to_string(key) + " " + std::to_string(state) + " " +
                vxm::Utf8(text) + " " + vxm::Utf8(st));
        };
        hook.RecordKeyboardMacroKey();
    } else {
        auto b = std::make_unique<vxm::TKeyBoardHookDetailObject>();
        b->FKeyBoardHookDetail = {'B', 0, 0, 1};
        hook.AddKeyboardHookObject(std::move(b));
        hook.OnHookKeyboardKey = [](int key, int state, int, bool& blocked, std::uint32_t) {
            Log("hook: " + std::to_string(key) + " " + std::to_string(state) + (blocked ? " blocked" : ""));
        };
        hook.StartHookKeyboard();
    }
    Log("ready");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
