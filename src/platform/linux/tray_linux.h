#pragma once
// The tray on Linux: a StatusNotifierItem (org.kde.StatusNotifierItem at
// "/StatusNotifierItem") with its menu as com.canonical.dbusmenu at
// "/MenuBar", on the session bus through sd-bus. The item registers with
// org.kde.StatusNotifierWatcher; with no watcher the program goes on without
// a tray (said once), and a watcher that appears later gets the item then.
// Clicks and menu events are posted to the main loop, so nothing runs inside
// the bus's own callbacks and a reply never waits on the program.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/main_loop_linux.h"
#include "platform/menu.h"
#include "platform/tray.h"

struct sd_bus;
struct sd_bus_slot;
struct sd_bus_message;

namespace vxm::linuxos {

inline constexpr char kTrayItemPath[] = "/StatusNotifierItem";
inline constexpr char kTrayMenuPath[] = "/MenuBar";
inline constexpr char kTrayFallbackIconName[] = "input-mouse";
// The overlay while the microphone is muted, from the icon theme.
inline constexpr char kTrayMutedOverlayName[] = "microphone-sensitivity-muted";

// One image of an icon as a StatusNotifierItem carries it: ARGB32 pixels in
// network byte order, row by row from the top.
struct IconPixmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> argb;
};

// The uncompressed 32-bit images of a Windows .ico (PNG ones are passed
// over); empty for a file that is none. Never reads outside `data`.
std::vector<IconPixmap> IconPixmapsFromIco(const std::uint8_t* data, std::size_t size);

class DbusMenu;

class StatusNotifierItem : public platform::ITrayIcon {
public:
    // `attached` says whether clicks may reach OnClick now; `sayOnce` tells
    // the user (standard error) that there is no tray.
    StatusNotifierItem(sd_bus* bus, MainLoop& loop, std::string id, std::function<bool()> attached,
                       std::function<void(const std::string&)> sayOnce);
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    bool LoadIconFromFile(u16view path) override;
    void SetHint(u16view hint) override;
    // The muted mark: the theme's muted-microphone icon as the overlay.
    void SetMuteBadge(bool shown) override;
    void SetVisible(bool visible) override;
    void SetTitle(u16view title);
    // Registered with a watcher now.
    bool Registered() const { return registered_; }

    // For the bus callbacks.
    struct Access;

private:
    void Register();
    void Emit(const char* signal);

    sd_bus* bus_;
    MainLoop& loop_;
    std::string id_;
    std::function<bool()> attached_;
    std::function<void(const std::string&)> sayOnce_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::string title_;
    std::string hint_;
    std::string status_ = "Passive";
    bool muted_ = false;
    std::vector<IconPixmap> pixmaps_;
    bool registered_ = false;
    bool saidNoWatcher_ = false;
    sd_bus_slot* object_ = nullptr;
    sd_bus_slot* match_ = nullptr;
    sd_bus_slot* call_ = nullptr;
};

class DbusMenu : public platform::IPopupMenu {
public:
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
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::vector<Item> items_;  // item i has the id i + 1; 0 is the root
    std::uint32_t revision_ = 1;
    sd_bus_slot* object_ = nullptr;
};

}  // namespace vxm::linuxos
