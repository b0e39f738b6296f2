// The road of a button press, against the fakes: report decoder, protocol
// messages, profile switches in the registry, and both microphone paths.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/monitor.h"
#include "profile/tdm.h"
#include "support/fake_monitor_host.h"

namespace vxm::app {
namespace {

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

    explicit Road(platform::OsVersion os = {2, 10}) {
        host.os = os;
        host.windows[kConfigWindowClass] = 77;
        auto& p = host.platform;
        dm = std::make_unique<TDM>(ProfilePlatform{p.registry, p.files, p.ini, p.paths, clock});
        window = std::make_unique<TVXMMONMAIN>(host, *dm);
        host.log.clear();
    }
    void Report(std::uint8_t id, std::vector<std::uint8_t> data) {
        window->uiHIDData1Data(u"HID\\X", u"\\\\?\\x", id, data.data(), static_cast<std::uint16_t>(data.size()));
    }
    // Delivers what was posted to the main window, as the message loop would.
    void Pump() {
        const auto log = host.log;
        for (const auto& line : log) {
            unsigned long long w = 0, m = 0;
            long long l = 0;
            if (std::sscanf(line.c_str(), "Post:1:%llu:%llu:%lld", &m, &w, &l) == 3) {
                window->HandleMessage(static_cast<unsigned>(m), w, l);
            }
        }
    }
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

TEST(RoadKeyReports, ButtonWithFunction28TogglesTheMicrophone) {
    Road r;
    r.host.coreAudio.AddMicrophone(u"mic");
    r.AssignToCurrentProfile(10, 28);
    r.Report(7, {0x00, 0x04, 0x00, 0, 0, 0, 0});
    EXPECT_EQ(r.Lines("Post:"), (std::vector<std::string>{"Post:1:7524:10:1"}));
    EXPECT_EQ(r.Lines("Debug:KeyIndex"), (std::vector<std::string>{"Debug:KeyIndex = 10 postmessage record!"}));
    r.Pump();
    EXPECT_TRUE(r.host.coreAudio.Of(u"mic").muted);
    r.host.log.clear();
    r.Report(7, {0x00, 0x04, 0x00, 0, 0, 0, 0});
    r.Pump();
    EXPECT_FALSE(r.host.coreAudio.Of(u"mic").muted) << "two presses restore the state";
}

TEST(RoadKeyReports, WrongSizesSeveralBitsAndOtherIdsAreIgnored) {
    Road r;
    r.Report(7, {0x00, 0x04, 0x00, 0, 0, 0, 0, 0});  // 8 data bytes
    r.Report(7, {0x03, 0x00, 0x00, 0, 0, 0, 0});     // two bits
    r.Report(7, {0x00, 0x00, 0x00, 0, 0, 0, 0});     // no bit
    r.Report(9, {0x01, 0x00, 0x00, 0, 0, 0, 0});
    r.Report(8, {0x01, 0x05, 0, 0, 0, 0, 0});        // profile 5 does not exist
    r.window->uiHIDData1Data(u"", u"", 7, nullptr, 7);
    EXPECT_TRUE(r.Lines("Post:").empty());
}

TEST(RoadKeyReports, MaskBitsAboveEighteenArriveAsProfileEventsOrNothing) {
    Road r;
    r.Report(7, {0x00, 0x00, 0x20, 0, 0, 0, 0});  // bit 21 -> event 21
    r.Report(7, {0x00, 0x00, 0x08, 0, 0, 0, 0});  // bit 19
    EXPECT_EQ(r.Lines("Post:"), (std::vector<std::string>{"Post:1:7524:21:1", "Post:1:7524:19:1"}));
    r.Pump();
    EXPECT_EQ(r.Lines("Send:"), (std::vector<std::string>{"Send:77:7040:0:0"}));
}

TEST(RoadProfileEvents, SwitchWritesTheProfileNumberAndTellsTheConfigurationWindow) {
    Road r;
    r.Report(8, {0x01, 0x03, 0, 0, 0, 0, 0});
    EXPECT_EQ(r.Lines("Post:"), (std::vector<std::string>{"Post:1:7524:24:1"}));
    r.Pump();
    ASSERT_NE(r.ProfileID(), nullptr);
    EXPECT_EQ(r.ProfileID()->type, platform::kRegDword);
    EXPECT_EQ(r.ProfileID()->data, (std::vector<std::uint8_t>{3, 0, 0, 0})) << "not 1 for profiles 1 to 4";
    EXPECT_EQ(r.Lines("Send:"), (std::vector<std::string>{"Send:77:7040:3:0"}));

    r.host.log.clear();
    r.Report(8, {0x01, 0x00, 0, 0, 0, 0, 0});
    r.Pump();
    EXPECT_EQ(r.ProfileID()->data, (std::vector<std::uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(r.Lines("Send:"), (std::vector<std::string>{"Send:77:7040:0:0"}));
}

TEST(RoadProfileEvents, DeviceValuesAreForwardedUnchanged) {
    Road r;
    r.Report(8, {0x02, 0x2A, 0, 0, 0, 0, 0});
    EXPECT_EQ(r.Lines("Post:"), (std::vector<std::string>{"Post:77:7042:42:0"}));
}

TEST(RoadMessages, ReloadSetsProfileIdAndAMissingKeyIsNotCreated) {
    Road r;
    EXPECT_TRUE(r.window->HandleMessage(kMsgReloadProfiles, 0, 3));
    ASSERT_NE(r.ProfileID(), nullptr);
    EXPECT_EQ(r.ProfileID()->data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_TRUE(r.window->HandleMessage(kMsgReloadSettings, 0, 0));

    Road fresh;
    fresh.dm->FOptionsFromConfigFile.ProfileRegFolder = u"software\\elsewhere";
    EXPECT_FALSE(fresh.window->SaveProfileID(2));
    EXPECT_FALSE(fresh.host.platform.registry.KeyExists(platform::RegRoot::CurrentUser, u"software\\elsewhere"));
    EXPECT_FALSE(fresh.window->HandleMessage(1234, 0, 0));
}

TEST(RoadMessages, ValuesOutsideTheRangeFromOtherProcessesAreIgnored) {
    Road r;
    r.host.coreAudio.AddMicrophone(u"mic");
    for (int b = 0; b < 19; ++b) r.AssignToCurrentProfile(b, 28);
    for (std::uintptr_t w : std::initializer_list<std::uintptr_t>{19, 20, 26, 1000, static_cast<std::uintptr_t>(-1)}) {
        r.window->HandleMessage(ButtonEventMessage, w, 1);
    }
    r.window->HandleMessage(ButtonEventMessage, 3, 256);
    r.window->HandleMessage(ButtonEventMessage, 3, -1);
    EXPECT_EQ(r.host.coreAudio.Of(u"mic").setMuteCalls, 0);
    EXPECT_EQ(r.ProfileID(), nullptr);
    EXPECT_TRUE(r.Lines("Send:").empty());
}

TEST(RoadMessages, AStoreErrorDuringReloadIsReportedNotFatal) {
    Road r;
    r.host.platform.registry.Put(platform::RegRoot::CurrentUser, Road::kKey, u"allsettings.pfd", platform::kRegSz, {1, 0});
    EXPECT_TRUE(r.window->HandleMessage(kMsgReloadSettings, 0, 0));
    EXPECT_EQ(r.Lines("Debug:message 7037 failed").size(), 1u);
}

TEST(MuteCoreAudio, NoMicrophoneDoesNothingAndEachToggleRetriesUntilOneAppears) {
    Road r;
    r.window->MicrophoneMute();
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.coreAudio.binds, 3) << "start-up, then once per toggle";
    EXPECT_TRUE(r.Lines("ShowMessage").empty());
    r.host.coreAudio.AddMicrophone(u"usb-mic");
    r.window->MicrophoneMute();
    EXPECT_TRUE(r.host.coreAudio.Of(u"usb-mic").muted);
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.coreAudio.binds, 4) << "bound once it worked";
    EXPECT_FALSE(r.host.coreAudio.Of(u"usb-mic").muted);
}

TEST(MuteCoreAudio, ANewDefaultMicrophoneIsBoundBeforeToggling) {
    Road r;
    r.host.coreAudio.AddMicrophone(u"old");
    r.window->MicrophoneMute();  // binds "old" and mutes it
    EXPECT_TRUE(r.host.coreAudio.Of(u"old").muted);
    r.host.coreAudio.AddMicrophone(u"headset");  // the user picks another default
    r.window->MicrophoneMute();
    EXPECT_TRUE(r.host.coreAudio.Of(u"headset").muted) << "the microphone in use is the one muted";
    EXPECT_TRUE(r.host.coreAudio.Of(u"old").muted);
}

TEST(MuteCoreAudio, UnknownStateIsNotToggledAndNotificationsFlipVolumeUpdating) {
    Road r;
    r.host.coreAudio.AddMicrophone(u"mic");
    r.host.coreAudio.Of(u"mic").getMuteFails = true;
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.coreAudio.Of(u"mic").setMuteCalls, 0);
    r.host.coreAudio.notify(true);
    EXPECT_TRUE(r.window->Audio().VolumeUpdating());
    r.host.coreAudio.notify(false);
    EXPECT_FALSE(r.window->Audio().VolumeUpdating());
}

TEST(MuteMixer, TwoTogglesRestoreTheStateOnTheMicrophoneLine) {
    Road r({2, 5});
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.mixer.value, 1u);
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.mixer.value, 0u);
    EXPECT_EQ(r.host.mixer.opens, r.host.mixer.closes);
    EXPECT_EQ(r.host.mixer.lineTypesAsked.front(), 0x1003u);
    EXPECT_EQ(r.host.coreAudio.binds, 0);
}

TEST(MuteMixer, SilentWithoutDeviceAndTwoMessagesWithoutMuteControl) {
    Road r({1, 4});  // the Windows 9x family
    r.host.mixer.devices = 0;
    r.window->MicrophoneMute();
    EXPECT_TRUE(r.Lines("ShowMessage").empty());
    EXPECT_EQ(r.host.mixer.opens, 0);

    r.host.mixer.devices = 1;
    r.host.mixer.hasMuteControl = false;
    r.window->MicrophoneMute();
    EXPECT_EQ(r.Lines("ShowMessage"),
              (std::vector<std::string>{"ShowMessage:GetLineInfo Error", "ShowMessage:GetLineInfo Error"}));
    EXPECT_EQ(r.host.mixer.opens, r.host.mixer.closes);

    r.host.log.clear();
    r.host.mixer.hasMuteControl = true;
    r.host.mixer.getResult = 11;
    r.host.mixer.setResult = 11;
    r.window->MicrophoneMute();
    EXPECT_EQ(r.Lines("ShowMessage"),
              (std::vector<std::string>{"ShowMessage:SetControlDetails Error", "ShowMessage:SetControlDetails Error"}));
}

}  // namespace
}  // namespace vxm::app
