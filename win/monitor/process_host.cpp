#include "monitor/process_host.h"

#include "platform/win32/message_loop_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {

bool ProcessHost::MutexExists(u16view name) {
    const UniqueHandle mutex(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, W(name).c_str()));
    // Refused: it exists, made by an instance at another integrity level (an
    // elevated one) or under other rights.
    return mutex || GetLastError() == ERROR_ACCESS_DENIED;
}

bool ProcessHost::CreateOwnedMutex(u16view name) {
    UniqueHandle mutex(CreateMutexW(nullptr, TRUE, W(name).c_str()));
    const DWORD error = GetLastError();
    // Another start created it since the check.
    if (mutex && error == ERROR_ALREADY_EXISTS) return false;
    if (!mutex && error == ERROR_ACCESS_DENIED) return false;
    // Any other failure (an object of another kind holds the name) leaves the
    // monitor running without the guard rather than not at all.
    mutex_ = std::move(mutex);
    return true;
}

void ProcessHost::ReleaseOwnedMutex() {
    if (!mutex_) return;
    ReleaseMutex(mutex_.Get());
    mutex_.Reset();
}

void ProcessHost::ConfigureApplication() {
    // The main window is a hidden tool window (see MonitorWindow): no task-bar
    // button and not shown when the loop starts. Nothing else to set here.
}

void ProcessHost::RunMessageLoop() { MessageLoop().Run(); }

}  // namespace vxm::win32
