#pragma once
// Timers of the main thread: each raises OnTimer there, once per period,
// while it is enabled.
#include <functional>

namespace vxm::platform {

class ITimer {
public:
    virtual ~ITimer() = default;
    // Enabling starts a period; disabling and enabling again starts a new one.
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    std::function<void()> OnTimer;
};

}  // namespace vxm::platform
