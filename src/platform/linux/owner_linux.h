#pragma once
// Owners of the Linux libraries' reference-counted objects: sd-bus
// connections, messages and slots, and udev contexts, monitors, devices and
// enumerations. Each gives its reference back when it goes or is replaced.
#include <libudev.h>
#include <systemd/sd-bus.h>

#include "platform/owned.h"

namespace vxm::linuxos {

template <typename T, T* (*Unref)(T*)>
struct Unreferenced {
    static T* Adopt(T* value) { return value; }
    static bool Free(T* value) {
        Unref(value);
        return true;
    }
};

// A connection this program opened: what is queued is sent before it closes.
using BusConnection = platform::Owned<sd_bus*, Unreferenced<sd_bus, sd_bus_flush_close_unref>>;
using BusMessage = platform::Owned<sd_bus_message*, Unreferenced<sd_bus_message, sd_bus_message_unref>>;
// Giving back a slot ends what it holds: a registered object, a match, a call's reply.
using BusSlot = platform::Owned<sd_bus_slot*, Unreferenced<sd_bus_slot, sd_bus_slot_unref>>;
using Udev = platform::Owned<udev*, Unreferenced<udev, udev_unref>>;
using UdevMonitor = platform::Owned<udev_monitor*, Unreferenced<udev_monitor, udev_monitor_unref>>;
using UdevDevice = platform::Owned<udev_device*, Unreferenced<udev_device, udev_device_unref>>;
using UdevEnumerate = platform::Owned<udev_enumerate*, Unreferenced<udev_enumerate, udev_enumerate_unref>>;

}  // namespace vxm::linuxos
