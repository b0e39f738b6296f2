#include "platform/win32/dispatcher_win32.h"

#include <chrono>
#include <condition_variable>
#include <exception>

namespace vxm::win32 {

struct MainThreadDispatcher::Call {
    const std::function<void()>* call;
    enum { Waiting, Running, Done } state = Waiting;
    std::exception_ptr error;
    std::condition_variable changed;
};

platform::HandOver MainThreadDispatcher::RunOnMainThread(const std::function<void()>& call,
                                                         const std::function<bool()>& stopped) {
    Call c;
    c.call = &call;
    std::unique_lock<std::mutex> lock(mutex_);
    std::uintptr_t id = nextId_++;
    if (id == 0) id = nextId_++;  // 0 is never a call
    waiting_[id] = &c;
    if (!PostMessageW(window_, kMainThreadCallMessage, 0, static_cast<LPARAM>(id))) {
        const DWORD error = GetLastError();
        waiting_.erase(id);
        // A full queue takes posts again once the main thread has caught up;
        // a window that is gone never will.
        return error == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(window_) ? platform::HandOver::NoMainThread
                                                                           : platform::HandOver::Refused;
    }
    for (;;) {
        if (c.state == Call::Done) break;
        if (c.state == Call::Waiting && stopped()) {
            // Withdrawn before the main thread took it: its message, when it
            // comes, finds nothing to run.
            waiting_.erase(id);
            return platform::HandOver::Withdrawn;
        }
        c.changed.wait_for(lock, std::chrono::milliseconds(1));
    }
    // As the thread library's hand-over does: the call's exception goes on in the caller.
    if (c.error) std::rethrow_exception(c.error);
    return platform::HandOver::Ran;
}

void MainThreadDispatcher::Run(LPARAM lParam) {
    Call* c = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = waiting_.find(static_cast<std::uintptr_t>(lParam));
        if (it == waiting_.end() || it->second->state != Call::Waiting) return;
        c = it->second;
        waiting_.erase(it);
        c->state = Call::Running;
    }
    std::exception_ptr error;
    try {
        (*c->call)();
    } catch (...) {
        // Never across the window procedure: it goes back to the caller.
        error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    c->error = error;
    c->state = Call::Done;
    c->changed.notify_all();
}

}  // namespace vxm::win32
