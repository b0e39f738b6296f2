#include "platform/win32/dispatcher_win32.h"

#include <chrono>
#include <condition_variable>
#include <memory>

namespace vxm::win32 {

struct MainThreadDispatcher::Call {
    const std::function<void()>* call;
    enum { Waiting, Running, Done, Withdrawn } state = Waiting;
    std::condition_variable changed;
};

bool MainThreadDispatcher::RunOnMainThread(const std::function<void()>& call, const std::function<bool()>& stopped) {
    auto c = std::make_unique<Call>();
    c->call = &call;
    std::unique_lock<std::mutex> lock(mutex_);
    live_.insert(c.get());
    if (!PostMessageW(window_, kMainThreadCallMessage, 0, reinterpret_cast<LPARAM>(c.get()))) {
        live_.erase(c.get());
        return false;
    }
    for (;;) {
        if (c->state == Call::Done) break;
        if (c->state == Call::Waiting && stopped()) {
            // Withdrawn before the main thread took it: it will never run.
            live_.erase(c.get());
            return false;
        }
        c->changed.wait_for(lock, std::chrono::milliseconds(1));
    }
    live_.erase(c.get());
    return true;
}

void MainThreadDispatcher::Run(LPARAM lParam) {
    auto* c = reinterpret_cast<Call*>(lParam);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!live_.count(c) || c->state != Call::Waiting) return;
        c->state = Call::Running;
    }
    (*c->call)();
    std::lock_guard<std::mutex> lock(mutex_);
    c->state = Call::Done;
    c->changed.notify_all();
}

}  // namespace vxm::win32
