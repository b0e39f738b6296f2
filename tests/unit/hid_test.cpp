// HID search filters, report operations and the read threads, against a
// scripted HID system and a test-driven main thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "hid/hid_data.h"
#include "hid/read_thread.h"
#include "support/fake_hid.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

using namespace std::chrono_literals;
using fake::FakeHidDevice;
using fake::ReadOutcome;

constexpr USAGE_AND_PAGE kMouse{0x0001, 0xFFA0};

FakeHidDevice Dev(u16 path, std::vector<u16> ids, std::uint16_t page = 0xFFA0, std::uint16_t usage = 1) {
    FakeHidDevice d;
    d.iface = {std::move(path), std::move(ids)};
    d.caps.UsagePage = page;
    d.caps.Usage = usage;
    d.caps.InputReportByteLength = 8;
    d.caps.OutputReportByteLength = 9;
    d.caps.FeatureReportByteLength = 9;
    return d;
}

template <typename Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return pred();
}

struct Rig {
    fake::FakePlatform p;
    fake::FakeHidSystem hid;
    fake::FakeDispatcher main;
    std::unique_ptr<TuiHIDData> data;

    void Include(std::string_view ini) { p.files.PutText(p.paths.exeFolder + u"config.ini", ini); }
    TuiHIDData& Make() {
        data = std::make_unique<TuiHIDData>(HidDependencies{
            hid, p.ini, main, p.paths.exeFolder, [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }});
        return *data;
    }
    int Threads() { return HidStopEvent ? HidStopEvent->LiveThreads() : 0; }
};

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

struct Received {
    std::mutex m;
    std::vector<std::pair<int, int>> data;  // report id, size
    std::vector<std::uint32_t> buttons;
    std::vector<std::thread::id> threads;
    std::atomic<int> lost{0};
    std::thread::id lostOn;
};

void Wire(TuiHIDData& d, Received& got) {
    d.OnData = [&](const u16&, const u16&, std::uint8_t id, const std::uint8_t*, std::uint16_t size) {
        std::lock_guard<std::mutex> lock(got.m);
        got.data.emplace_back(id, size);
        got.threads.push_back(std::this_thread::get_id());
    };
    d.OnDeviceNotConnected = [&](const u16&, const u16&) {
        got.lostOn = std::this_thread::get_id();
        ++got.lost;
    };
}

// One mouse interface "m", read with every event recorded.
struct MouseRig : Rig {
    MouseRig() {
        hid.devices = {Dev(u"m", {u"HID\\M"})};
        Wire(Make(), got);
    }
    // The threads raise events into `got`: they end before it goes.
    ~MouseRig() { data.reset(); }
    Received got;
};

TEST(HidReadThread, ReportsReachOnDataOnTheMainThreadWithoutTheirId) {
    MouseRig r;
    auto& d = *r.data;
    d.HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{}, 0, {}});  // 0 bytes: nothing
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    EXPECT_EQ(r.main.RunPending(), 1);
    std::lock_guard<std::mutex> lock(r.got.m);
    ASSERT_EQ(r.got.data.size(), 1u);
    EXPECT_EQ(r.got.data[0], std::make_pair(7, 7));
    EXPECT_EQ(r.got.threads[0], std::this_thread::get_id());
}

TEST(HidReadThread, StopEndsWaitingThreadsWithoutNotConnectedAndCancelsTheirRead) {
    MouseRig r;
    auto& d = *r.data;
    d.HidFindAndReadDevice(kMouse, u"*");
    ASSERT_TRUE(Eventually([&] { return r.Threads() == 1; }));
    std::this_thread::sleep_for(5ms);
    d.HidStopRead();
    EXPECT_EQ(r.Threads(), 0) << "the stop waits for the threads";
    EXPECT_EQ(r.got.lost.load(), 0);
    EXPECT_EQ(r.hid.channelsOpen.load(), 0) << "the thread freed its channel";
    EXPECT_EQ(r.hid.channelsClosedWithPendingRead.load(), 1) << "its pending read was cancelled on close";
}

TEST(HidReadThread, StopReachesAThreadWaitingInTheHandOver) {
    MouseRig r;
    auto& d = *r.data;
    d.HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 1, 0, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));  // blocked in the hand-over
    d.HidStopRead();                        // the main thread restarts reading
    EXPECT_EQ(r.Threads(), 0);
    EXPECT_EQ(r.main.RunPending(), 0) << "the withdrawn report is not handled late";
    d.HidFindAndReadDevice(kMouse, u"*");
    EXPECT_TRUE(Eventually([&] { return r.Threads() == 1; }));
    EXPECT_EQ(r.hid.channelsOpen.load(), 1) << "one reader per device after a restart";
    d.HidStopRead();
}

TEST(HidReadThread, UnpluggedDeviceReportsOnceOnTheReadThreadAndEnds) {
    MouseRig r;
    auto& d = *r.data;
    d.HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{}, platform::kErrorDeviceNotConnected, {}});
    ASSERT_TRUE(Eventually([&] { return r.Threads() == 0; }));
    EXPECT_EQ(r.got.lost.load(), 1);
    EXPECT_NE(r.got.lostOn, std::this_thread::get_id());
    ASSERT_EQ(r.hid.debug.size(), 1u);
    EXPECT_EQ(r.hid.debug[0], "ERROR_DEVICE_NOT_CONNECTED++++++++++++++++");
}

TEST(HidButtonUsages, PressThenReleaseAndListsCutTo100) {
    ButtonUsageTracker t;
    EXPECT_EQ(t.Next({3}, 8), 0x00030000u);
    EXPECT_EQ(t.Next({}, 8), 3u);
    EXPECT_EQ(t.Next({1, 2}, 8), 0x00010000u);
    EXPECT_EQ(t.Next({2, 5}, 8), 1u) << "a release wins over a press in the same report";
    EXPECT_EQ(t.Next({2, 5}, 8), 0u);

    Rig r;
    r.hid.devices = {Dev(u"m", {u"HID\\M"})};
    r.hid.devices[0].maxUsages = 150;
    auto& d = r.Make();
    std::atomic<int> parsed{0};
    d.OnParsedData = [&](const u16&, const u16&, std::uint8_t, std::uint32_t) { ++parsed; };
    d.HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 1, 0, 0, 0, 0, 0, 0}, 0, std::vector<std::uint16_t>(150, 9)});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    r.main.RunPending();
    EXPECT_EQ(parsed.load(), 1);
    ASSERT_EQ(r.hid.usageRequests.size(), 1u);
    EXPECT_EQ(r.hid.usageRequests[0], 100u);
    d.HidStopRead();
}

}  // namespace
}  // namespace vxm
