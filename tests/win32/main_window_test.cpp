// The monitor's main window on Wine: an exception a handler raises stays
// inside the window procedure, and the window goes on handling messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "app/protocol.h"
#include "monitor/main_window.h"
#include "support/fake_monitor_host.h"

namespace vxm::win32 {
namespace {

// A profile manager whose reload of the settings fails with what no handler
// of the window logic expects; the others succeed.
struct FailingSettings final : IProfileSettings {
    std::uint8_t CurrentLanguage() const override { return 0; }
    USAGE_AND_PAGE DeviceUsageAndPage() const override { return {0x0001, 0xFFA0}; }
    const TMouseProfileInfo& CurrentProfile() const override { return profile; }
    u16 ProfileRegFolder() const override { return u"software\\test"; }
    void LoadProfileGroupSettingInfoFromRegistry() override { ++groupLoads; }
    void LoadAllProfileInfoFromRegistry() override {
        ++settingsLoads;
        if (fail) throw 42;  // not a std::exception: the window logic lets it through
    }
    bool LoadCurrentProfileInfoFromRegistry() override { return true; }
    u16 StartupErrorText() const override { return {}; }
    bool MuteIndicator() const override { return false; }
    bool MuteSound() const override { return false; }
    int MuteButton() const override { return -1; }
    void SetMuteButton(int) override {}
    void SetCurrentLanguage(std::uint8_t) override {}
    u16 MuteTarget() const override { return u"default"; }
    int MuteOverlay() const override { return 0; }
    TMouseProfileInfo profile;
    bool fail = true;
    int groupLoads = 0, settingsLoads = 0;
};

int Count(const std::vector<std::string>& log, const std::string& line) {
    return static_cast<int>(std::count(log.begin(), log.end(), line));
}

TEST(MonitorWindow, AnExceptionInAHandlerIsReportedAndTheWindowGoesOn) {
    fake::FakeMonitorHost host;
    fake::FakeHidSystem hid;
    std::vector<u16> reported;
    MonitorWindow shell(GetModuleHandleW(nullptr), hid, host.platform.ini, host, u"C:\\Mouse\\",
                        [&](u16view message) { reported.emplace_back(message); });
    FailingSettings settings;
    const app::MonitorDependencies h = host;
    app::TVXMMONMAIN window(app::MonitorDependencies{shell, shell, h.messageLoop, h.windows, h.programs, h.ticks,
                                                     h.os, h.messageBox, h.debug, h.paths, h.registry, h.files,
                                                     h.nls, h.coreAudio, h.mixer, h.hookLibrary, shell.Dispatcher(),
                                                     h.sounds, h.notices},
                            settings);
    const HWND hwnd = reinterpret_cast<HWND>(shell.MainWindow());
    ASSERT_NE(hwnd, nullptr);

    // Twice: the second failure is handled like the first.
    EXPECT_EQ(SendMessageW(hwnd, app::kMsgReloadSettings, 0, 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, app::kMsgReloadSettings, 0, 0), 0);
    EXPECT_EQ(settings.settingsLoads, 2);
    EXPECT_EQ(reported.size(), 2u);
    EXPECT_EQ(Count(host.log, "Debug:exception in a window message"), 2);

    // The window still answers, and a reload that succeeds reports nothing.
    settings.fail = false;
    EXPECT_EQ(SendMessageW(hwnd, app::kMsgReloadProfiles, 0, 9), 0);
    EXPECT_EQ(settings.groupLoads, 1);
    EXPECT_EQ(settings.settingsLoads, 3);
    EXPECT_EQ(reported.size(), 2u);
}

}  // namespace
}  // namespace vxm::win32
