#pragma once
// Windows of the programs the monitor talks to (the configuration
// application, the monitor itself), found by class and addressed by the
// window messages of their protocol.
#include <cstdint>

#include "common/text.h"

namespace vxm::platform {

// Names a window; 0 is none. Calls given none do nothing.
using WindowHandle = std::uintptr_t;

// Show commands with the window manager's numbers.
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShow = 5;
inline constexpr int kSwRestore = 9;

class IWindowMessages {
public:
    virtual ~IWindowMessages() = default;
    // The top-level window of that class, 0 when there is none.
    virtual WindowHandle FindWindowByClass(u16view className) = 0;
    // None of the following waits for the window's thread, which may be
    // another program's, hung.
    virtual void ShowWindowAsync(WindowHandle window, int command) = 0;
    virtual bool IsIconic(WindowHandle window) = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void PostWindowMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Waits for a responsive receiver, never for a hung one (bounded).
    virtual void SendWindowMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace vxm::platform
