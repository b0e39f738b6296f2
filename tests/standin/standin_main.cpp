// VXMMON_STANDIN.EXE: the monitor exactly as shipped, except that the mouse
// is the stand-in device behind the named pipe that VXM_STANDIN_PIPE names,
// and that VXM_SHOW_ABOUT shows the About page at start (for screenshots).
#include <cstdlib>

#include "monitor/program.h"
#include "platform/win32/wide.h"
#include "win/testing/standin_hid.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    std::unique_ptr<vxm::testing::StandInHidSystem> standIn;
    return vxm::win32::RunMonitorProgram(instance, [&](vxm::win32::MonitorHost& host) {
        const wchar_t* pipe = _wgetenv(L"VXM_STANDIN_PIPE");
        if (!pipe) return;
        standIn = std::make_unique<vxm::testing::StandInHidSystem>(host.RealHidSystem(), vxm::win32::U(pipe));
        host.SetHidSystem(standIn.get());
    }, [](vxm::app::TVXMMONMAIN& window) {
        if (_wgetenv(L"VXM_SHOW_ABOUT")) window.About1Click();
    });
}
