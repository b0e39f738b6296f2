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
    void ShowWarning(u16view text) override;

    // A box of this object is up (its loop is below the caller).
    bool Showing() const { return showing_ > 0; }
    // Closes every message box of the calling thread, and from now on shows
    // none (each call returns at once): the program is ending, and a box
    // would hold its ending up until someone answered it.
    void CloseAll();

private:
    void Show(HWND owner, u16view text, u16view caption, UINT type);

    HWND owner_;
    u16 caption_;
    platform::IDebugOutput& debug_;
    int showing_ = 0;
    bool closed_ = false;
};

}  // namespace vxm::win32
