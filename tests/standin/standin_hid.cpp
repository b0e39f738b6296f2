#include "win/testing/standin_hid.h"

namespace vxm::testing {
namespace {

class StandInDevice final : public platform::IHidDevice {
public:
    std::optional<platform::HidCaps> Capabilities() override { return platform::HidCaps{0x0001, 0xFFA0, 8, 9, 9}; }
    long Write(const std::uint8_t*, std::size_t) override { return 0; }
    long GetFeature(std::uint8_t*, std::size_t) override { return 0; }
    long SetFeature(const std::uint8_t*, std::size_t) override { return 0; }
    std::uintptr_t NativeHandle() const override { return 0; }
};

}  // namespace

std::vector<platform::HidInterface> StandInHidSystem::EnumerateInterfaces() {
    return {platform::HidInterface{pipe_, {kStandInHardwareId, u"HID\\VID_5A52&PID_4D01"}}};
}

std::unique_ptr<platform::IHidDevice> StandInHidSystem::Open(u16view path, bool) {
    if (path != pipe_) return nullptr;
    return std::make_unique<StandInDevice>();
}

std::unique_ptr<platform::IHidReadChannel> StandInHidSystem::OpenReadChannel(u16view path) {
    return real_.OpenPipeReadChannel(path, 8);
}

}  // namespace vxm::testing
