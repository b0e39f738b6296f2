#pragma once
// Arrivals and removals of hidraw nodes, from a libudev monitor: its
// descriptor becomes readable when changes wait, so a main loop polls it
// beside its other sources and reads them without blocking.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct udev;
struct udev_monitor;

namespace vxm::linuxos {

struct HidrawChange {
    enum class Kind { Arrival, Removal, Other };
    Kind kind = Kind::Other;
    std::string action;   // "add", "remove", "change", "bind" ...
    std::string devnode;  // "/dev/hidraw3"; empty when the event names none
};

// "add" is an arrival, "remove" a removal; anything else is some other change.
HidrawChange::Kind KindOfAction(std::string_view action);

class HidrawArrivals {
public:
    // `source` is "udev" (events after the rules have run, node permissions
    // included) or "kernel" (where no udev daemon runs). Null when the
    // monitor cannot be made.
    static std::unique_ptr<HidrawArrivals> Open(const char* source = "udev");
    ~HidrawArrivals();
    HidrawArrivals(const HidrawArrivals&) = delete;
    HidrawArrivals& operator=(const HidrawArrivals&) = delete;

    // Readable while changes wait; owned by this object.
    int Fd() const;
    // Every change waiting now (at most `most`), without blocking.
    std::vector<HidrawChange> ReadChanges(std::size_t most = 256);

private:
    HidrawArrivals(udev* context, udev_monitor* monitor);
    udev* udev_;
    udev_monitor* monitor_;
};

}  // namespace vxm::linuxos
