#pragma once
// Message boxes of the program: its own messages over its window, and errors.
#include <windows.h>

#include "platform/debug_output.h"
#include "platform/message_box.h"

namespace vxm::win32 {

class MessageBoxes final : public platform::IMessageBox {
public:
    // `owner` and `caption`: the program's window and name. Errors are told
    // to `debug` too, which sees them without anyone at the screen.
    MessageBoxes(HWND owner, u16 caption, platform::IDebugOutput& debug)
        : owner_(owner), caption_(std::move(caption)), debug_(debug) {}

    void ShowMessage(u16view text) override;
    void ShowError(u16view text, u16view caption) override;

private:
    HWND owner_;
    u16 caption_;
    platform::IDebugOutput& debug_;
};

}  // namespace vxm::win32
