// VXMMON.EXE: the gaming mouse's tray monitor.
#include "monitor/program.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return vxm::win32::RunMonitorProgram(instance, nullptr);
}
