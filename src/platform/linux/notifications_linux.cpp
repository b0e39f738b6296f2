#include "platform/linux/notifications_linux.h"

#include <systemd/sd-bus.h>

namespace vxm::linuxos {

namespace {
// A notification server that takes longer than this to answer is not waited for.
constexpr std::uint64_t kNotifyTimeoutUs = 5000000;
}  // namespace

struct DesktopNotifications::Access {
    static int Replied(sd_bus_message* reply, void* userdata, sd_bus_error*) {
        auto& self = *static_cast<DesktopNotifications*>(userdata);
        // sd-bus holds the slot while this runs.
        self.pending_.Reset();
        std::uint32_t id = 0;
        // An error (no notification server, a refusal) leaves nothing shown.
        if (!sd_bus_message_is_method_error(reply, nullptr) && sd_bus_message_read(reply, "u", &id) > 0) {
            self.ids_[self.pendingKind_] = id;
        }
        self.Send();
        return 0;
    }
};

DesktopNotifications::DesktopNotifications(sd_bus* bus, std::function<void(const std::string&)> say)
    : bus_(bus), say_(std::move(say)) {}

void DesktopNotifications::ShowState(bool muted, u16view text, unsigned forMs) {
    Wanted w;
    w.icon = muted ? "microphone-sensitivity-muted" : "audio-input-microphone";
    w.summary = Utf8(text);
    // 0: until it is closed.
    w.expireMs = static_cast<std::int32_t>(forMs > 0x7FFFFFFF ? 0x7FFFFFFF : forMs);
    Want(std::move(w));
}

void DesktopNotifications::HideState() {
    Wanted w;
    w.close = true;
    Want(std::move(w));
}

void DesktopNotifications::TellFailure(u16view text, u16view detail) {
    if (say_) say_(Utf8(detail));
    Wanted w;
    w.kind = kFailure;
    w.icon = "dialog-warning";
    w.summary = Utf8(text);
    Want(std::move(w));
}

void DesktopNotifications::Want(Wanted w) {
    const Kind kind = w.kind;
    next_[kind] = std::move(w);
    hasNext_[kind] = true;
    if (!pending_) Send();
}

void DesktopNotifications::Send() {
    const Kind kind = hasNext_[kState] ? kState : kFailure;
    if (!hasNext_[kind]) return;
    hasNext_[kind] = false;
    const Wanted w = std::move(next_[kind]);
    std::uint32_t& id = ids_[kind];
    BusMessage call;
    if (w.close) {
        if (id == 0) return Send();  // nothing shown
        if (sd_bus_message_new_method_call(bus_, call.Put(), kNotificationsName, kNotificationsPath, kNotificationsName,
                                           "CloseNotification") < 0 ||
            sd_bus_message_append(call.Get(), "u", id) < 0) {
            return;
        }
        id = 0;
    } else {
        if (sd_bus_message_new_method_call(bus_, call.Put(), kNotificationsName, kNotificationsPath, kNotificationsName,
                                           "Notify") < 0 ||
            sd_bus_message_append(call.Get(), "susssas", "vxmmon", id, w.icon.c_str(), w.summary.c_str(), "", 0) < 0 ||
            sd_bus_message_append(call.Get(), "a{sv}", 2, "urgency", "y", 1, "category", "s", "device") < 0 ||
            sd_bus_message_append(call.Get(), "i", w.expireMs) < 0) {
            return;
        }
    }
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_async(bus_, &slot, call.Get(), &Access::Replied, this, kNotifyTimeoutUs) >= 0) {
        pending_.Reset(slot);
        pendingKind_ = kind;
    }
}

struct BusNameWatch::Access {
    static int Changed(sd_bus_message* m, void* userdata, sd_bus_error*) {
        const char* name = nullptr;
        const char* from = nullptr;
        const char* to = nullptr;
        if (sd_bus_message_read(m, "sss", &name, &from, &to) > 0) {
            static_cast<BusNameWatch*>(userdata)->owned_ = to && *to;
        }
        return 0;
    }
    static int Answered(sd_bus_message* reply, void* userdata, sd_bus_error*) {
        auto& self = *static_cast<BusNameWatch*>(userdata);
        int has = 0;
        if (!sd_bus_message_is_method_error(reply, nullptr) && sd_bus_message_read(reply, "b", &has) > 0) {
            self.owned_ = has != 0;
        }
        return 0;
    }
};

BusNameWatch::BusNameWatch(sd_bus* bus, const std::string& name) {
    // The match first: the daemon answers the query after it, so every
    // change after the answer is signalled, and one before it is in it.
    const std::string rule =
        "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',interface='org.freedesktop.DBus',"
        "member='NameOwnerChanged',arg0='" +
        name + "'";
    sd_bus_add_match_async(bus, match_.Put(), rule.c_str(), &Access::Changed, nullptr, this);
    sd_bus_call_method_async(bus, query_.Put(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                             "org.freedesktop.DBus", "NameHasOwner", &Access::Answered, this, "s", name.c_str());
}

}  // namespace vxm::linuxos
