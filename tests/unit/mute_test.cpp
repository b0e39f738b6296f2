// The microphone mute of a button with the function 28: Core Audio on NT 6
// and later (no microphone, a new default one, an unknown state), the legacy
// mixer before.
#include <gtest/gtest.h>

#include <algorithm>

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
