#include "platform/win32/message_box_win32.h"

#include <cwchar>

#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

// Message boxes are dialogs: ended from their own thread, each returns once
// control is back in its loop, the innermost first.
BOOL CALLBACK EndBox(HWND window, LPARAM) {
    wchar_t name[16] = {};
    if (GetClassNameW(window, name, 16) && std::wcscmp(name, L"#32770") == 0) EndDialog(window, IDCANCEL);
    return TRUE;
}

}  // namespace

void MessageBoxes::ShowMessage(u16view text) { Show(owner_, text, caption_, MB_OK); }

void MessageBoxes::ShowError(u16view text, u16view caption) {
    debug_.DebugOutput(u"message box: " + u16(caption) + u": " + u16(text));
    Show(nullptr, text, caption, MB_OK | MB_ICONERROR);
}

void MessageBoxes::ShowWarning(u16view text) {
    Show(nullptr, text, caption_, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

void MessageBoxes::Show(HWND owner, u16view text, u16view caption, UINT type) {
    if (closed_) {
        debug_.DebugOutput(u"message box not shown, the program is ending: " + u16(text));
        return;
    }
    ++showing_;
    MessageBoxW(owner, W(text).c_str(), W(caption).c_str(), type);
    --showing_;
}

void MessageBoxes::CloseAll() {
    closed_ = true;
    EnumThreadWindows(GetCurrentThreadId(), EndBox, 0);
}

}  // namespace vxm::win32
