#pragma once
// The tray's menu on Linux: com.canonical.dbusmenu at "/MenuBar" on the
// session bus, which the StatusNotifierItem names as its menu. Clicks are
// posted to the main loop, so the reply goes first and nothing runs inside
// the bus's own callbacks.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/lifetime_linux.h"
#include "platform/linux/main_loop_linux.h"
#include "platform/linux/owner_linux.h"
#include "platform/menu.h"

namespace vxm::linuxos {

inline constexpr char kTrayMenuPath[] = "/MenuBar";

class DbusMenu : public platform::IPopupMenu {
public:
    // `attached` says whether clicks may reach the items' handlers now.
    DbusMenu(sd_bus* bus, MainLoop& loop, std::function<bool()> attached);
    ~DbusMenu() override;
    DbusMenu(const DbusMenu&) = delete;
    DbusMenu& operator=(const DbusMenu&) = delete;

    void AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) override;
    void SetCaption(int index, u16view caption) override;

    struct Item {
        std::string name;
        std::string label;
        bool visible = true;
        std::function<void()> onClick;
    };
    struct Access;

private:
    void Changed();

    sd_bus* bus_;
    MainLoop& loop_;
    std::function<bool()> attached_;
    Lifetime lifetime_;
    std::vector<Item> items_;  // item i has the id i + 1; 0 is the root
    std::uint32_t revision_ = 1;
    BusSlot object_;
};

}  // namespace vxm::linuxos
