#pragma once
// The tray's menu on Linux: com.canonical.dbusmenu at "/MenuBar" on the
// session bus, which the StatusNotifierItem names as its menu. Clicks are
// posted to the main loop, so the reply goes first and nothing runs inside
// the bus's own callbacks.
#include <cstdint>
#include <functional>
#include <map>
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
    void AddChoices(u16view name, u16view caption, std::vector<u16> choices, int checked,
                    std::function<void(int)> onChoose) override;
    void SetChoices(int index, std::vector<u16> choices, int checked) override;

    // One entry of the menu's tree: the root (id 0), an item, a submenu of
    // choices, or one of its choices (a radio item).
    struct Node {
        std::string label;
        bool visible = true;
        int toggle = -1;  // a choice: 1 when checked, else 0; -1 for others
        std::int32_t parent = 0;
        std::vector<std::int32_t> children;  // ids, in order
        std::function<void()> onClick;        // an item's
        std::function<void(int)> onChoose;    // a submenu's, with the choice's place
    };
    struct Access;

private:
    std::int32_t Add(std::int32_t parent, Node node);
    void Changed();

    sd_bus* bus_;
    MainLoop& loop_;
    std::function<bool()> attached_;
    Lifetime lifetime_;
    // Ids are never used again, so a click on an entry that went since finds nothing.
    std::map<std::int32_t, Node> nodes_;
    std::int32_t nextId_ = 1;
    std::vector<std::int32_t> top_;  // the items as added, by index
    std::uint32_t revision_ = 1;
    BusSlot object_;
};

}  // namespace vxm::linuxos
