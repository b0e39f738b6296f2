#pragma once
// A stand-in for the mouse, for tests of the Windows build: one HID interface
// with the mouse's vendor collection whose input reports come from a
// message-mode named pipe that a test writes to (one report per message).
// Closing the pipe's server end unplugs it.
#include "platform/win32/hid_win32.h"

namespace vxm::testing {

inline constexpr char16_t kStandInHardwareId[] = u"HID\\VID_5A52&PID_4D01&MI_01";

class StandInHidSystem final : public platform::IHidSystem {
public:
    StandInHidSystem(win32::HidSystem& real, u16 pipePath) : real_(real), pipe_(std::move(pipePath)) {}

    std::vector<platform::HidInterface> EnumerateInterfaces() override;
    std::unique_ptr<platform::IHidDevice> Open(u16view path, bool overlapped) override;
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view path) override;
    void DebugOutput(u16view text) override { real_.DebugOutput(text); }

private:
    win32::HidSystem& real_;
    u16 pipe_;
};

}  // namespace vxm::testing
