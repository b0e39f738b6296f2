// The HID component: search filters, the include list, report operations,
// two components side by side and the component's destruction, against a
// scripted HID system and a test-driven main thread.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "hid/hid_data.h"
#include "hid/read_thread.h"
#include "unit/hid_rig.h"

namespace vxm {
namespace {

using namespace hid_rig;

TEST(HidIncludeList, StopsAtTheFirstEmptyKey) {
    Rig r;
    r.Include("[IncludeHIDDeviceList]\nid1=HID\\VID_1&PID_2\nid2=HID\\VID_3\nid4=HID\\VID_4\n");
    EXPECT_EQ(r.Make().GetHIDDeviceList(), (std::vector<u16>{u"HID\\VID_1&PID_2", u"HID\\VID_3"}));
}

TEST(HidSearch, ReadFilterFollowsTheIncludeList) {
    Rig r;
    r.hid.devices = {Dev(u"\\\\?\\a", {u"HID\\VID_1&PID_1"}), Dev(u"\\\\?\\b", {u"HID\\VID_2&PID_2"}),
                     Dev(u"\\\\?\\kbd", {u"HID\\VID_2&PID_2"}, 0x01, 0x06)};
    auto& d = r.Make();
    d.HidFindAndReadDevice(kMouse, u"HID\\VID_9");  // empty list: every mouse collection
    EXPECT_EQ(r.hid.channelsOpened.load(), 2);
    d.HidStopRead();

    Rig r2;
    r2.hid.devices = r.hid.devices;
    r2.Include("[IncludeHIDDeviceList]\nid1=hid\\vid_2&pid_2\n");
    auto& d2 = r2.Make();
    d2.HidFindAndReadDevice(kMouse, u"*");  // an include entry in other letter case
    EXPECT_EQ(r2.hid.channelsOpened.load(), 1);
    d2.HidFindAndReadDevice(kMouse, u"HID\\VID_1&PID_1");
    EXPECT_EQ(r2.hid.channelsOpened.load(), 2);
    d2.HidFindAndReadDevice(kMouse, u"HID\\VID_1");  // a substring never matches
    EXPECT_EQ(r2.hid.channelsOpened.load(), 2);
    d2.HidStopRead();
    EXPECT_EQ(r2.Threads(), 0);
}

TEST(HidSearch, TwoInterfacesOfOneDeviceGetTwoReadThreads) {
    Rig r;
    r.hid.devices = {Dev(u"p1", {u"HID\\VID_1&MI_00"}), Dev(u"p2", {u"HID\\VID_1&MI_01"})};
    auto& d = r.Make();
    d.HidFindAndReadDevice(kMouse, u"*");
    EXPECT_TRUE(Eventually([&] { return r.Threads() == 2; }));
    d.HidStopRead();
    EXPECT_EQ(r.Threads(), 0);
    EXPECT_EQ(r.hid.channelsOpen.load(), 0);
}

TEST(HidReports, WriteLengthsAndFilters) {
    Rig r;
    r.hid.devices = {Dev(u"a", {u"HID\\A"}), Dev(u"b", {u"HID\\B"})};
    r.Include("[IncludeHIDDeviceList]\nid1=HID\\A\n");
    auto& d = r.Make();
    auto param = std::make_unique<THIDDataParam>();
    param->UsageAndPage = kMouse;
    param->Data.ReportID = 5;
    param->Data.DATASIZE = 8;
    EXPECT_TRUE(d.HidFindAndWriteDevice(*param));  // include list picks "a"
    ASSERT_EQ(r.hid.writes.size(), 1u);
    EXPECT_EQ(r.hid.writes[0].first, u"a");
    EXPECT_EQ(r.hid.writes[0].second.size(), 9u);
    EXPECT_EQ(r.hid.writes[0].second[0], 5);

    param->DeviceID = u"hid\\b";  // one identifier: the include list is ignored
    EXPECT_TRUE(d.HidFindAndWriteDevice(*param));
    EXPECT_EQ(r.hid.writes.back().first, u"b");

    r.hid.writes.clear();
    EXPECT_TRUE(d.HidFindAndWriteDeviceBYHID(*param));  // no filter, DATASIZE counts the ID
    ASSERT_EQ(r.hid.writes.size(), 2u);
    EXPECT_EQ(r.hid.writes[0].second.size(), 8u);

    param->DeviceID = u"HID\\NONE";
    EXPECT_FALSE(d.HidFindAndWriteDevice(*param));
    EXPECT_FALSE(d.IsDeviceExist(*param));
    param->DeviceID = u"*";
    EXPECT_TRUE(d.IsDeviceExist(*param));
}

TEST(HidReports, FeatureReportsSkipShortCollectionsAndReportNoDevice) {
    Rig r;
    r.hid.devices = {Dev(u"a", {u"HID\\A"})};
    r.hid.devices[0].caps.FeatureReportByteLength = 4;
    auto& d = r.Make();
    auto param = std::make_unique<THIDDataParam>();
    param->UsageAndPage = kMouse;
    param->Data.ReportID = 3;
    param->Data.DATASIZE = 8;
    EXPECT_EQ(d.HidFindAndGetFeatureReport(*param), kNoDeviceFound);
    EXPECT_EQ(d.HidFindAndSetFeatureReport(*param), kNoDeviceFound);
    EXPECT_EQ(kNoDeviceFound, 1167u);
    EXPECT_TRUE(r.hid.featureSets.empty());

    r.hid.devices[0].caps.FeatureReportByteLength = 8;
    EXPECT_EQ(d.HidFindAndGetFeatureReport(*param), 0u);
    EXPECT_EQ(param->Data.ReportID, 3);
    EXPECT_EQ(param->Data.DATAReally[0], 0xA1);
    EXPECT_EQ(d.HidFindAndSetFeatureReport(*param), 0u);
    EXPECT_EQ(param->DeviceHandle, 0x1234u);
    ASSERT_EQ(r.hid.featureSets.size(), 1u);
    EXPECT_EQ(r.hid.featureSets[0].second.size(), 8u);
}

TEST(HidTwoComponents, TheFirstOnesStopStillReachesItsThreadsAfterASecondCame) {
    TwoComponents t;
    t.a = t.Make(t.gotA);
    t.a->HidFindAndReadDevice(kMouse, u"HID\\A");
    EXPECT_EQ(t.hid.channelsOpen.load(), 1);
    t.b = t.Make(t.gotB);  // a second component comes while the first reads
    t.a->HidStopRead();
    EXPECT_EQ(t.a->ReadThreadCount(), 0);
    EXPECT_EQ(t.hid.channelsOpen.load(), 0) << "the first component's reader ended";
    t.a->HidFindAndReadDevice(kMouse, u"HID\\A");
    EXPECT_EQ(t.hid.channelsOpen.load(), 1) << "one reader per device after the restart";

    t.hid.Queue(u"a", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(t.main.WaitForCall(2000));
    EXPECT_EQ(t.main.RunPending(), 1);
    EXPECT_EQ(t.gotA.data.size(), 1u) << "a press is handled once";
    t.a->HidStopRead();
}

TEST(HidTwoComponents, DestroyingTheSecondAndThenTheFirstEndsTheFirstOnesThreads) {
    TwoComponents t;
    t.a = t.Make(t.gotA);
    t.a->HidFindAndReadDevice(kMouse, u"HID\\A");
    t.b = t.Make(t.gotB);
    t.b->HidFindAndReadDevice(kMouse, u"HID\\B");
    ASSERT_TRUE(Eventually([&] { return t.a->ReadThreadCount() == 1 && t.b->ReadThreadCount() == 1; }));
    t.b.reset();
    EXPECT_EQ(t.hid.channelsOpen.load(), 1) << "the second component's end leaves the first one reading";
    t.a.reset();
    EXPECT_EQ(t.hid.channelsOpen.load(), 0) << "nothing of the first component reads on";
    // A report and an unplug after both are gone reach nobody.
    t.hid.Queue(u"a", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    t.hid.Queue(u"a", {{}, platform::kErrorDeviceNotConnected, {}});
    EXPECT_FALSE(t.main.WaitForCall(50));
    EXPECT_EQ(t.gotA.lost.load(), 0);
}

TEST(HidDestruction, WaitsForAThreadBusyInItsEventsHoweverLong) {
    MouseRig r;
    r.data->FastOnData = true;
    std::atomic<bool> inside{false}, release{false}, returned{false};
    std::atomic<int> parsed{0};
    r.data->OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        inside = true;
        while (!release) std::this_thread::sleep_for(1ms);
        returned = true;
    };
    r.data->OnParsedData = [&](const u16&, const u16&, std::uint8_t, std::uint32_t) { ++parsed; };
    r.data->HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(Eventually([&] { return inside.load(); }));
    // Longer than any time limit of a stop: the component must still outlive the handler.
    std::thread releaser([&] {
        std::this_thread::sleep_for(2200ms);
        release = true;
    });
    r.data.reset();
    EXPECT_TRUE(returned.load()) << "destruction waited for the handler";
    EXPECT_EQ(parsed.load(), 0) << "no event after destruction began";
    EXPECT_EQ(r.hid.channelsOpen.load(), 0);
    releaser.join();
}

TEST(HidDestruction, FromInsideOnDataOnTheMainThread) {
    MouseRig r;
    std::atomic<int> parsed{0};
    r.data->OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        r.data.reset();  // the owner lets the component go from inside its event
    };
    r.data->OnParsedData = [&](const u16&, const u16&, std::uint8_t, std::uint32_t) { ++parsed; };
    r.data->HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    EXPECT_EQ(r.main.RunPending(), 1);
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(parsed.load(), 0);
    // The reader ends on its own, without the component.
    EXPECT_TRUE(Eventually([&] { return r.hid.channelsOpen.load() == 0 && HidStopEvent.LiveThreads() == 0; }));
}

}  // namespace
}  // namespace vxm
