#include "platform/win32/window_messages_win32.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

HWND Hwnd(platform::WindowHandle window) { return reinterpret_cast<HWND>(window); }

}  // namespace

platform::WindowHandle WindowMessages::FindWindowByClass(u16view className) {
    return reinterpret_cast<platform::WindowHandle>(FindWindowW(W(className).c_str(), nullptr));
}

void WindowMessages::ShowWindowAsync(platform::WindowHandle window, int command) {
    ::ShowWindowAsync(Hwnd(window), command);
}

bool WindowMessages::IsIconic(platform::WindowHandle window) { return ::IsIconic(Hwnd(window)) != FALSE; }

void WindowMessages::SetForegroundWindow(platform::WindowHandle window) { ::SetForegroundWindow(Hwnd(window)); }

void WindowMessages::PostWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    ::PostMessageW(Hwnd(window), msg, wParam, lParam);
}

void WindowMessages::SendWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) {
    // A hung receiver must not freeze the mouse buttons and the tray.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(Hwnd(window), msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, 1000, &result);
}

}  // namespace vxm::win32
