#pragma once
// Desktop notifications (org.freedesktop.Notifications on the session bus)
// as the place where the user sees the microphone besides the tray: the
// state over a full-screen program (one notification, each new one
// replacing the last, closed when the state is to go) and a press that
// changed nothing (said on standard error too). Every call is sent without
// waiting; the replies come through the main loop. With no notification
// server nothing is shown and nothing is said about it.
//
// And a name on the bus followed by NameOwnerChanged, so that whether it has
// an owner costs no call.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/linux/owner_linux.h"
#include "platform/mute_notices.h"

namespace vxm::linuxos {

inline constexpr char kNotificationsName[] = "org.freedesktop.Notifications";
inline constexpr char kNotificationsPath[] = "/org/freedesktop/Notifications";

class DesktopNotifications final : public platform::IMuteNotices {
public:
    // `say` writes a line on standard error.
    DesktopNotifications(sd_bus* bus, std::function<void(const std::string&)> say);
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    void ShowState(bool muted, u16view text, unsigned forMs) override;
    void HideState() override;
    void TellFailure(u16view text, u16view detail) override;

    struct Access;

private:
    // The state, and a press that changed nothing: each its own notification.
    enum Kind { kState, kFailure };
    // What should be shown: a notification, or none.
    struct Wanted {
        Kind kind = kState;
        bool close = false;
        std::string icon;
        std::string summary;
        std::int32_t expireMs = -1;
    };
    void Want(Wanted w);
    void Send();

    sd_bus* bus_;
    std::function<void(const std::string&)> say_;
    // The notification shown of each kind, replaced by the next.
    std::uint32_t ids_[2] = {0, 0};
    // One call at a time, so that the next one knows the id to replace;
    // what is wanted meanwhile waits, the latest of each kind.
    BusSlot pending_;
    Kind pendingKind_ = kState;
    bool hasNext_[2] = {false, false};
    Wanted next_[2];
};

class BusNameWatch {
public:
    BusNameWatch(sd_bus* bus, const std::string& name);
    BusNameWatch(const BusNameWatch&) = delete;
    BusNameWatch& operator=(const BusNameWatch&) = delete;
    // As the bus daemon last said (false until it answered).
    bool Owned() const { return owned_; }

    struct Access;

private:
    bool owned_ = false;
    BusSlot match_;
    BusSlot query_;
};

}  // namespace vxm::linuxos
