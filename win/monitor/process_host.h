#pragma once
// The monitor's process on Windows: the named single-instance mutex and the
// main thread's message loop.
#include <windows.h>

#include "app/run_monitor.h"
#include "platform/win32/handle_win32.h"

namespace vxm::win32 {

class ProcessHost final : public app::IProcessHost {
public:
    bool MutexExists(u16view name) override;
    bool CreateOwnedMutex(u16view name) override;
    void ReleaseOwnedMutex() override;
    void ConfigureApplication() override;
    void RunMessageLoop() override;

private:
    UniqueHandle mutex_;
};

}  // namespace vxm::win32
