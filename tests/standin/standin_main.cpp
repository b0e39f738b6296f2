// VXMMON_STANDIN.EXE: the monitor exactly as shipped, except that the mouse
// is the stand-in device behind the named pipe that VXM_STANDIN_PIPE names,
// and that VXM_SHOW_ABOUT shows the About page at start (for screenshots).
#include <cstdlib>

#include "monitor/program.h"
#include "platform/win32/hid_win32.h"
#include "platform/win32/wide.h"
#include "standin/standin_hid.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vxm::win32::MonitorProgram program(instance, []() -> std::unique_ptr<vxm::platform::IHidSystem> {
        if (const wchar_t* pipe = _wgetenv(L"VXM_STANDIN_PIPE")) {
            return std::make_unique<vxm::testing::StandInHidSystem>(vxm::win32::U(pipe));
        }
        return std::make_unique<vxm::win32::HidSystem>();
    });
    vxm::app::MonitorParts parts = program.Parts();
    if (_wgetenv(L"VXM_SHOW_ABOUT")) {
        parts.createMainWindow = [make = parts.createMainWindow](vxm::IProfileSettings& settings) {
            auto window = make(settings);
            window->About1Click();
            return window;
        };
    }
    return program.Run(parts);
}
