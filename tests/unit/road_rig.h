#pragma once
// The main window over the recording host with a real profile manager on the
// fake registry: reports go in, what the window did comes out of the log.
#include <memory>
#include <string>
#include <vector>

#include "app/monitor.h"
#include "profile/tdm.h"
#include "support/fake_monitor_host.h"

namespace vxm::app::road_rig {

using fake::FakeMonitorHost;

struct FixedClock final : platform::IClock {
    double LocalDateTime() override { return 46000.0; }
};

struct Road {
    FakeMonitorHost host;
    FixedClock clock;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TVXMMONMAIN> window;
    static constexpr char16_t kKey[] = u"software\\software\\zrngmmouse";

    // The tray as it was before it showed the microphone's state, which the
    // road's own tests leave aside.
    static constexpr char kPlainTray[] = "[options]\nMuteIndicator=0\n";
    // `configIni`: the text of config.ini beside the program; none without it.
    explicit Road(platform::OsVersion os = {2, 10}, const char* configIni = kPlainTray) {
        host.os = os;
        host.windows[kConfigWindowClass] = 77;
        auto& p = host.platform;
        if (configIni) p.files.PutText(p.paths.exeFolder + u"config.ini", configIni);
        dm = std::make_unique<TDM>(ProfilePlatform{p.registry, p.files, p.ini, p.paths, clock});
        window = std::make_unique<TVXMMONMAIN>(host, *dm);
        host.log.clear();
    }
    void Report(std::uint8_t id, std::vector<std::uint8_t> data) {
        window->uiHIDData1Data(u"HID\\X", u"\\\\?\\x", id, data.data(), static_cast<std::uint16_t>(data.size()));
    }
    // Delivers what was posted to the main window, as the message loop would.
    void Pump() { host.DeliverPosted(); }
    std::vector<std::string> Lines(const char* prefix) const {
        std::vector<std::string> out;
        for (const auto& l : host.log) {
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        }
        return out;
    }
    const platform::RegValue* ProfileID() { return host.platform.registry.Find(platform::RegRoot::CurrentUser, kKey, u"ProfileID"); }
    void AssignToCurrentProfile(int button, Word function) {
        auto p = std::make_unique<TMouseProfileInfo>(*dm->FCurrentProfileInfo);
        p->ConfigInfo.ButtonFuncInfo[button].FunctionIndex = function;
        *dm->FCurrentProfileInfo = *p;
    }
};

}  // namespace vxm::app::road_rig
