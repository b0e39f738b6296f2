#include "monitor/program.h"

#include "common/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "profile/tdm.h"

namespace vxm::win32 {

int RunMonitorProgram(HINSTANCE instance, const std::function<void(MonitorHost&)>& configure,
                      const std::function<void(app::TVXMMONMAIN&)>& created) {
    Registry registry;
    FileSystem files;
    IniReader ini;
    SystemPaths paths;
    Clock clock;
    ProcessHost process;
    std::unique_ptr<MonitorHost> host;
    app::MonitorParts parts;
    parts.createProfileManager = [&] {
        return std::make_unique<TDM>(ProfilePlatform{registry, files, ini, paths, clock});
    };
    parts.createMainWindow = [&](IProfileSettings& settings) {
        host = std::make_unique<MonitorHost>(instance);
        if (configure) configure(*host);
        auto window = std::make_unique<app::TVXMMONMAIN>(*host, settings);
        host->Attach(window.get());
        // Stored settings that could not be loaded: say so once, with what
        // start-up stored before it stopped, and keep the tray, so the user
        // can open the configuration application to repair them (its reload
        // message then loads the repaired data).
        const u16 error = static_cast<TDM&>(settings).StartupErrorText();
        if (!error.empty()) {
            OutputDebugStringW((L"start-up error: " + W(error) + L"\n").c_str());
            MessageBoxW(nullptr, W(error).c_str(), L"GAMING MOUSE MONITOR", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
        }
        if (created) created(*window);
        return window;
    };
    return app::RunMonitor(process, parts);
}

}  // namespace vxm::win32
