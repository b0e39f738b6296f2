#include "platform/linux/bus_linux.h"

#include <poll.h>
#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>

namespace vxm::linuxos {

namespace {
// A call to the bus daemon itself; it answers at once unless it is gone.
constexpr std::uint64_t kDaemonCallTimeoutUs = 2000000;
}  // namespace

std::unique_ptr<SessionBus> SessionBus::Open(MainLoop& loop, std::string& error) {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    if (r < 0) {
        error = std::strerror(-r);
        return nullptr;
    }
    sd_bus_set_method_call_timeout(bus, kDaemonCallTimeoutUs);
    return std::unique_ptr<SessionBus>(new SessionBus(loop, bus));
}

SessionBus::SessionBus(MainLoop& loop, sd_bus* bus) : loop_(loop), bus_(bus) {
    watch_ = loop_.WatchDynamic(
        [this] {
            MainLoop::Interest i;
            // A connection the bus daemon dropped is polled no more: its
            // descriptor would be ready for ever.
            if (!sd_bus_is_open(bus_)) return i;
            i.fd = sd_bus_get_fd(bus_);
            const int events = sd_bus_get_events(bus_);
            i.events = static_cast<short>(events < 0 ? 0 : events);
            std::uint64_t usec = kNoDeadline;
            if (sd_bus_get_timeout(bus_, &usec) >= 0) i.deadline = usec;
            return i;
        },
        [this](short) {
            // What is ready now, in bounded rounds: more waiting comes back
            // with a deadline of now.
            for (int i = 0; i < 64; ++i) {
                if (sd_bus_process(bus_, nullptr) <= 0) break;
            }
            if (!sd_bus_is_open(bus_) && !lost_) {
                lost_ = true;
                if (OnLost) OnLost();
            }
        });
}

SessionBus::~SessionBus() {
    loop_.Unwatch(watch_);
    // What was queued (the last signals) goes out before the connection closes.
    sd_bus_flush_close_unref(bus_);
}

std::string SessionBus::UniqueName() const {
    const char* name = nullptr;
    if (sd_bus_get_unique_name(bus_, &name) < 0 || !name) return {};
    return name;
}

bool SessionBus::NameHasOwner(const std::string& name) {
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    int has = 0;
    const int r = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     "NameHasOwner", &error, &reply, "s", name.c_str());
    if (r >= 0 && sd_bus_message_read(reply, "b", &has) < 0) has = 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return r >= 0 && has != 0;
}

bool SessionBus::RequestName(const std::string& name, std::string& error) {
    const int r = sd_bus_request_name(bus_, name.c_str(), 0);
    // 1: ours now; -EALREADY: ours already; 0 would be a place in the queue, never asked for.
    if (r > 0 || r == -EALREADY) return true;
    error = r == -EEXIST || r == 0 ? "owned by another connection" : std::strerror(-r);
    return false;
}

void SessionBus::ReleaseName(const std::string& name) { sd_bus_release_name(bus_, name.c_str()); }

}  // namespace vxm::linuxos
