// The monitor's main window against a recording host: what exists when, what
// goes in which order, and what the tray, the About page and the timers do.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "app/monitor.h"
#include "app/monitor_languages.h"
#include "lang/translate.h"
#include "support/fake_monitor_host.h"
#include "support/fake_profile_settings.h"
#include "unit/lang_rig.h"

namespace vxm::app {
namespace {

using fake::FakeMonitorHost;
using fake::FakeProfileSettings;
using fake::Only;

TEST(MonitorLifecycle, ComponentsComeUpInFormOrderAndGoInReverse) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
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
    FakeProfileSettings dm;
    host.os = {2, 6};
    host.coreAudio.AddMicrophone(u"mic");
    TVXMMONMAIN window(host, dm);
    const auto calls = Only(host.log, {"LoadIconFromFile"});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "LoadIconFromFile:C:\\Mouse\\\\images\\0409\\icons\\logo.ico");
    EXPECT_EQ(window.uiLanguage1().Lang(), u"CH") << "CurrentLanguage 0 is the first language";
    EXPECT_EQ(host.coreAudio.opens, 1) << "the endpoint is bound last";
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
    FakeProfileSettings dm;
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
    EXPECT_EQ(host.coreAudio.opens, 0);
}

TEST(MonitorLifecycle, CaptionsPassThroughTranslateText) {
    FakeMonitorHost host;
    SetTranslateHook([](u16view t) { return u"<" + u16(t) + u">"; });
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    SetTranslateHook(nullptr);
    EXPECT_EQ(host.hint, u"<GAMING MOUSE DRIVER>");
    EXPECT_EQ(host.title, u"<GAMING MOUSE MONITOR>");
    EXPECT_EQ(host.menuCaptions[2], u"<Exit>");
}


TEST(MonitorLifecycle, MissingHookLibraryIsReportedOnceAndStartUpGoesOn) {
    FakeMonitorHost host;
    host.hookLibrary->loadResult = platform::HookLibraryLoad::Missing;
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    EXPECT_EQ(Only(host.log, {"ShowError"}),
              (std::vector<std::string>{"ShowError:Error:uiHook.dll can not be found!"}));
    EXPECT_FALSE(window.uiHook1().DLLLoaded());
    EXPECT_FALSE(Only(host.log, {"create:hidevent"}).empty()) << "start-up went on";
    window.Button1Click();  // records nothing without the library, and does not fail
    window.Button2Click();
}

TEST(MonitorTray, ClickBringsARunningConfigurationApplicationForward) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    host.windows[u"TVXMCFGMAIN"] = 42;
    host.log.clear();
    window.TrayIcon1().OnClick();
    EXPECT_EQ(host.log, (std::vector<std::string>{"ShowWindowAsync:42:5", "SetForegroundWindow:42"}));
    // Minimized, it is restored: showing alone would leave it minimized.
    host.iconic.insert(42);
    host.log.clear();
    window.TrayIcon1().OnClick();
    EXPECT_EQ(host.log, (std::vector<std::string>{"ShowWindowAsync:42:9", "SetForegroundWindow:42"}));
}

TEST(MonitorTray, ClickStartsTheConfigurationApplicationByItsFullPathOnly) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    host.menuClicks[0]();  // "Config"
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"StartProgram:open:C:\\Mouse\\VXMCFG.EXE:C:\\Mouse\\:5"}));
}

TEST(MonitorTray, OneStartPerClickBurstUntilTheWindowExistsTheProgramEndsOrTimePasses) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    auto starts = [&] { return Only(host.log, {"StartProgram"}).size(); };
    // A double click and a third one: the first start has no window yet.
    for (int i = 0; i < 3; ++i) window.TrayIcon1().OnClick();
    EXPECT_EQ(starts(), 1u);
    host.Advance(kConfigStartGraceMs - 1);
    window.Config1Click();
    EXPECT_EQ(starts(), 1u) << "still starting";
    host.Advance(1);
    window.Config1Click();
    EXPECT_EQ(starts(), 2u) << "a start that shows no window in time does not block for ever";

    // A start that ended without a window: the next click starts again.
    *host.started.back() = false;
    window.Config1Click();
    EXPECT_EQ(starts(), 3u);

    // Once the window exists it is brought forward; after it closed, a click starts at once.
    host.windows[kConfigWindowClass] = 42;
    window.Config1Click();
    EXPECT_EQ(Only(host.log, {"ShowWindowAsync"}).size(), 1u);
    host.windows.clear();
    window.Config1Click();
    EXPECT_EQ(starts(), 4u);

    // A start that failed holds nothing up.
    host.windows.clear();
    host.Advance(kConfigStartGraceMs);
    host.startSucceeds = false;
    window.Config1Click();
    window.Config1Click();
    EXPECT_EQ(starts(), 6u);
}

TEST(MonitorTray, ExitPostsTheExitNoticeAndEndsTheLoop) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    host.windows[u"TVXMCFGMAIN"] = 7;
    host.log.clear();
    host.menuClicks[2]();
    EXPECT_EQ(host.log, (std::vector<std::string>{"Post:7:7036:0:0", "Terminate"}));
}

TEST(MonitorAboutPage, AboutShowsOkHidesAndTheWebButtonOpensTheAddress) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
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
    // Hidden again, the page's buttons do nothing, whoever posts the click.
    host.log.clear();
    window.AboutPageClick(43 + 25 + 5, 81 + 182 + 5);
    window.AboutPageClick(210, 330);
    EXPECT_TRUE(host.log.empty());
    ASSERT_NE(window.AboutScene().FindText(u"Label1"), nullptr);
    EXPECT_EQ(window.AboutScene().FindText(u"BtnOK")->GetText(), u"确定") << "the About page follows the language";
}

TEST(MonitorMessages, AProfileIdOutsideZeroToFourReloadsButLeavesTheValueAsItWas) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    TVXMMONMAIN window(host, dm);
    auto& registry = host.platform.registry;
    registry.Put(platform::RegRoot::CurrentUser, u"software\\test", u"ProfileID", platform::kRegDword, {2, 0, 0, 0});
    auto profileId = [&] {
        return registry.Find(platform::RegRoot::CurrentUser, u"software\\test", u"ProfileID")->data;
    };
    // Judged on the whole value: on a 64-bit build 0x100000003 is not 3.
    std::vector<std::intptr_t> outside = {-1, 5, 256, INTPTR_MIN, INTPTR_MAX};
    if (sizeof(std::intptr_t) == 8) outside.push_back(static_cast<std::intptr_t>(0x100000003LL));
    for (std::intptr_t l : outside) {
        EXPECT_TRUE(window.HandleMessage(kMsgReloadProfiles, 0, l));
        EXPECT_EQ(profileId(), (std::vector<std::uint8_t>{2, 0, 0, 0})) << l;
    }
    EXPECT_EQ(dm.groupLoads, static_cast<int>(outside.size())) << "each one still reloads";
    EXPECT_EQ(dm.settingsLoads, dm.groupLoads);
    EXPECT_EQ(dm.profileLoads, dm.groupLoads);
    for (std::intptr_t l : {0, 4}) {
        window.HandleMessage(kMsgReloadProfiles, 0, l);
        EXPECT_EQ(profileId(), (std::vector<std::uint8_t>{static_cast<std::uint8_t>(l), 0, 0, 0}));
    }
}

TEST(MonitorTeardown, MessagesSentWhileTheTrayIconGoesAreIgnored) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    auto window = std::make_unique<TVXMMONMAIN>(host, dm);
    EXPECT_EQ(host.attached, window.get()) << "attached once complete";
    EXPECT_TRUE(host.Deliver(kMsgReloadSettings, 0, 0));
    // Another process sends while the removal waits on the shell: the menu,
    // the timers and reading are gone by then.
    std::vector<bool> handled;
    host.onTrayRemoval = [&] {
        for (unsigned msg : {kMsgReloadSettings, kMsgReloadProfiles, ButtonEventMessage}) {
            handled.push_back(host.Deliver(msg, msg == ButtonEventMessage ? 21 : 0, 1));
        }
    };
    const int loadsBefore = dm.settingsLoads;
    window.reset();
    EXPECT_EQ(handled, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(dm.settingsLoads, loadsBefore);
    EXPECT_EQ(host.attached, nullptr);
}

TEST(MonitorDeviceReading, ArrivalsInABurstGiveOneRestart1500msAfterTheLast) {
    FakeMonitorHost host;
    FakeProfileSettings dm;
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

namespace vxm::app {
namespace {

// Where no configuration application sets them, the tray menu holds the
// mute button and the language as radio choices that show what is stored;
// a choice sets it, a refusal is told and changes nothing shown; "Config"
// shows only with a configuration application installed; the bus's toggle
// mutes as the button does.
TEST(MonitorSettingsMenu, ChoicesShowAndSetTheStoredSettingsAndARefusalIsTold) {
    FakeMonitorHost host;
    host.settingsInMenu = true;
    host.configInstalled = false;
    host.os = {2, 6};
    host.coreAudio.AddMicrophone(u"mic");
    FakeProfileSettings dm;
    dm.muteButton = 10;
    TVXMMONMAIN window(host, dm);
    EXPECT_EQ(host.menuCaptions, (std::vector<u16>{u"打开配置", u"关于软件", u"静音按键", u"语言", u"退出软件"}));
    EXPECT_EQ(host.menuVisible, (std::vector<bool>{false, false, true, true, true}));
    const auto& buttons = host.menuChoices.at(2);
    ASSERT_EQ(buttons.first.size(), 20u);
    EXPECT_EQ(buttons.first[0], u"无");
    EXPECT_EQ(buttons.first[11], u"按键 11");
    EXPECT_EQ(buttons.second, 11) << "button 11 (index 10) is checked";
    EXPECT_EQ(host.menuChoices.at(3), (std::pair<std::vector<u16>, int>{{u"CH", u"US"}, 0}));

    host.menuChoose.at(2)(4);
    EXPECT_EQ(dm.muteButton, 3);
    EXPECT_EQ(host.menuChoices.at(2).second, 4);
    host.menuChoose.at(3)(1);
    EXPECT_EQ(dm.language, 1);
    EXPECT_EQ(window.uiLanguage1().Lang(), u"US");
    EXPECT_EQ(host.menuCaptions[4], u"Exit");
    EXPECT_EQ(host.menuCaptions[2], u"Mute button");
    EXPECT_EQ(host.menuChoices.at(2).first[0], u"None");
    EXPECT_EQ(host.menuChoices.at(3).second, 1);
    EXPECT_NE(window.SetLanguage(u"XX").find(u"the languages are CH, US"), u16::npos);
    EXPECT_EQ(window.SetLanguage(u"ch"), u"") << "names match without case";
    EXPECT_EQ(dm.language, 0);
    EXPECT_NE(window.SetMuteButton(19), u"");
    EXPECT_EQ(dm.muteButton, 3);

    dm.refusal = "the stored record of profile 4 is damaged";
    host.menuChoose.at(2)(0);
    EXPECT_EQ(dm.muteButton, 3);
    EXPECT_EQ(host.menuChoices.at(2).second, 4) << "the stored button stays checked";
    const auto errors = Only(host.log, {"ShowError:"});
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("profile 4 is damaged"), std::string::npos) << errors[0];

    // The bus's toggle runs the mute button's function, also with none assigned.
    window.ToggleMute();
    EXPECT_TRUE(host.coreAudio.Of(u"mic").muted);
    dm.muteButton = -1;
    window.ToggleMute();
    EXPECT_FALSE(host.coreAudio.Of(u"mic").muted);
}

// The language a first start takes where no configuration application sets
// it: "CH" for a Chinese user locale, "US" for any other, counted in the
// list as the window has it ("ui.local" first).
TEST(MonitorSettingsMenu, FirstStartLanguageFollowsTheUserLocaleInTheWindowsList) {
    fake::FakePlatform p;
    fake::FakeNationalLanguage nls;
    const auto choice = [&](std::uint32_t lcid) {
        nls.userLcid = lcid;
        MonitorLanguages languages(LanguageDependencies{nls, p.files, p.paths.exeFolder, u16(), false, {}});
        return languages.LocaleChoice();
    };
    EXPECT_EQ(choice(0x0804), 0);  // CHS
    EXPECT_EQ(choice(0x0409), 1);  // ENU
    EXPECT_EQ(choice(0x040A), 1);  // ESP: every other locale
    p.files.PutFile(p.paths.exeFolder + u"ui.local", lang_rig::Stream({{u"", u"Exit\r\n"}, {u"DE", u"Exit=Ende\r\n"}}));
    EXPECT_EQ(choice(0x0804), 1);
    EXPECT_EQ(choice(0x0409), 2);
    MonitorLanguages languages(LanguageDependencies{nls, p.files, p.paths.exeFolder, u16(), false, {}});
    EXPECT_EQ(languages.Names(), (std::vector<u16>{u"DE", u"CH", u"US"}));
    EXPECT_EQ(languages.IndexOf(u"us"), 2);
}

}  // namespace
}  // namespace vxm::app
