#pragma once
// The HID seam on hidraw. hidapi (its hidraw backend) lists the hidraw nodes
// with their ids; each node's report descriptor gives its top-level
// collections, and each collection is one interface, as on Windows:
//
//   path          "/dev/hidraw3", or "/dev/hidraw3&col02" for the second
//                 collection of a node that has several
//   hardware ids  most specific first, the forms Windows gives a USB HID
//                 collection, with the hidraw node's ids (hex, upper case):
//                   HID\VID_1234&PID_5678&REV_0100&MI_01&Col02
//                   HID\VID_1234&PID_5678&MI_01&Col02
//                   HID\VID_1234&PID_5678&REV_0100&Col02
//                   HID\VID_1234&PID_5678&Col02
//                   HID\VID_1234&PID_5678
//                   HID\VID_1234&UP:FFA0_U:0001
//                   HID_DEVICE_UP:FFA0_U:0001
//                   HID_DEVICE
//                 ("&MI_xx" only where the node is a USB interface, "&Colxx"
//                 only where the node has several collections), so an include
//                 list written on Windows matches here too.
//
// A read channel reads its node with poll() on the node and an eventfd that
// the stop sets: it sleeps until a report or the stop comes. Each read gives
// one report, report ID first (0 put in front for a device that numbers no
// reports) and zero-padded to the collection's input report length, as
// Windows delivers them; reports of the node's other collections are passed
// over. A node that goes away (POLLHUP, POLLERR, or a failing read) completes
// the read with ERROR_DEVICE_NOT_CONNECTED.
#include <functional>
#include <string>

#include "platform/hid.h"
#include "platform/linux/hid_descriptor.h"
#include "platform/linux/posix.h"

namespace vxm::linuxos {

struct HidDeviceIds {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t release = 0;
    int interfaceNumber = -1;  // -1: not a USB interface
};

// The hardware ids above; `collection` counts from 1, 0 when the node has one.
std::vector<u16> HidHardwareIds(const HidDeviceIds& ids, std::uint16_t usagePage, std::uint16_t usage, int collection);

// "/dev/hidraw3&col02" into "/dev/hidraw3" and index 1.
void SplitCollectionPath(const std::string& path, std::string& node, std::size_t& index);

// What a read channel needs to know of its collection.
struct HidReadCollection {
    HidCollection caps;
    bool numbered = false;
    bool filter = false;  // pass over reports whose ID is not the collection's
};

class HidSystem final : public platform::IHidSystem {
public:
    std::vector<platform::HidInterface> EnumerateInterfaces() override;
    std::unique_ptr<platform::IHidDevice> Open(u16view path, bool overlapped) override;
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view path) override;
};

// The read channel over a descriptor that gives one report per read: a
// hidraw node, or (for a stand-in device) one end of a SOCK_SEQPACKET socket
// pair, whose other end closing is the device going away.
std::unique_ptr<platform::IHidReadChannel> MakeHidReadChannel(UniqueFd fd, HidReadCollection collection);

}  // namespace vxm::linuxos
