#pragma once
// Hands a call from a worker thread to the main thread and waits for it.
#include <functional>

namespace vxm::platform {

// How a hand-over ended.
enum class HandOver {
    Ran,           // the main thread ran the call
    Withdrawn,     // `stopped` answered true before the main thread took it; it never runs
    Refused,       // the main thread's queue did not take it (full for now); it never runs
    NoMainThread,  // there is no main thread to take it any more (its window is gone); it never runs
};

class IMainThreadDispatcher {
public:
    virtual ~IMainThreadDispatcher() = default;
    // Runs `call` on the main thread and returns once it has run. Gives up,
    // without running it, as soon as `stopped` answers true while the call
    // still waits for the main thread.
    virtual HandOver RunOnMainThread(const std::function<void()>& call, const std::function<bool()>& stopped) = 0;
};

}  // namespace vxm::platform
