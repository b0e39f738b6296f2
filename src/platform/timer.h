#pragma once
// Time as the main thread measures it: timers that raise OnTimer there, once
// per period while enabled, and the tick count and sleep of the logic.
#include <cstdint>
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

class ITicks {
public:
    virtual ~ITicks() = default;
    // Milliseconds, wrapping; only differences count.
    virtual std::uint32_t TickCount() = 0;
    // Blocks the calling thread; nothing is dispatched meanwhile.
    virtual void Sleep(unsigned ms) = 0;
};

}  // namespace vxm::platform
