// vxmmon_standin: vxmmon exactly as shipped, except that the mouse is a
// stand-in at the hidraw seam: one vendor collection whose reports come from
// the SOCK_SEQPACKET socket this process inherits, named by its first
// argument "--device-fd=N" (the test holds the other end; closing it is an
// unplug). The remaining arguments are vxmmon's.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "monitor/program.h"
#include "platform/linux/hid_descriptor.h"
#include "platform/linux/hid_linux.h"

namespace {

using namespace vxm;

// Report IDs 7 and 8, 7 bytes each, in the mouse's vendor collection.
const std::uint8_t kDescriptor[] = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x07, 0x09, 0x02, 0x75,
                                    0x08, 0x95, 0x07, 0x81, 0x02, 0x85, 0x08, 0x09, 0x03, 0x95, 0x07, 0x81,
                                    0x02, 0xC0};

linuxos::HidReadCollection Collection() {
    const auto d = linuxos::ParseReportDescriptor(kDescriptor, sizeof kDescriptor);
    return linuxos::HidReadCollection{d->collections.at(0), d->numbered, false};
}

class StandInHidSystem final : public platform::IHidSystem {
public:
    explicit StandInHidSystem(int fd) : fd_(fd) {}
    std::vector<platform::HidInterface> EnumerateInterfaces() override {
        return {{u"/dev/hidraw-standin", linuxos::HidHardwareIds({0x1234, 0x5678, 0x0100, 1}, 0xFFA0, 0x0001, 0)}};
    }
    std::unique_ptr<platform::IHidDevice> Open(u16view, bool) override {
        struct Device final : platform::IHidDevice {
            std::optional<platform::HidCaps> Capabilities() override {
                const linuxos::HidCollection c = Collection().caps;
                return platform::HidCaps{c.usage, c.usagePage, c.inputReportByteLength, c.outputReportByteLength,
                                         c.featureReportByteLength};
            }
            long Write(const std::uint8_t*, std::size_t) override { return 0; }
            long GetFeature(std::uint8_t*, std::size_t) override { return 0; }
            long SetFeature(const std::uint8_t*, std::size_t) override { return 0; }
            std::uintptr_t NativeHandle() const override { return 0; }
        };
        return std::make_unique<Device>();
    }
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view) override {
        // Each reader gets its own descriptor of the one socket: a restart
        // of reading reopens the same device.
        const int fd = ::fcntl(fd_, F_DUPFD_CLOEXEC, 3);
        if (fd < 0) return nullptr;
        return linuxos::MakeHidReadChannel(linuxos::UniqueFd(fd), Collection());
    }

private:
    int fd_;
};

}  // namespace

int main(int argc, char** argv) {
    constexpr char kFlag[] = "--device-fd=";
    if (argc < 2 || std::strncmp(argv[1], kFlag, sizeof kFlag - 1) != 0) {
        const char usage[] = "usage: vxmmon_standin --device-fd=N [vxmmon options]\n";
        [[maybe_unused]] const ssize_t n = ::write(2, usage, sizeof usage - 1);
        return 2;
    }
    const int fd = std::atoi(argv[1] + sizeof kFlag - 1);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);  // not handed on to what the monitor starts
    std::vector<char*> rest{argv[0]};
    for (int i = 2; i < argc; ++i) rest.push_back(argv[i]);
    return vxm::linuxmon::VxmmonMain(static_cast<int>(rest.size()), rest.data(),
                                     [fd] { return std::make_unique<StandInHidSystem>(fd); });
}
