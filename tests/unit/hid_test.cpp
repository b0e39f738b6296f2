// HID search filters, report operations and the read threads, against a
// scripted HID system and a test-driven main thread.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "hid/hid_data.h"
#include "hid/hid_event.h"
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
    fake::FakeDebugOutput debug;
    std::unique_ptr<TuiHIDData> data;

    void Include(std::string_view ini) { p.files.PutText(p.paths.exeFolder + u"config.ini", ini); }
    TuiHIDData& Make() {
        data = std::make_unique<TuiHIDData>(HidDependencies{
            hid, p.ini, main, debug, p.paths.exeFolder, [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }});
        return *data;
    }
    int Threads() { return data ? data->ReadThreadCount() : 0; }
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
    ASSERT_TRUE(Eventually([&] { return r.hid.readsStarted.load() == 1; }));
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
    ASSERT_EQ(r.debug.Lines().size(), 1u);
    EXPECT_EQ(r.debug.Lines()[0], "ERROR_DEVICE_NOT_CONNECTED++++++++++++++++");
}

TEST(HidButtonUsages, PressThenReleaseAndListsCutTo100) {
    ButtonUsageTracker t;
    EXPECT_EQ(t.Next({3}, 8), 0x00030000u);
    EXPECT_EQ(t.Next({}, 8), 3u);
    EXPECT_EQ(t.Next({1, 2}, 8), 0x00010000u);
    EXPECT_EQ(t.Next({2, 5}, 8), 1u) << "a release wins over a press in the same report";
    EXPECT_EQ(t.Next({2, 5}, 8), 0u);

    // A device whose usage lists are longer than 100: the channel gives the
    // whole list, and only its first 100 usages count.
    ResetButtonData();
    MouseRig r;
    r.hid.devices[0].maxUsages = 150;
    auto& d = *r.data;
    std::vector<std::uint32_t> parsed;
    d.OnParsedData = [&](const u16&, const u16&, std::uint8_t, std::uint32_t b) { parsed.push_back(b); };
    d.HidFindAndReadDevice(kMouse, u"*");
    auto usages = [](int from, int to, int skip = 0) {
        std::vector<std::uint16_t> u;
        for (int i = from; i <= to; ++i) {
            if (i != skip) u.push_back(static_cast<std::uint16_t>(i));
        }
        return u;
    };
    for (auto list : {usages(1, 150), usages(1, 150, 120), usages(2, 150)}) {
        r.hid.Queue(u"m", {{7, 1, 0, 0, 0, 0, 0, 0}, 0, list});
        ASSERT_TRUE(r.main.WaitForCall(2000));
        r.main.RunPending();
    }
    EXPECT_EQ(parsed, (std::vector<std::uint32_t>{0x00010000u, 0u, 1u}))
        << "press of 1; 120 released beyond the first 100 is not seen; release of 1";
    d.HidStopRead();
    ResetButtonData();
}

// Two components, each with its own device.
struct TwoComponents {
    fake::FakePlatform p;
    fake::FakeHidSystem hid;
    fake::FakeDispatcher main;
    fake::FakeDebugOutput debug;
    Received gotA, gotB;
    std::unique_ptr<TuiHIDData> a, b;

    TwoComponents() {
        hid.devices = {Dev(u"a", {u"HID\\A"}), Dev(u"b", {u"HID\\B"})};
        p.files.PutText(p.paths.exeFolder + u"config.ini", "[IncludeHIDDeviceList]\nid1=HID\\A\nid2=HID\\B\n");
    }
    std::unique_ptr<TuiHIDData> Make(Received& got) {
        auto d = std::make_unique<TuiHIDData>(HidDependencies{hid, p.ini, main, debug, p.paths.exeFolder, {}});
        Wire(*d, got);
        return d;
    }
    ~TwoComponents() {
        b.reset();
        a.reset();
    }
};

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

TEST(HidStopFromItsOwnEvents, AStopAndRestartInsideOnDataOnTheMainThread) {
    MouseRig r;
    auto& d = *r.data;
    int openInside = -1;
    int calls = 0;
    d.OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (++calls > 1) return;
        d.HidStopRead();  // the reader whose report this is waits for this very call
        d.HidFindAndReadDevice(kMouse, u"*");
        openInside = r.hid.channelsOpen.load();
    };
    d.HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    EXPECT_EQ(r.main.RunPending(), 1);
    EXPECT_EQ(openInside, 1) << "the old reader gave up its device before the restart opened it again";
    ASSERT_TRUE(Eventually([&] { return r.Threads() == 1; }));
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    EXPECT_EQ(r.main.RunPending(), 1) << "the next report is handled once, by the new reader";
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(r.hid.channelsOpen.load(), 1);
    d.HidStopRead();
}

TEST(HidStopFromItsOwnEvents, AStopAndRestartOnAReadThread) {
    MouseRig r;
    auto& d = *r.data;
    d.FastOnData = true;  // reports are handled on the read thread
    std::atomic<int> openInside{-1};
    std::atomic<int> calls{0};
    d.OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (++calls > 1) return;
        d.HidStopRead();
        d.HidFindAndReadDevice(kMouse, u"*");
        openInside = r.hid.channelsOpen.load();
    };
    d.HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(Eventually([&] { return openInside.load() != -1; }));
    EXPECT_EQ(openInside.load(), 1);
    ASSERT_TRUE(Eventually([&] { return r.Threads() == 1; }));
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(Eventually([&] { return calls.load() == 2; }));
    d.HidStopRead();
    EXPECT_EQ(r.hid.channelsOpen.load(), 0);
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

TEST(HidHandOver, ARefusedHandOverIsTriedAgainAndTheReportArrives) {
    MouseRig r;
    r.main.refusals = 3;  // the main thread's queue is full for a while
    r.data->HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    EXPECT_EQ(r.main.refused.load(), 3);
    EXPECT_EQ(r.main.RunPending(), 1);
    EXPECT_EQ(r.got.data.size(), 1u);
    EXPECT_EQ(r.Threads(), 1) << "the reader goes on";
    r.hid.Queue(u"m", {{7, 0, 8, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(r.main.WaitForCall(2000));
    EXPECT_EQ(r.main.RunPending(), 1);
    r.data->HidStopRead();
}

TEST(HidHandOver, AStopEndsAReaderThatWaitsForRoomAtOnce) {
    MouseRig r;
    r.main.refusals = 1000000;
    r.data->HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(Eventually([&] { return r.main.refused.load() > 2; }));
    r.data->HidStopRead();
    EXPECT_EQ(r.Threads(), 0);
    EXPECT_EQ(r.got.lost.load(), 0);
    EXPECT_TRUE(r.got.data.empty());
}

TEST(HidHandOver, NoMainThreadEndsTheReaderAsALostDeviceSoItsOwnerHears) {
    MouseRig r;
    r.main.gone = true;
    r.data->HidFindAndReadDevice(kMouse, u"*");
    r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
    ASSERT_TRUE(Eventually([&] { return r.Threads() == 0; }));
    EXPECT_EQ(r.got.lost.load(), 1);
    ASSERT_EQ(r.debug.Lines().size(), 1u);
    EXPECT_EQ(r.debug.Lines()[0], "ERROR_DEVICE_NOT_CONNECTED++++++++++++++++");
}

TEST(HidHandOver, AFailingHandlerLosesItsReportNotTheReader) {
    MouseRig r;
    int calls = 0;
    r.data->OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (++calls == 1) throw std::runtime_error("bad report");
    };
    r.data->HidFindAndReadDevice(kMouse, u"*");
    for (int i = 0; i < 2; ++i) {
        r.hid.Queue(u"m", {{7, 0, 4, 0, 0, 0, 0, 0}, 0, {}});
        ASSERT_TRUE(r.main.WaitForCall(2000));
        EXPECT_NO_THROW(r.main.RunPending());
    }
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(r.Threads(), 1);
    ASSERT_FALSE(r.debug.Lines().empty());
    EXPECT_EQ(r.debug.Lines()[0], "HID event handler failed: bad report");
    r.data->HidStopRead();
}

TEST(HidArrivalNotifier, AnExceptionFromAHandlerGoesToTheApplicationsHandler) {
    struct Timer final : platform::ITimer {
        void SetEnabled(bool e) override { enabled = e; }
        bool Enabled() const override { return enabled; }
        bool enabled = false;
    };
    struct Notifier final : TuiHIDEvent {
        Notifier() : TuiHIDEvent(std::make_unique<Timer>()) {}
        void HandleException(u16view message) override { messages.emplace_back(message); }
        std::vector<u16> messages;
    } n;
    int changes = 0;
    n.OnDeviceArrival = [] { throw std::runtime_error("arrival failed"); };
    n.OnDeviceChange = [&] {
        ++changes;
        throw 42;
    };
    EXPECT_NO_THROW(n.DispatchDeviceChange(kDbtDeviceArrival, kDbtDevTypDeviceInterface));
    EXPECT_NO_THROW(n.DispatchDeviceChange(kDbtDevNodesChanged, 0));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(n.messages, (std::vector<u16>{u"arrival failed", u"Unknown exception in a device notification"}));
}

}  // namespace
}  // namespace vxm
