#include "app/run_monitor.h"

#include "app/protocol.h"

namespace vxm::app {

int RunMonitor(IProcessHost& process, const MonitorParts& parts) {
    if (process.MutexExists(kMonitorWindowClass)) return 0;
    // Two starts at the same moment both find no mutex: the later creation
    // ends like any second instance.
    if (!process.CreateOwnedMutex(kMonitorWindowClass)) return 0;
    process.ConfigureApplication();
    std::unique_ptr<IProfileSettings> dm = parts.createProfileManager();
    std::unique_ptr<TVXMMONMAIN> window = parts.createMainWindow(*dm);
    // Before FinishNow is set: an end asked while the message is up cannot
    // destroy the window under it, and runs once the loop has control.
    window->ReportStartupError(dm->StartupErrorText());
    // The ending after the loop; the end of a session runs it from inside the
    // loop (RequestEnd), and then the loop's own end finds nothing left to do.
    bool ended = false;
    const auto end = [&] {
        if (ended) return;
        ended = true;
        process.ReleaseOwnedMutex();
        window.reset();
        dm.reset();
    };
    window->FinishNow = end;
    process.RunMessageLoop();
    end();
    return 0;
}

}  // namespace vxm::app
