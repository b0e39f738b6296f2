#pragma once
// Hands a call from a worker thread to the main thread and waits for it.
#include <functional>

namespace vxm::platform {

class IMainThreadDispatcher {
public:
    virtual ~IMainThreadDispatcher() = default;
    // Runs `call` on the main thread and returns true once it has run. Gives
    // up and returns false, without running it, as soon as `stopped` answers
    // true while the call still waits for the main thread.
    virtual bool RunOnMainThread(const std::function<void()>& call, const std::function<bool()>& stopped) = 0;
};

}  // namespace vxm::platform
