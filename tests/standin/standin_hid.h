#pragma once
// A stand-in for the mouse, for tests of the Windows build: one HID interface
// with the mouse's vendor collection whose input reports come from a
// message-mode named pipe that a test writes to (one report per message).
// Closing the pipe's server end unplugs it.
#include <memory>

#include "platform/hid.h"

namespace vxm::testing {

inline constexpr char16_t kStandInHardwareId[] = u"HID\\VID_5A52&PID_4D01&MI_01";

class StandInHidSystem final : public platform::IHidSystem {
public:
    explicit StandInHidSystem(u16 pipePath) : pipe_(std::move(pipePath)) {}

    std::vector<platform::HidInterface> EnumerateInterfaces() override;
    std::unique_ptr<platform::IHidDevice> Open(u16view path, bool overlapped) override;
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view path) override;

private:
    u16 pipe_;
};

// The read channel over the client end of a stand-in's pipe: the product's
// overlapped read, with the pipe's own errors for an unplugged device (233,
// 109) reported as the device's (1167). Reports have `inputReportLength`
// bytes and carry no button usages.
std::unique_ptr<platform::IHidReadChannel> OpenPipeReadChannel(u16view pipePath, int inputReportLength);

}  // namespace vxm::testing
