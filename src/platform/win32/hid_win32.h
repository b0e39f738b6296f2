#pragma once
// SetupAPI and HID.dll, bound at run time from the system folder only.
#include <windows.h>

#include <memory>

#include "platform/hid.h"

namespace vxm::win32 {

class HidSystem final : public platform::IHidSystem {
public:
    HidSystem();
    ~HidSystem() override;
    HidSystem(const HidSystem&) = delete;
    HidSystem& operator=(const HidSystem&) = delete;

    std::vector<platform::HidInterface> EnumerateInterfaces() override;
    std::unique_ptr<platform::IHidDevice> Open(u16view path, bool overlapped) override;
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view path) override;

    // The bound libraries; every device and read channel holds them too, so
    // HID.dll stays loaded until the last of them is gone.
    struct Api;
    const Api& api() const { return *api_; }

private:
    std::shared_ptr<const Api> api_;
    GUID hidGuid_;
};

}  // namespace vxm::win32
