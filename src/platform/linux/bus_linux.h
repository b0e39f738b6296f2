#pragma once
// The user's session bus through sd-bus (libsystemd), driven by the main
// loop: its descriptor, events and timeout are asked before every poll, and
// whatever is ready is processed on the loop's thread.
#include <functional>
#include <memory>
#include <string>

#include "platform/linux/main_loop_linux.h"

struct sd_bus;

namespace vxm::linuxos {

class SessionBus {
public:
    // Null, with the reason in `error`, when there is no session bus.
    static std::unique_ptr<SessionBus> Open(MainLoop& loop, std::string& error);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    sd_bus* Get() const { return bus_; }
    std::string UniqueName() const;
    // Whether a connection owns `name` now (false also when the bus does not answer in time).
    bool NameHasOwner(const std::string& name);
    // Owns `name` without queueing: false when another connection has it.
    bool RequestName(const std::string& name, std::string& error);
    void ReleaseName(const std::string& name);
    // Once, when the bus daemon dropped the connection.
    std::function<void()> OnLost;

private:
    SessionBus(MainLoop& loop, sd_bus* bus);
    MainLoop& loop_;
    sd_bus* bus_;
    MainLoop::WatchId watch_ = 0;
    bool lost_ = false;
};

}  // namespace vxm::linuxos
