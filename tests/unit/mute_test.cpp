// The microphone mute of a button with the function 28: the sound system's
// capture endpoints on NT 6 and later (followed by their reports, or asked
// at every press where they are not reported; which ones, by MuteTarget;
// a sound system that goes and comes back), the legacy mixer before; and
// what the user sees of it: the tray, the sound cues, the overlay.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "support/fake_profile_settings.h"
#include "unit/road_rig.h"

namespace vxm::app {
namespace {

using namespace road_rig;
using fake::FakeCoreAudio;
using fake::FakeProfileSettings;
using fake::Only;

constexpr char16_t kLiveHint[] = u"GAMING MOUSE DRIVER\n麦克风已开启";
constexpr char16_t kMutedHint[] = u"GAMING MOUSE DRIVER\n麦克风已静音";
constexpr char16_t kUnknownHint[] = u"GAMING MOUSE DRIVER\n麦克风状态未知";
constexpr char16_t kNoMicrophoneHint[] = u"GAMING MOUSE DRIVER\n未找到麦克风";

// The window over the recording host, with the options a test sets.
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
    FakeCoreAudio& Audio() { return host.coreAudio; }
    FakeCoreAudio::Endpoint& Mic() { return host.coreAudio.Of(u"mic"); }
    // The system changes the state and reports it.
    void External(bool muted) { host.coreAudio.SetMuted(u"mic", muted); }
    // Delivers what was posted to the window, as its loop would, and drops the lines.
    void Pump() {
        host.DeliverPosted();
        host.log.erase(std::remove_if(host.log.begin(), host.log.end(),
                                      [](const std::string& l) { return l.rfind("Post:1:", 0) == 0; }),
                       host.log.end());
    }
    void Press() {
        window->MicrophoneMute();
        Pump();
    }
};

TEST(MuteCoreAudio, OneCallPerPressWhileTheStateIsFollowedAndTheDefaultMovesBetweenPresses) {
    Shown s;
    s.Audio().follows = true;
    s.Audio().AddMicrophone(u"headset", false);
    s.Start();
    ASSERT_EQ(s.host.hint, kLiveHint) << "the first report, taken in without a read";
    const int start = s.Audio().calls;
    for (int i = 0; i < 6; ++i) s.Press();
    EXPECT_EQ(s.Audio().calls - start, 6) << "one call to the sound system per press";
    EXPECT_EQ(s.Audio().refreshes, 0) << "nothing read: the reports keep the state";
    EXPECT_EQ(s.Mic().setMuteCalls, 6);
    EXPECT_FALSE(s.Mic().muted);
    // Muted elsewhere: the next press unmutes, still in one call.
    s.External(true);
    s.Pump();
    EXPECT_EQ(s.host.hint, kMutedHint);
    s.Press();
    EXPECT_FALSE(s.Mic().muted);
    // The user picks another default between two presses: the press mutes it.
    s.Audio().MakeDefault(u"headset");
    s.Pump();
    s.Press();
    EXPECT_TRUE(s.Audio().Of(u"headset").muted) << "the microphone in use is the one muted";
    EXPECT_FALSE(s.Mic().muted);
    EXPECT_EQ(s.host.hint, kMutedHint);
    EXPECT_EQ(s.Audio().calls - start, 8);
    EXPECT_EQ(s.Audio().opens, 1);
    EXPECT_TRUE(Only(s.host.log, {"Debug:default microphone: headset"}).size() == 1);
}

TEST(MuteCoreAudio, WithoutReportsEachPressReadsThenSetsAndANewDefaultIsTheOneMuted) {
    // Core Audio before endpoint notifications: only the bound endpoint's
    // mute is reported, so every press asks for the default first.
    Road r;
    r.host.coreAudio.AddMicrophone(u"old");
    r.window->MicrophoneMute();  // binds "old" and mutes it
    EXPECT_TRUE(r.host.coreAudio.Of(u"old").muted);
    EXPECT_EQ(r.host.coreAudio.calls, 2) << "a read, then the set";
    r.host.coreAudio.AddMicrophone(u"headset");  // the user picks another default
    r.window->MicrophoneMute();
    EXPECT_TRUE(r.host.coreAudio.Of(u"headset").muted) << "the microphone in use is the one muted";
    EXPECT_TRUE(r.host.coreAudio.Of(u"old").muted);
    EXPECT_EQ(r.host.coreAudio.opens, 1);
}

TEST(MuteCoreAudio, NoMicrophoneIsSaidAndEachPressTriesAgainUntilOneAppears) {
    Shown s(false);
    s.dm.muteSound = true;
    s.Start();
    EXPECT_EQ(s.host.hint, kNoMicrophoneHint);
    s.host.log.clear();
    s.Press();
    s.Press();
    EXPECT_EQ(s.Audio().opens, 0);
    EXPECT_TRUE(Only(s.host.log, {"ShowMessage"}).empty());
    EXPECT_EQ(Only(s.host.log, {"Sound:", "Notice:"}),
              (std::vector<std::string>{"Sound:error", "Notice:failure:未找到麦克风:no microphone: the press changed nothing",
                                        "Sound:error", "Notice:failure:未找到麦克风:no microphone: the press changed nothing"}));
    EXPECT_EQ(s.host.hint, kNoMicrophoneHint);
    s.Audio().AddMicrophone(u"usb-mic");
    s.Press();
    EXPECT_TRUE(s.Audio().Of(u"usb-mic").muted);
    EXPECT_EQ(s.host.hint, kMutedHint);
    s.Press();
    EXPECT_EQ(s.Audio().opens, 1) << "bound once it worked";
    EXPECT_FALSE(s.Audio().Of(u"usb-mic").muted);

    // Without MuteIndicator the tray shows no state, but a press that did
    // nothing still says so there, until one does something.
    Road plain;
    plain.window->MicrophoneMute();
    EXPECT_EQ(plain.host.hint, kNoMicrophoneHint);
    plain.host.coreAudio.AddMicrophone(u"mic");
    plain.window->MicrophoneMute();
    EXPECT_EQ(plain.host.hint, u"GAMING MOUSE DRIVER");
    EXPECT_TRUE(plain.Lines("tray:").empty());
}

TEST(MuteCoreAudio, AStateThatCannotBeReadOrASetTheSystemRefusesChangesNothingShown) {
    Shown s;
    s.dm.muteSound = true;
    s.Audio().refreshFails = true;
    s.Start();
    EXPECT_EQ(s.host.hint, kUnknownHint);
    EXPECT_FALSE(s.host.badge);
    s.host.log.clear();
    s.Press();
    EXPECT_EQ(s.Mic().setMuteCalls, 0) << "no state: nothing to toggle to";
    EXPECT_EQ(Only(s.host.log, {"Sound:"}), (std::vector<std::string>{"Sound:error"}));

    s.Audio().refreshFails = false;
    s.External(true);  // reported, and read again since it was unknown
    s.Pump();
    ASSERT_TRUE(s.host.badge);
    s.Mic().setMuteFails = true;
    s.host.log.clear();
    s.Press();
    EXPECT_TRUE(s.Mic().muted);
    EXPECT_TRUE(s.host.badge) << "refused: nothing shown as changed";
    EXPECT_EQ(s.host.hint, kMutedHint);
    EXPECT_EQ(Only(s.host.log, {"Sound:", "Notice:", "tray:"}),
              (std::vector<std::string>{"Sound:error",
                                        "Notice:failure:麦克风未更改:the sound system refused the change"}));
}

TEST(MuteCoreAudio, ReportsComeFromTheAudioThreadAsOnePostAndFlipVolumeUpdating) {
    Shown s;
    s.Start();
    const std::vector<std::string> before = s.host.log;
    const int calls = s.Audio().calls;
    bool updatingAfter = true;
    std::thread audio([&] {
        s.External(true);
        s.External(false);
        s.External(true);
        updatingAfter = s.window->Audio().VolumeUpdating();
    });
    audio.join();
    EXPECT_FALSE(updatingAfter);
    std::vector<std::string> added(s.host.log.begin() + static_cast<std::ptrdiff_t>(before.size()), s.host.log.end());
    EXPECT_EQ(added, (std::vector<std::string>{"Post:1:7525:0:0"})) << "one post until the main thread takes them";
    EXPECT_FALSE(s.host.badge) << "the audio thread shows nothing itself";
    s.Pump();
    EXPECT_TRUE(s.host.badge) << "taken in, in order, on the main thread";
    EXPECT_EQ(s.Audio().calls, calls) << "reports are read, the system is not";

    // The session keeps its reporter; one that comes after the window went
    // posts nothing (AddressSanitizer watches the window's memory).
    platform::AudioEventSink kept = s.Audio().sink;
    s.window.reset();
    s.host.log.clear();
    platform::AudioEvent e;
    e.kind = platform::AudioEvent::Kind::Lost;
    kept(e);
    EXPECT_TRUE(Only(s.host.log, {"Post:"}).empty());
}

TEST(MuteCoreAudio, ASoundServerThatGoesShowsUnknownAndComingBackShowsTheStateWithoutAPress) {
    Shown s;
    s.Audio().follows = true;
    s.dm.muteSound = true;
    s.Start();
    s.Press();
    ASSERT_TRUE(s.host.badge);
    s.Audio().Lose();
    s.Pump();
    EXPECT_FALSE(s.host.badge);
    EXPECT_EQ(s.host.hint, kUnknownHint);
    s.host.log.clear();
    s.Press();
    EXPECT_EQ(Only(s.host.log, {"Sound:", "Notice:"}),
              (std::vector<std::string>{"Sound:error",
                                        "Notice:failure:麦克风未更改:no sound server: the press changed nothing"}));
    s.Mic().muted = false;  // the restarted server's own state
    s.Audio().Restart();
    s.Pump();
    EXPECT_EQ(s.host.hint, kLiveHint);
    s.Press();
    EXPECT_TRUE(s.Mic().muted);
    EXPECT_TRUE(s.host.badge);

    // A server that stops answering: the press is given up and said.
    s.Audio().noAnswer = true;
    s.host.log.clear();
    s.Press();
    EXPECT_TRUE(s.host.badge);
    EXPECT_EQ(Only(s.host.log, {"Notice:"}),
              (std::vector<std::string>{
                  "Notice:failure:麦克风未更改:the sound server did not answer in time: the press is not confirmed"}));
}

// Several endpoints for "all": the monitors of outputs left out, every live
// one muted by a press, all unmuted only when all were muted; one that
// appears while the monitor says "muted" is muted too; one that goes
// changes nothing; outside changes followed for each.
TEST(MuteTarget, AllMutesEveryMicrophoneAndSaysMutedOnlyWhenEachIs) {
    Shown s;
    s.dm.muteTarget = u"ALL";
    s.Audio().follows = true;
    s.Audio().AddMicrophone(u"headset", false, u"Headset Mic");
    s.Audio().AddMicrophone(u"webcam", false);
    s.Audio().Of(u"webcam").muted = true;
    s.Audio().AddMicrophone(u"out.monitor", false, u"Monitor of Speakers", true);
    s.Start();
    EXPECT_EQ(s.host.hint, kLiveHint);
    s.Press();
    EXPECT_TRUE(s.Mic().muted && s.Audio().Of(u"headset").muted && s.Audio().Of(u"webcam").muted);
    EXPECT_FALSE(s.Audio().Of(u"out.monitor").muted) << "an output's monitor is no microphone";
    EXPECT_EQ(s.Audio().Of(u"webcam").setMuteCalls, 0) << "already muted";
    EXPECT_TRUE(s.host.badge);
    s.Audio().SetMuted(u"headset", false);
    s.Pump();
    EXPECT_EQ(s.host.hint, kLiveHint) << "one live: not muted";
    s.Press();
    EXPECT_TRUE(s.Audio().Of(u"headset").muted) << "any live: all are muted";
    EXPECT_EQ(s.host.hint, kMutedHint);
    s.Press();
    EXPECT_FALSE(s.Mic().muted || s.Audio().Of(u"headset").muted || s.Audio().Of(u"webcam").muted);
    s.Press();
    const int calls = s.Audio().calls;
    s.Audio().AddMicrophone(u"bluetooth", false);
    s.Pump();
    EXPECT_TRUE(s.Audio().Of(u"bluetooth").muted) << "plugged in while muted";
    EXPECT_EQ(s.Audio().calls, calls + 1);
    s.Audio().Remove(u"webcam");
    s.Pump();
    EXPECT_TRUE(s.host.badge);
    EXPECT_EQ(s.Audio().calls, calls + 1) << "one that went changes nothing";
    EXPECT_EQ(s.Audio().refreshes, 0);

    // The default alone shows a new default's own state and mutes nothing.
    Shown d;
    d.Audio().follows = true;
    d.Start();
    d.Press();
    d.Audio().AddMicrophone(u"bluetooth");
    d.Pump();
    EXPECT_FALSE(d.Audio().Of(u"bluetooth").muted);
    EXPECT_EQ(d.host.hint, kLiveHint);
}

TEST(MuteTarget, OneMicrophoneByItsIdOrNameTheOthersLeftAlone) {
    for (const char16_t* target : {u"alsa_input.usb-headset", u"Headset Mic"}) {
        Shown s;
        s.dm.muteTarget = target;
        s.Audio().follows = true;
        s.Audio().AddMicrophone(u"alsa_input.usb-headset", false, u"Headset Mic");
        s.Start();
        s.Press();
        EXPECT_TRUE(s.Audio().Of(u"alsa_input.usb-headset").muted) << Utf8(target);
        EXPECT_FALSE(s.Mic().muted) << "the default is not the one chosen";
        EXPECT_TRUE(s.host.badge);
        s.Audio().Remove(u"alsa_input.usb-headset");
        s.Pump();
        EXPECT_EQ(s.host.hint, kNoMicrophoneHint);
        s.host.log.clear();
        s.Press();
        EXPECT_EQ(Only(s.host.log, {"Notice:"}),
                  (std::vector<std::string>{"Notice:failure:未找到麦克风:no microphone: the press changed nothing"}));
        EXPECT_FALSE(s.Mic().muted);
    }
    EXPECT_EQ(MuteTargetChoice::Parse(u"Default").kind, MuteTargetChoice::Kind::Default);
    EXPECT_EQ(MuteTargetChoice::Parse(u"all").kind, MuteTargetChoice::Kind::All);
    EXPECT_EQ(MuteTargetChoice::Parse(u"alles").kind, MuteTargetChoice::Kind::Named);
}

TEST(MuteMixer, TwoTogglesRestoreTheStateOnTheMicrophoneLine) {
    Road r({2, 5});
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.mixer.value, 1u);
    r.window->MicrophoneMute();
    EXPECT_EQ(r.host.mixer.value, 0u);
    EXPECT_EQ(r.host.mixer.opens, r.host.mixer.closes);
    EXPECT_EQ(r.host.mixer.lineTypesAsked.front(), 0x1003u);
    EXPECT_EQ(r.host.coreAudio.opens, 0);
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
// line, taken in at start-up, after a toggle and when the system reports a
// change; nothing at all with MuteIndicator=0.
namespace vxm::app {
namespace {

using namespace road_rig;
using fake::FakeCoreAudio;
using fake::FakeProfileSettings;
using fake::Only;

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
    EXPECT_EQ(bare.host.hint, kUnknownHint);

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
    EXPECT_EQ(unreadable.host.hint, kUnknownHint);

    Shown none(false, {2, 5});
    none.host.mixer.devices = 0;
    none.Start();
    EXPECT_EQ(none.host.hint, kNoMicrophoneHint);
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
    EXPECT_EQ(r.host.coreAudio.refreshes, 2) << "one read per toggle, the toggle's own";
    EXPECT_TRUE(r.window->HandleMessage(kMsgMicrophoneChanged, 0, 0)) << "reports are still taken in";
    EXPECT_EQ(r.host.coreAudio.refreshes, 2);
    EXPECT_TRUE(r.Lines("tray:").empty());
    EXPECT_EQ(r.host.hint, u"GAMING MOUSE DRIVER");
    EXPECT_EQ(r.Lines("Sound:"), (std::vector<std::string>{"Sound:muted", "Sound:live"})) << "MuteSound is apart";

    Road mixer({2, 5}, "[options]\nMuteIndicator=0\n");
    mixer.host.mixer.opens = mixer.host.mixer.closes = 0;
    mixer.window->MicrophoneMute();
    EXPECT_EQ(mixer.host.mixer.opens, 2) << "the toggle's read and write";
}

TEST(MuteIndicator, AFloodOfPostsFromElsewhereOnlyTakesInTheReports) {
    Shown s;
    s.Start();
    s.External(true);
    const int calls = s.Audio().calls;
    for (int i = 0; i < 10000; ++i) s.host.Deliver(kMsgMicrophoneChanged, static_cast<std::uintptr_t>(-1), -1);
    EXPECT_EQ(Only(s.host.log, {"tray:badge"}).size(), 1u) << "the tray changes once, with the state";
    EXPECT_EQ(s.host.hint, kMutedHint);
    EXPECT_EQ(s.Audio().calls, calls);
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

TEST(MuteSound, TheButtonsToggleIsHeardAndAPressThatSetNothingSoundsAnError) {
    Shown s;
    s.dm.muteSound = true;
    s.Start();
    s.window->MicrophoneMute();
    s.window->MicrophoneMute();
    EXPECT_EQ(Only(s.host.log, {"Sound:"}), (std::vector<std::string>{"Sound:muted", "Sound:live"}));
    s.host.log.clear();
    s.Mic().setMuteFails = true;
    s.window->MicrophoneMute();
    EXPECT_EQ(Only(s.host.log, {"Sound:"}), (std::vector<std::string>{"Sound:error"}));

    Shown off;  // MuteSound=0, the default
    off.Start();
    off.window->MicrophoneMute();
    off.Mic().setMuteFails = true;
    off.window->MicrophoneMute();
    EXPECT_TRUE(Only(off.host.log, {"Sound:"}).empty());
}

// MuteOverlay, by the virtual clock: 2 shows each toggle's state for two
// seconds (a toggle meanwhile starts them again), 1 shows it while muted
// (outside changes too), 0 shows nothing.
TEST(MuteOverlay, EachModeShowsAndHidesByTheClock) {
    Shown two;
    two.dm.muteOverlay = 2;
    two.Start();
    two.host.log.clear();
    two.Press();
    EXPECT_EQ(Only(two.host.log, {"Notice:"}), (std::vector<std::string>{"Notice:show:muted:麦克风已静音:2000"}));
    two.host.Advance(1500);
    two.Press();
    two.host.Advance(1999);
    EXPECT_EQ(Only(two.host.log, {"Notice:"}),
              (std::vector<std::string>{"Notice:show:muted:麦克风已静音:2000", "Notice:show:live:麦克风已开启:2000"}));
    two.host.Advance(1);
    EXPECT_EQ(Only(two.host.log, {"Notice:"}).back(), "Notice:hide");
    two.host.Advance(10000);
    EXPECT_EQ(Only(two.host.log, {"Notice:hide"}).size(), 1u);
    two.External(true);
    two.Pump();
    two.Mic().setMuteFails = true;
    two.Press();
    EXPECT_EQ(Only(two.host.log, {"Notice:show"}).size(), 2u) << "neither a change elsewhere nor a failed press";

    Shown one;
    one.dm.muteOverlay = 1;
    one.dm.muteIndicator = false;
    one.Start();
    one.host.log.clear();
    one.Press();
    one.Press();
    one.External(true);
    one.Pump();
    one.host.Advance(60000);
    EXPECT_EQ(Only(one.host.log, {"Notice:"}),
              (std::vector<std::string>{"Notice:show:muted:麦克风已静音:0", "Notice:hide",
                                        "Notice:show:muted:麦克风已静音:0"}));

    Shown zero;
    zero.Start();
    zero.Press();
    zero.External(false);
    zero.Pump();
    zero.host.Advance(5000);
    EXPECT_TRUE(Only(zero.host.log, {"Notice:"}).empty());
}

}  // namespace
}  // namespace vxm::app
