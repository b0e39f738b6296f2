#pragma once
// The monitor's process: single-instance guard, profile manager before the
// window, message loop, mutex released before the window and the manager go.
#include <functional>
#include <memory>

#include "app/monitor.h"

namespace vxm::app {

class IProcessHost {
public:
    virtual ~IProcessHost() = default;
    // True also when the mutex exists but may not be opened (another
    // integrity level or user).
    virtual bool MutexExists(u16view name) = 0;
    // False when another instance got there first (it exists after all).
    virtual bool CreateOwnedMutex(u16view name) = 0;
    virtual void ReleaseOwnedMutex() = 0;
    virtual void ConfigureApplication() = 0;  // no task-bar button, main form hidden
    virtual void RunMessageLoop() = 0;
};

struct MonitorParts {
    std::function<std::unique_ptr<IProfileSettings>()> createProfileManager;
    std::function<std::unique_ptr<TVXMMONMAIN>(IProfileSettings&)> createMainWindow;
};

int RunMonitor(IProcessHost& process, const MonitorParts& parts);

}  // namespace vxm::app
