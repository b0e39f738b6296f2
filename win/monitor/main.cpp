// VXMMON.EXE: the gaming mouse's tray monitor.
#include "monitor/program.h"
#include "platform/win32/hid_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vxm::win32::MonitorProgram(instance, [] { return std::make_unique<vxm::win32::HidSystem>(); }).Run();
}
