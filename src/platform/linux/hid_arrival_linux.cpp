#include "platform/linux/hid_arrival_linux.h"

#include <libudev.h>

namespace vxm::linuxos {

HidrawChange::Kind KindOfAction(std::string_view action) {
    if (action == "add") return HidrawChange::Kind::Arrival;
    if (action == "remove") return HidrawChange::Kind::Removal;
    return HidrawChange::Kind::Other;
}

std::unique_ptr<HidrawArrivals> HidrawArrivals::Open(const char* source) {
    udev* context = udev_new();
    if (!context) return nullptr;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, source);
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        if (monitor) udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<HidrawArrivals>(new HidrawArrivals(context, monitor));
}

HidrawArrivals::HidrawArrivals(udev* context, udev_monitor* monitor) : udev_(context), monitor_(monitor) {}

HidrawArrivals::~HidrawArrivals() {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
}

int HidrawArrivals::Fd() const { return udev_monitor_get_fd(monitor_); }

std::vector<HidrawChange> HidrawArrivals::ReadChanges(std::size_t most) {
    std::vector<HidrawChange> out;
    // The monitor's socket does not block: nothing waiting gives null.
    while (out.size() < most) {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device) break;
        HidrawChange change;
        if (const char* action = udev_device_get_action(device)) change.action = action;
        if (const char* node = udev_device_get_devnode(device)) change.devnode = node;
        change.kind = KindOfAction(change.action);
        udev_device_unref(device);
        out.push_back(std::move(change));
    }
    return out;
}

}  // namespace vxm::linuxos
