#pragma once
// The pop-up menu of the tray icon: items in the order added, of which the
// invisible ones are not shown.
#include <functional>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

class IPopupMenu {
public:
    virtual ~IPopupMenu() = default;
    virtual void AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) = 0;
    // `index` counts every item added, visible or not; others are ignored.
    virtual void SetCaption(int index, u16view caption) = 0;
    // A submenu of choices of which one is checked (radio items), counted as
    // one item; `checked` outside the choices checks none. Only a menu that
    // sets the monitor's own settings has one (the Linux tray's); others
    // ignore these.
    virtual void AddChoices(u16view /*name*/, u16view /*caption*/, std::vector<u16> /*choices*/, int /*checked*/,
                            std::function<void(int)> /*onChoose*/) {}
    // The choices' captions again (as many as were added) and the checked one.
    virtual void SetChoices(int /*index*/, std::vector<u16> /*choices*/, int /*checked*/) {}
};

}  // namespace vxm::platform
