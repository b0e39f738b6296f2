#pragma once
// The pop-up menu of the tray icon: items in the order added, of which the
// invisible ones are not shown.
#include <functional>

#include "common/text.h"

namespace vxm::platform {

class IPopupMenu {
public:
    virtual ~IPopupMenu() = default;
    virtual void AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) = 0;
    // `index` counts every item added, visible or not; others are ignored.
    virtual void SetCaption(int index, u16view caption) = 0;
};

}  // namespace vxm::platform
