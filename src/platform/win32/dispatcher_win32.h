#pragma once
// The main-thread hand-over of the Win32 host: read threads' calls run on the
// main thread through its message queue.
#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>

#include "platform/dispatcher.h"

namespace vxm::win32 {

// A read thread's report handed to the main thread.
inline constexpr UINT kMainThreadCallMessage = WM_APP + 2;

// Runs worker threads' calls on the main thread through its message queue:
// each call is posted to `window` as kMainThreadCallMessage, whose handler
// on the main thread passes the message's lParam to Run.
class MainThreadDispatcher final : public platform::IMainThreadDispatcher {
public:
    explicit MainThreadDispatcher(HWND window) : window_(window) {}
    MainThreadDispatcher(const MainThreadDispatcher&) = delete;
    MainThreadDispatcher& operator=(const MainThreadDispatcher&) = delete;

    platform::HandOver RunOnMainThread(const std::function<void()>& call,
                                       const std::function<bool()>& stopped) override;
    // The main window's handler of kMainThreadCallMessage. The message names
    // its call by number: one that was withdrawn, has run already, or was
    // never ours (another process can post anything) is ignored.
    void Run(LPARAM lParam);

private:
    struct Call;
    HWND window_;
    std::mutex mutex_;
    std::uintptr_t nextId_ = 1;
    std::map<std::uintptr_t, Call*> waiting_;
};

}  // namespace vxm::win32
