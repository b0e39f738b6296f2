#pragma once
// The monitor program: the Win32 backends wired to the portable shell.
#include <windows.h>

#include <functional>

#include "platform/win32/monitor_host.h"

namespace vxm::win32 {

// Runs the monitor; `configure` may adjust the host before the main window
// comes up (test builds replace the device there).
// `created` runs once the main window exists.
int RunMonitorProgram(HINSTANCE instance, const std::function<void(MonitorHost&)>& configure,
                      const std::function<void(app::TVXMMONMAIN&)>& created = nullptr);

}  // namespace vxm::win32
