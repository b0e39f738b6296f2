#pragma once
// The main-thread hand-over of the Win32 host: read threads' calls run on the
// main thread through its message queue.
#include <windows.h>

#include <mutex>
#include <set>

#include "platform/dispatcher.h"

namespace vxm::win32 {

// A read thread's report handed to the main thread.
inline constexpr UINT kMainThreadCallMessage = WM_APP + 2;

// Runs read threads' calls on the main thread through its message queue.
class MainThreadDispatcher final : public platform::IMainThreadDispatcher {
public:
    explicit MainThreadDispatcher(HWND window) : window_(window) {}
    bool RunOnMainThread(const std::function<void()>& call, const std::function<bool()>& stopped) override;
    // The main window's handler of kMainThreadCallMessage. A message whose
    // lParam is not a call of ours (another process can post anything) is ignored.
    void Run(LPARAM lParam);

private:
    struct Call;
    HWND window_;
    std::mutex mutex_;
    std::set<Call*> live_;
};

}  // namespace vxm::win32
