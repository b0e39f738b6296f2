// The road of a button press, against the fakes: report decoder, protocol
// messages, profile switches in the registry.
#include <gtest/gtest.h>

#include <algorithm>

#include "unit/road_rig.h"

namespace vxm::app {
namespace {

using namespace road_rig;

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

}  // namespace
}  // namespace vxm::app
