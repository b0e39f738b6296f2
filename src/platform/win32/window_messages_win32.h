#pragma once
// Top-level windows and their messages through the window manager.
#include "platform/window_messages.h"

namespace vxm::win32 {

class WindowMessages final : public platform::IWindowMessages {
public:
    platform::WindowHandle FindWindowByClass(u16view className) override;
    void ShowWindowAsync(platform::WindowHandle window, int command) override;
    bool IsIconic(platform::WindowHandle window) override;
    void SetForegroundWindow(platform::WindowHandle window) override;
    void PostWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                           std::intptr_t lParam) override;
    // SendMessageTimeoutW: at most 1 s, and not at all to a hung window.
    void SendWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                           std::intptr_t lParam) override;
};

}  // namespace vxm::win32
