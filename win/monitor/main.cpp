// VXMMON.EXE: the gaming mouse's tray monitor.
#include <windows.h>

#include "app/monitor.h"
#include "common/text.h"
#include "platform/win32/monitor_host.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "profile/tdm.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vxm::win32::Registry registry;
    vxm::win32::FileSystem files;
    vxm::win32::IniReader ini;
    vxm::win32::SystemPaths paths;
    vxm::win32::Clock clock;
    vxm::win32::ProcessHost process;
    std::unique_ptr<vxm::win32::MonitorHost> host;
    vxm::app::MonitorParts parts;
    parts.createProfileManager = [&] {
        return std::make_unique<vxm::TDM>(vxm::ProfilePlatform{registry, files, ini, paths, clock});
    };
    parts.createMainWindow = [&](vxm::app::IProfileSettings& settings) {
        host = std::make_unique<vxm::win32::MonitorHost>(instance);
        auto window = std::make_unique<vxm::app::TVXMMONMAIN>(*host, settings);
        host->Attach(window.get());
        // Stored settings that could not be loaded: say so once and keep the
        // tray, so the user can open the configuration application to repair
        // them (its reload message then loads the repaired data).
        const auto& error = static_cast<vxm::TDM&>(settings).StartupError();
        if (!error.empty()) {
            const std::wstring text = L"The mouse settings could not be loaded:\n\n" +
                                      vxm::win32::W(vxm::Utf16(error)) +
                                      L"\n\nNothing stored was changed. The monitor keeps running; open the "
                                      L"configuration application to repair the settings.";
            OutputDebugStringW((L"start-up error: " + vxm::win32::W(vxm::Utf16(error)) + L"\n").c_str());
            MessageBoxW(nullptr, text.c_str(), L"GAMING MOUSE MONITOR", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
        }
        return window;
    };
    return vxm::app::RunMonitor(process, parts);
}
