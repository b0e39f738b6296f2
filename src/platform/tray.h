#pragma once
// The program's icon in the notification area.
#include <functional>

#include "common/text.h"

namespace vxm::platform {

class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    virtual bool LoadIconFromFile(u16view path) = 0;  // false: keeps the program's own icon
    virtual void SetHint(u16view hint) = 0;
    virtual void SetVisible(bool visible) = 0;
    std::function<void()> OnClick;  // a selection: a single left click, or Space or Enter on the icon
};

}  // namespace vxm::platform
