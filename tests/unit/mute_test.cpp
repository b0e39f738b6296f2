// The microphone mute of a button with the function 28: Core Audio on NT 6
// and later (no microphone, a new default one, an unknown state), the legacy
// mixer before.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "support/fake_profile_settings.h"
#include "unit/road_rig.h"

namespace vxm::app {
namespace {

using namespace road_rig;

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

// What the tray shows of the microphone: the badge and the hint's second
// line, read after a toggle, at start-up and when the endpoint reports a
// change; nothing at all with MuteIndicator=0.
namespace vxm::app {
namespace {

using namespace road_rig;
using fake::FakeCoreAudio;
using fake::FakeProfileSettings;
using fake::Only;

constexpr char16_t kLiveHint[] = u"GAMING MOUSE DRIVER\n麦克风已开启";
constexpr char16_t kMutedHint[] = u"GAMING MOUSE DRIVER\n麦克风已静音";

struct Shown {
    FakeMonitorHost host;
    FakeProfileSettings dm;
    std::unique_ptr<TVXMMONMAIN> window;
    explicit Shown(bool microphone = true, platform::OsVersion os = {2, 10}) {
        host.os = os;
        if (microphone) host.coreAudio.AddMicrophone(u"mic");
        dm.muteIndicator = true;
    }
    void Start() { window = std::make_unique<TVXMMONMAIN>(host, dm); }
    FakeCoreAudio::Endpoint& Mic() { return host.coreAudio.Of(u"mic"); }
    // The system changes the state and tells the endpoint's callback.
    void External(bool muted) {
        Mic().muted = muted;
        host.coreAudio.notify(true);
        host.coreAudio.notify(false);
    }
    void Pump() {
        host.DeliverPosted();
        host.log.erase(std::remove_if(host.log.begin(), host.log.end(),
                                      [](const std::string& l) { return l.rfind("Post:1:", 0) == 0; }),
                       host.log.end());
    }
};

TEST(MuteIndicator, ATogglesResultShowsAsBadgeAndHintLineInTheCurrentLanguage) {
    Shown s;
    s.Start();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, kLiveHint) << "read once the endpoint is bound at start-up";
    s.host.log.clear();
    s.window->MicrophoneMute();
    EXPECT_TRUE(s.host.badge);
    EXPECT_EQ(s.host.hint, kMutedHint);
    EXPECT_EQ(s.window->ShownMicrophoneState(), MicrophoneState::Muted);
    // The configuration application switches the language: the first line as
    // before, the state line in the new language (US has neither row).
    s.dm.language = 1;
    EXPECT_TRUE(s.host.Deliver(kMsgReloadSettings, 0, 0));
    EXPECT_EQ(s.host.hint, u"GAMING MOUSE DRIVER\nMicrophone muted");
    s.window->MicrophoneMute();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, u"GAMING MOUSE DRIVER\nMicrophone live");
    EXPECT_EQ(Only(s.host.log, {"tray:badge", "tray:plain"}), (std::vector<std::string>{"tray:badge", "tray:plain"}));
    EXPECT_TRUE(Only(s.host.log, {"Sound:"}).empty()) << "MuteSound is off by default";
}

TEST(MuteIndicator, AChangeMadeElsewhereIsShownWhenItsPostArrives) {
    Shown s;
    s.dm.muteSound = true;
    s.Start();
    s.host.log.clear();
    s.External(true);
    EXPECT_EQ(Only(s.host.log, {"Post:"}), (std::vector<std::string>{"Post:1:7525:0:0"}));
    EXPECT_FALSE(s.host.badge) << "the audio thread shows nothing itself";
    s.Pump();
    EXPECT_TRUE(s.host.badge);
    EXPECT_EQ(s.host.hint, kMutedHint);
    s.External(false);
    s.Pump();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, kLiveHint);
    EXPECT_TRUE(Only(s.host.log, {"Sound:"}).empty()) << "only the button's toggle is heard";
}

TEST(MuteIndicator, AStateThatCannotBeReadShowsThePlainIconAndHint) {
    Shown s;
    s.Mic().getMuteFails = true;
    s.Start();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, u"GAMING MOUSE DRIVER");
    s.Mic().getMuteFails = false;
    s.External(true);
    s.Pump();
    ASSERT_TRUE(s.host.badge);
    // Muted, then unreadable: no guess that it is still muted.
    s.Mic().getMuteFails = true;
    s.External(true);
    s.Pump();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, u"GAMING MOUSE DRIVER");
    EXPECT_EQ(s.window->ShownMicrophoneState(), MicrophoneState::Unknown);

    Shown none(false);
    none.Start();
    none.window->MicrophoneMute();
    EXPECT_FALSE(none.host.badge);
    EXPECT_EQ(none.host.hint, u"GAMING MOUSE DRIVER") << "no endpoint: unknown";
    EXPECT_TRUE(none.host.Deliver(kMsgMicrophoneChanged, 0, 0));
    EXPECT_EQ(none.host.coreAudio.binds, 2) << "reading never binds; start-up and the toggle did";
}

TEST(MuteIndicator, TheMixerPathIsReadWithoutItsMessages) {
    // Before NT 6: the microphone line's mute, read at start-up and after a toggle.
    Shown s(false, {2, 5});
    s.host.mixer.value = 1;
    s.Start();
    EXPECT_TRUE(s.host.badge);
    s.window->MicrophoneMute();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, kLiveHint);
    EXPECT_EQ(s.host.mixer.opens, s.host.mixer.closes);

    // A line without a mute control: the toggle says so, twice as before; a
    // mere read for the tray says nothing, at start-up or later.
    Shown bare(false, {2, 5});
    bare.host.mixer.hasMuteControl = false;
    bare.Start();
    EXPECT_TRUE(Only(bare.host.log, {"ShowMessage"}).empty()) << "no message box at every start";
    bare.host.log.clear();
    bare.window->MicrophoneMute();
    EXPECT_EQ(Only(bare.host.log, {"ShowMessage"}),
              (std::vector<std::string>{"ShowMessage:GetLineInfo Error", "ShowMessage:GetLineInfo Error"}));
    EXPECT_EQ(bare.host.hint, u"GAMING MOUSE DRIVER");

    // Another process posts a change while the toggle's message is up: the
    // toggle's mixer handle stays its own.
    bare.host.log.clear();
    bare.host.whileMessageShown = [&] { bare.host.Deliver(kMsgMicrophoneChanged, 0, 0); };
    const int opens = bare.host.mixer.opens;
    bare.window->MicrophoneMute();
    EXPECT_EQ(bare.host.mixer.opens - opens, 3) << "the toggle's read and write, then its own read of the state";
    EXPECT_EQ(bare.host.mixer.opens, bare.host.mixer.closes);
    bare.host.whileMessageShown = nullptr;

    Shown unreadable(false, {2, 5});
    unreadable.host.mixer.getResult = 11;
    unreadable.Start();
    EXPECT_TRUE(Only(unreadable.host.log, {"ShowMessage"}).empty());
    EXPECT_EQ(unreadable.host.hint, u"GAMING MOUSE DRIVER");
}

TEST(MuteIndicator, IsOnWithoutConfigIniAndWithAMalformedValue) {
    for (const char* config : {static_cast<const char*>(nullptr), "[options]\nMuteIndicator=on\n"}) {
        Road r({2, 10}, config);
        r.host.coreAudio.AddMicrophone(u"mic");
        r.window->MicrophoneMute();
        EXPECT_TRUE(r.host.badge) << (config ? config : "no config.ini");
        EXPECT_EQ(r.host.hint, kMutedHint);
        EXPECT_TRUE(r.Lines("Sound:").empty()) << "MuteSound is off by default";
    }
}

TEST(MuteIndicator, OffByConfigShowsNothingAndReadsNoMoreThanTheToggle) {
    Road r({2, 10}, "[options]\nMuteIndicator= 0 \nMuteSound=1\n");
    r.host.coreAudio.AddMicrophone(u"mic");
    r.window->MicrophoneMute();
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.coreAudio.Of(u"mic").getMuteCalls, 2) << "one read per toggle, the toggle's own";
    EXPECT_TRUE(r.Lines("Post:").empty()) << "the callback only flips its flag";
    EXPECT_FALSE(r.window->HandleMessage(kMsgMicrophoneChanged, 0, 0));
    EXPECT_EQ(r.host.coreAudio.Of(u"mic").getMuteCalls, 2);
    EXPECT_TRUE(r.Lines("tray:").empty());
    EXPECT_EQ(r.host.hint, u"GAMING MOUSE DRIVER");
    EXPECT_EQ(r.Lines("Sound:"), (std::vector<std::string>{"Sound:muted", "Sound:live"})) << "MuteSound is apart";

    Road mixer({2, 5}, "[options]\nMuteIndicator=0\n");
    mixer.host.mixer.opens = mixer.host.mixer.closes = 0;
    mixer.window->MicrophoneMute();
    EXPECT_EQ(mixer.host.mixer.opens, 2) << "the toggle's read and write";
}

TEST(MuteIndicator, TheCallbackOnTheAudioThreadOnlyFlipsItsFlagAndPostsOnce) {
    Shown s;
    s.Start();
    const std::vector<std::string> before = s.host.log;
    const int reads = s.Mic().getMuteCalls;
    bool updatingInside = false;
    s.Mic().muted = true;
    std::thread audio([&] {
        s.host.coreAudio.notify(true);
        updatingInside = s.window->Audio().VolumeUpdating();
        s.host.coreAudio.notify(false);
    });
    audio.join();
    EXPECT_TRUE(updatingInside);
    EXPECT_FALSE(s.window->Audio().VolumeUpdating());
    std::vector<std::string> added(s.host.log.begin() + static_cast<std::ptrdiff_t>(before.size()), s.host.log.end());
    EXPECT_EQ(added, (std::vector<std::string>{"Post:1:7525:0:0"}));
    EXPECT_EQ(s.Mic().getMuteCalls, reads) << "the state is read on the main thread";
    EXPECT_FALSE(s.host.badge);
}

TEST(MuteIndicator, TheCallbackOutlivingTheWindowReachesNothingThatIsGone) {
    // The endpoint keeps its callback; one that comes during or after the
    // window's end must not touch the window's memory (AddressSanitizer).
    Shown s;
    s.Start();
    std::function<void(bool)> kept = s.host.coreAudio.notify;
    s.window.reset();
    kept(true);
    kept(false);
    EXPECT_EQ(Only(s.host.log, {"Post:"}).size(), 1u) << "a post to a window that is gone reaches nobody";
}

TEST(MuteIndicator, AFloodOfPostsFromElsewhereOnlyReadsTheState) {
    Shown s;
    s.Start();
    s.Mic().muted = true;
    for (int i = 0; i < 10000; ++i) s.host.Deliver(kMsgMicrophoneChanged, static_cast<std::uintptr_t>(-1), -1);
    EXPECT_EQ(Only(s.host.log, {"tray:badge"}).size(), 1u) << "the tray changes once, with the state";
    EXPECT_EQ(s.host.hint, kMutedHint);
}

TEST(MuteIndicator, ALongFirstLineGivesWayToTheStateAndNoCharacterIsSplit) {
    Shown s;
    s.Start();
    TComponent* tray = nullptr;
    for (TComponent* c : s.window->Form().Components()) {
        if (c->Name() == u"TrayIcon1") tray = c;
    }
    ASSERT_NE(tray, nullptr);
    // The state line takes 7 units of the 127, so the first line is cut at
    // 120: a character outside the basic plane (a surrogate pair) across
    // that cut, as a translation may have.
    u16 longHint(119, u'x');
    longHint += u"\U0001F3AE and more text";
    ASSERT_TRUE(tray->SetProperty(u"Hint", longHint));
    const u16 line = u"\n麦克风已开启";
    ASSERT_LE(s.host.hint.size(), platform::kTrayHintMax);
    ASSERT_GE(s.host.hint.size(), line.size());
    EXPECT_EQ(s.host.hint.substr(s.host.hint.size() - line.size()), line);
    const u16 first = s.host.hint.substr(0, s.host.hint.size() - line.size());
    EXPECT_EQ(first, u16(119, u'x')) << "the pair is dropped whole";
    EXPECT_EQ(CutUtf16(u"ab\U0001F3AE", 3), u"ab");
    EXPECT_EQ(CutUtf16(u"ab\U0001F3AE", 4), u"ab\U0001F3AE");
    EXPECT_EQ(CutUtf16(u"abc", 0), u"");
}

TEST(MuteSound, TheButtonsToggleIsHeardOnlyWhenItSetSomething) {
    Shown s;
    s.dm.muteSound = true;
    s.Start();
    s.window->MicrophoneMute();
    s.window->MicrophoneMute();
    EXPECT_EQ(Only(s.host.log, {"Sound:"}), (std::vector<std::string>{"Sound:muted", "Sound:live"}));
    s.host.log.clear();
    s.Mic().setMuteFails = true;
    s.window->MicrophoneMute();
    s.Mic().setMuteFails = false;
    s.Mic().getMuteFails = true;
    s.window->MicrophoneMute();
    EXPECT_TRUE(Only(s.host.log, {"Sound:"}).empty());

    Shown off;  // MuteSound=0, the default
    off.Start();
    off.window->MicrophoneMute();
    EXPECT_TRUE(Only(off.host.log, {"Sound:"}).empty());
}

}  // namespace
}  // namespace vxm::app
