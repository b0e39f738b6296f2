#pragma once
// The few messages the user sees; each returns once dismissed.
#include "common/text.h"

namespace vxm::platform {

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // Over the program's own window, with its name as the caption.
    virtual void ShowMessage(u16view text) = 0;
    // An error, owned by no window.
    virtual void ShowError(u16view text, u16view caption) = 0;
    // A warning with the program's name as the caption, after which the
    // program goes on; where there is no more to show, a plain message.
    virtual void ShowWarning(u16view text) { ShowMessage(text); }
};

}  // namespace vxm::platform
