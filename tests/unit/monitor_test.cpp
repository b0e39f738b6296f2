// The monitor shell against a recording host: what exists when, what goes in
// which order, and what the tray and timers do.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/monitor.h"
#include "lang/translate.h"
#include "support/fake_monitor_host.h"

namespace vxm::app {
namespace {

using fake::FakeMonitorHost;

struct Settings final : IProfileSettings {
    explicit Settings(std::vector<std::string>* sink = nullptr) : log(sink) {
        if (log) log->push_back("create:TDM");
    }
    ~Settings() override {
        if (log) log->push_back("destroy:TDM");
    }
    std::uint8_t CurrentLanguage() const override { return language; }
    USAGE_AND_PAGE DeviceUsageAndPage() const override { return {0x0001, 0xFFA0}; }
    const TMouseProfileInfo& CurrentProfile() const override { return *profile; }
    u16 ProfileRegFolder() const override { return u"software\\test"; }
    void LoadProfileGroupSettingInfoFromRegistry() override {}
    void LoadAllProfileInfoFromRegistry() override {}
    bool LoadCurrentProfileInfoFromRegistry() override { return true; }
    std::unique_ptr<TMouseProfileInfo> profile = std::make_unique<TMouseProfileInfo>();
    std::vector<std::string>* log;
    std::uint8_t language = 0;
};

std::vector<std::string> Only(const std::vector<std::string>& log, std::initializer_list<const char*> prefixes) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        for (const char* p : prefixes) {
            if (line.rfind(p, 0) == 0) out.push_back(line);
        }
    }
    return out;
}

TEST(MonitorLifecycle, ComponentsComeUpInFormOrderAndGoInReverse) {
    FakeMonitorHost host;
    Settings dm;
    {
        TVXMMONMAIN window(host, dm);
        host.log.push_back("running");
    }
    // The arrival notifier's own start timer comes up inside it; "Sleep:20" is
    // the stop of reading that destruction begins with.
    const std::vector<std::string> expected = {
        "hook:load",       "create:tray",      "create:menu",   "create:hid",
        "create:timer",    "create:timer",    "create:hidevent",  "running",
        "Sleep:20",        "destroy:hidevent", "destroy:timer", "destroy:timer",
        "destroy:hid",     "destroy:menu",    "destroy:tray",    "hook:unload"};
    EXPECT_EQ(Only(host.log, {"create:", "destroy:", "running", "Sleep:20", "hook:"}), expected);
}

TEST(MonitorLifecycle, InitMonitorLoadsIconThenCaptionsThenAudioOnNt6) {
    FakeMonitorHost host;
    Settings dm;
    host.os = {2, 6};
    host.coreAudio.AddMicrophone(u"mic");
    TVXMMONMAIN window(host, dm);
    const auto calls = Only(host.log, {"LoadIconFromFile"});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "LoadIconFromFile:C:\\Mouse\\\\images\\0409\\icons\\logo.ico");
    EXPECT_EQ(window.uiLanguage1().Lang(), u"CH") << "CurrentLanguage 0 is the first language";
    EXPECT_EQ(host.coreAudio.binds, 1) << "the endpoint is bound last";
    EXPECT_TRUE(window.Audio().Bound());
    EXPECT_FALSE(host.iconLoaded) << "no file: the program's own icon stays";
    // The upper-case title and hint have no line in "CH"; the menu has.
    EXPECT_EQ(host.title, u"GAMING MOUSE MONITOR");
    EXPECT_EQ(host.hint, u"GAMING MOUSE DRIVER");
    EXPECT_EQ(host.menuCaptions, (std::vector<u16>{u"打开配置", u"关于软件", u"退出软件"}));
    EXPECT_EQ(host.menuVisible, (std::vector<bool>{true, false, true}));
}

TEST(MonitorLifecycle, NoAudioBeforeNt6AndNoSetLangWhenTheLanguageMatches) {
    FakeMonitorHost host;
    host.os = {2, 5};
    Settings dm;
    dm.language = 1;
    TVXMMONMAIN window(host, dm);
    EXPECT_EQ(window.uiLanguage1().Lang(), u"US");
    EXPECT_EQ(host.menuCaptions[0], u"Config") << "no \"Config\" line in US";
    int changes = 0;
    window.uiLanguage1().OnLanguageChanged = [&](TuiLanguage&, u16view, u16view) { ++changes; };
    window.UpdateLanguageAndCaptions();
    EXPECT_EQ(changes, 0) << "the language already matches";
    dm.language = 0;
    window.UpdateLanguageAndCaptions();  // as after 7037
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(host.menuCaptions[2], u"退出软件");
    EXPECT_EQ(host.coreAudio.binds, 0);
}

TEST(MonitorLifecycle, CaptionsPassThroughTranslateText) {
    FakeMonitorHost host;
    SetTranslateHook([](u16view t) { return u"<" + u16(t) + u">"; });
    Settings dm;
    TVXMMONMAIN window(host, dm);
    SetTranslateHook(nullptr);
    EXPECT_EQ(host.hint, u"<GAMING MOUSE DRIVER>");
    EXPECT_EQ(host.title, u"<GAMING MOUSE MONITOR>");
    EXPECT_EQ(host.menuCaptions[2], u"<Exit>");
}

struct FakeProcess final : IProcessHost {
    explicit FakeProcess(std::vector<std::string>& sink) : log(sink) {}
    bool MutexExists(u16view) override { return exists; }
    void CreateOwnedMutex(u16view name) override { log.push_back("CreateMutex:" + Utf8(name)); }
    void ReleaseOwnedMutex() override { log.push_back("ReleaseMutex"); }
    void ConfigureApplication() override { log.push_back("ConfigureApplication"); }
    void RunMessageLoop() override { log.push_back("loop"); }
    std::vector<std::string>& log;
    bool exists = false;
};

TEST(MonitorProcess, ManagerBeforeWindowAndMutexReleasedBeforeEitherGoes) {
    FakeMonitorHost host;
    FakeProcess process(host.log);
    MonitorParts parts;
    parts.createProfileManager = [&] { return std::make_unique<Settings>(&host.log); };
    parts.createMainWindow = [&](IProfileSettings& dm) { return std::make_unique<TVXMMONMAIN>(host, dm); };
    EXPECT_EQ(RunMonitor(process, parts), 0);
    const auto order = Only(host.log, {"CreateMutex", "ConfigureApplication", "create:TDM", "hook:", "loop",
                                       "ReleaseMutex", "destroy:TDM"});
    const std::vector<std::string> expected = {"CreateMutex:TVXMMONMAIN", "ConfigureApplication", "create:TDM",
                                               "hook:load", "loop", "ReleaseMutex", "hook:unload", "destroy:TDM"};
    EXPECT_EQ(order, expected);
}

TEST(MonitorLifecycle, MissingHookLibraryIsReportedOnceAndStartUpGoesOn) {
    FakeMonitorHost host;
    host.hookLibrary->loadResult = platform::HookLibraryLoad::Missing;
    Settings dm;
    TVXMMONMAIN window(host, dm);
    EXPECT_EQ(Only(host.log, {"ShowError"}),
              (std::vector<std::string>{"ShowError:Error:uiHook.dll can not be found!"}));
    EXPECT_FALSE(window.uiHook1().DLLLoaded());
    EXPECT_FALSE(Only(host.log, {"create:hidevent"}).empty()) << "start-up went on";
    window.Button1Click();  // records nothing without the library, and does not fail
    window.Button2Click();
}

TEST(MonitorProcess, SecondInstanceEndsAtOnceWithZeroAndCreatesNothing) {
    FakeMonitorHost host;
    FakeProcess process(host.log);
    process.exists = true;
    MonitorParts parts;
    parts.createProfileManager = [&] { return std::make_unique<Settings>(&host.log); };
    parts.createMainWindow = [&](IProfileSettings& dm) { return std::make_unique<TVXMMONMAIN>(host, dm); };
    EXPECT_EQ(RunMonitor(process, parts), 0);
    EXPECT_TRUE(host.log.empty());
}

TEST(MonitorTray, ClickBringsARunningConfigurationApplicationForward) {
    FakeMonitorHost host;
    Settings dm;
    TVXMMONMAIN window(host, dm);
    host.windows[u"TVXMCFGMAIN"] = 42;
    host.log.clear();
    window.TrayIcon1().OnClick();
    EXPECT_EQ(host.log, (std::vector<std::string>{"ShowWindow:42:5", "SetForegroundWindow:42"}));
}

TEST(MonitorTray, ClickStartsTheConfigurationApplicationByItsFullPathOnly) {
    FakeMonitorHost host;
    Settings dm;
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    host.menuClicks[0]();  // "Config"
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"ShellExecute:0:open:C:\\Mouse\\VXMCFG.EXE:C:\\Mouse\\:5"}));
}

TEST(MonitorTray, ExitPostsTheExitNoticeAndEndsTheLoop) {
    FakeMonitorHost host;
    Settings dm;
    TVXMMONMAIN window(host, dm);
    host.windows[u"TVXMCFGMAIN"] = 7;
    host.log.clear();
    host.menuClicks[2]();
    EXPECT_EQ(host.log, (std::vector<std::string>{"Post:7:7036:0:0", "Terminate"}));
}

TEST(MonitorAboutPage, AboutShowsOkHidesAndTheWebButtonOpensTheAddress) {
    FakeMonitorHost host;
    Settings dm;
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    window.About1Click();
    EXPECT_EQ(host.log, (std::vector<std::string>{"main:show", "ProcessMessages", "Sleep:50", "SetForegroundWindow:1"}));
    host.log.clear();
    window.AboutPageClick(43 + 25 + 5, 81 + 182 + 5);  // BtnGoWeb
    window.AboutPageClick(210, 330);                   // BtnOK
    window.AboutPageClick(5, 5);                       // background
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_EQ(host.log[0], "ShellExecute:1:open:" + Utf8(kMakerWebAddress) + "::1");
    EXPECT_EQ(host.log[1], "main:hide");
    ASSERT_NE(window.AboutScene().FindText(u"Label1"), nullptr);
    EXPECT_EQ(window.AboutScene().FindText(u"BtnOK")->GetText(), u"确定") << "the About page follows the language";
}

TEST(MonitorDeviceReading, ArrivalsInABurstGiveOneRestart1500msAfterTheLast) {
    FakeMonitorHost host;
    Settings dm;
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    // The notifier's own start arrival comes 1500 ms after creation...
    host.Advance(1500);
    // ...and three more follow 500 ms apart.
    for (int i = 0; i < 3; ++i) {
        host.hidEvent->OnDeviceArrival();
        host.Advance(500);
    }
    EXPECT_TRUE(Only(host.log, {"HidSearch"}).empty());
    host.Advance(999);
    EXPECT_TRUE(Only(host.log, {"HidSearch"}).empty());
    host.Advance(1);
    // Third arrival at 2500 ms, restart at 4000 ms: stop (20 ms), messages, 50 ms, search.
    EXPECT_EQ(Only(host.log, {"ProcessMessages", "Sleep", "HidSearch"}),
              (std::vector<std::string>{"Sleep:20", "ProcessMessages", "Sleep:50", "HidSearch@4070"}));
    EXPECT_FALSE(window.TimerDeviceArrial().Enabled()) << "one-shot";
    host.Advance(10000);
    EXPECT_EQ(Only(host.log, {"HidSearch"}).size(), 1u);
}

}  // namespace
}  // namespace vxm::app

#include "hid/hid_event.h"

namespace vxm {
namespace {

TEST(HidArrivalNotifier, StartArrivalOnceAfter1500msAndOnlyInterfaceArrivalsCount) {
    fake::FakeMonitorHost host;
    TuiHIDEvent ev(host.CreateTimer(1500));
    int arrivals = 0, removals = 0, changes = 0;
    ev.OnDeviceArrival = [&] { ++arrivals; };
    ev.OnDeviceRemove = [&] { ++removals; };
    ev.OnDeviceChange = [&] { ++changes; };
    host.Advance(1499);
    EXPECT_EQ(arrivals, 0);
    host.Advance(1);
    EXPECT_EQ(arrivals, 1);
    host.Advance(10000);
    EXPECT_EQ(arrivals, 1) << "the start timer fires once";

    ev.WMDeviceChange(kDbtDeviceArrival, kDbtDevTypDeviceInterface);
    ev.WMDeviceChange(kDbtDeviceArrival, 2);  // a volume
    ev.WMDeviceChange(kDbtDeviceRemoveComplete, kDbtDevTypDeviceInterface);
    ev.WMDeviceChange(kDbtDevNodesChanged, 0);
    ev.WMDeviceChange(0x8001, kDbtDevTypDeviceInterface);
    EXPECT_EQ(arrivals, 2);
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace vxm
