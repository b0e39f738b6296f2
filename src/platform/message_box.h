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
};

}  // namespace vxm::platform
