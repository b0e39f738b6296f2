#include "monitor/program.h"

#include "platform/win32/wide.h"
#include "profile/tdm.h"

namespace vxm::win32 {

MonitorProgram::MonitorProgram(HINSTANCE instance, HidFactory makeHid)
    : instance_(instance), makeHid_(std::move(makeHid)), hookLibrary_(W(paths_.ExecutableFolder() + u"uiHook.dll")) {}

app::MonitorParts MonitorProgram::Parts() {
    app::MonitorParts parts;
    parts.createProfileManager = [this] {
        return std::make_unique<TDM>(ProfilePlatform{registry_, files_, ini_, paths_, clock_});
    };
    parts.createMainWindow = [this](IProfileSettings& settings) {
        hid_ = makeHid_();
        window_ = std::make_unique<MonitorWindow>(instance_, *hid_, ini_, debug_, paths_.ExecutableFolder());
        auto window = std::make_unique<app::TVXMMONMAIN>(
            app::MonitorDependencies{*window_, *window_, messageLoop_, windows_, programs_, ticks_, os_,
                                     window_->Messages(), debug_, paths_, registry_, files_, nls_, coreAudio_,
                                     mixer_, hookLibrary_, window_->Dispatcher(), sounds_, notices_},
            settings);
        // Stored settings that could not be loaded: say so once, with what
        // start-up stored before it stopped, and keep the tray, so the user
        // can open the configuration application to repair them (its reload
        // message then loads the repaired data).
        const u16 error = static_cast<TDM&>(settings).StartupErrorText();
        if (!error.empty()) {
            debug_.DebugOutput(u"start-up error: " + error);
            MessageBoxW(nullptr, W(error).c_str(), W(app::kMonitorTitle).c_str(),
                        MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
        }
        return window;
    };
    return parts;
}

int MonitorProgram::Run(const app::MonitorParts& parts) { return app::RunMonitor(process_, parts); }

}  // namespace vxm::win32
