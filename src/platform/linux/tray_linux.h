#pragma once
// The tray on Linux: a StatusNotifierItem (org.kde.StatusNotifierItem at
// "/StatusNotifierItem") whose menu is the DbusMenu at "/MenuBar", on the
// session bus through sd-bus. The item registers with
// org.kde.StatusNotifierWatcher; with no watcher the program goes on without
// a tray (said once), and a watcher that appears later gets the item then.
// Clicks are posted to the main loop, so nothing runs inside the bus's own
// callbacks and a reply never waits on the program.
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/dbusmenu_linux.h"
#include "platform/linux/ico_linux.h"
#include "platform/linux/lifetime_linux.h"
#include "platform/linux/main_loop_linux.h"
#include "platform/linux/owner_linux.h"
#include "platform/tray.h"

namespace vxm::linuxos {

inline constexpr char kTrayItemPath[] = "/StatusNotifierItem";
inline constexpr char kTrayFallbackIconName[] = "input-mouse";
// Without an icon file, the theme's icon while the microphone is muted.
inline constexpr char kTrayMutedIconName[] = "microphone-sensitivity-muted";

class StatusNotifierItem : public platform::ITrayIcon {
public:
    // `attached` says whether clicks may reach OnClick now; `sayOnce` tells
    // the user (standard error) that there is no tray.
    // `markMuted` makes the muted image of each image of the icon: the mark
    // is drawn into the item's own images, which every host shows, rather
    // than left to a host's overlay.
    using Marker = std::function<IconPixmap(const IconPixmap&)>;
    StatusNotifierItem(sd_bus* bus, MainLoop& loop, std::string id, std::function<bool()> attached,
                       std::function<void(const std::string&)> sayOnce, Marker markMuted);
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    bool LoadIconFromFile(u16view path) override;
    void SetHint(u16view hint) override;
    // The icon's images with the muted mark; without an icon file, the
    // theme's muted-microphone icon.
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
    Marker markMuted_;
    Lifetime lifetime_;
    std::string title_;
    std::string hint_;
    std::string status_ = "Passive";
    bool muted_ = false;
    std::vector<IconPixmap> pixmaps_;
    std::vector<IconPixmap> mutedPixmaps_;  // the same with the mark
    bool registered_ = false;
    bool saidNoWatcher_ = false;
    // Given back in reverse: the pending registration, the watcher's match, the object.
    BusSlot object_;
    BusSlot match_;
    BusSlot call_;
};

}  // namespace vxm::linuxos
