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
        return std::make_unique<app::TVXMMONMAIN>(
            app::MonitorDependencies{*window_, *window_, messageLoop_, windows_, programs_, ticks_, os_,
                                     window_->Messages(), debug_, paths_, registry_, files_, nls_, coreAudio_,
                                     mixer_, hookLibrary_, window_->Dispatcher(), sounds_, notices_},
            settings);
    };
    return parts;
}

int MonitorProgram::Run(const app::MonitorParts& parts) { return app::RunMonitor(process_, parts); }

}  // namespace vxm::win32
