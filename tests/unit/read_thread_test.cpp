// The read threads: reports handed to the main thread, stops that reach a
// waiting reader, unplugged devices, button usages, stops from inside a
// report's events, refused hand-overs; and a bounded stress of many at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "hid/hid_data.h"
#include "hid/read_thread.h"
#include "unit/hid_rig.h"

namespace vxm {
namespace {

using namespace hid_rig;

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

// Many read threads against the component's stop, restart and destruction at
// once: reports from several devices, unplugs, two components, stops from
// inside OnData on the main thread and from read threads. Bounded by rounds,
// not by time; the ThreadSanitizer build runs it too.
// A device of the stress, with its hardware id after its path.
fake::FakeHidDevice StressDev(u16 path) {
    fake::FakeHidDevice d;
    d.iface = {path, {u"HID\\" + path}};
    d.caps.UsagePage = 0xFFA0;
    d.caps.Usage = 1;
    d.caps.InputReportByteLength = 8;
    d.maxUsages = 8;
    return d;
}

TEST(HidStress, RestartsUnplugsAndReportsFromSeveralDevicesWithTwoComponents) {
    fake::FakePlatform p;
    fake::FakeHidSystem sysA, sysB;
    sysA.devices = {StressDev(u"a1"), StressDev(u"a2"), StressDev(u"a3")};
    sysB.devices = {StressDev(u"b1")};
    fake::FakeDispatcher main;
    fake::FakeDebugOutput debug;
    const auto noPause = [](unsigned) {};

    // A hands its reports to this (main) thread and restarts from inside
    // every seventh OnData.
    TuiHIDData a(HidDependencies{sysA, p.ini, main, debug, p.paths.exeFolder, noPause});
    int aCalls = 0;
    int mostAReaders = 0;
    std::atomic<int> aLost{0};
    a.OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (++aCalls % 7 != 0) return;
        a.HidStopRead();
        a.HidFindAndReadDevice(kMouse, u"*");
        mostAReaders = std::max(mostAReaders, sysA.channelsOpen.load());
    };
    a.OnParsedData = [](const u16&, const u16&, std::uint8_t, std::uint32_t) {};
    a.OnDeviceNotConnected = [&](const u16&, const u16&) { ++aLost; };

    // B handles reports on its read thread and restarts from there, from
    // every fifth report and from every unplug.
    std::atomic<int> bReports{0};
    auto makeB = [&] {
        auto b = std::make_unique<TuiHIDData>(HidDependencies{sysB, p.ini, main, debug, p.paths.exeFolder, noPause});
        TuiHIDData* self = b.get();
        self->FastOnData = true;
        self->OnData = [self, &bReports](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
            if (++bReports % 5 != 0) return;
            self->HidStopRead();
            self->HidFindAndReadDevice(kMouse, u"*");
        };
        self->OnDeviceNotConnected = [self](const u16&, const u16&) {
            self->HidStopRead();
            self->HidFindAndReadDevice(kMouse, u"*");
        };
        self->HidFindAndReadDevice(kMouse, u"*");
        return b;
    };
    a.HidFindAndReadDevice(kMouse, u"*");
    auto b = makeB();

    std::atomic<bool> producing{true};
    std::thread producer([&] {
        const u16 paths[] = {u"a1", u"a2", u"a3", u"b1"};
        for (int round = 0; round < 1000; ++round) {
            for (const u16& path : paths) {
                fake::FakeHidSystem& sys = path[0] == u'a' ? sysA : sysB;
                if (round % 23 == 11 && path == paths[round % 4]) {
                    sys.Queue(path, {{}, platform::kErrorDeviceNotConnected, {}});
                } else {
                    sys.Queue(path, {{7, 0, static_cast<std::uint8_t>(1u << (round % 8)), 0, 0, 0, 0, 0}, 0, {1}});
                }
            }
            std::this_thread::sleep_for(1ms);
        }
        producing = false;
    });

    int aStopsWithReadersLeft = 0;
    for (int round = 0; producing; ++round) {
        main.WaitForCall(1);
        main.RunPending();
        if (round % 20 == 10) {
            a.HidStopRead();
            if (sysA.channelsOpen.load() != 0) ++aStopsWithReadersLeft;
            a.HidFindAndReadDevice(kMouse, u"*");
            mostAReaders = std::max(mostAReaders, sysA.channelsOpen.load());
        }
        if (round % 35 == 17) {
            b->HidStopRead();
            b->HidFindAndReadDevice(kMouse, u"*");
        }
        if (round % 90 == 45) b = makeB();  // the old one goes while its reader runs
    }
    producer.join();

    EXPECT_EQ(aStopsWithReadersLeft, 0) << "a stop from the main thread ends every reader of its component";
    EXPECT_LE(mostAReaders, 3) << "never two readers on one device";
    EXPECT_GT(aCalls, 0);
    EXPECT_GT(bReports.load(), 0);
    b.reset();
    EXPECT_EQ(sysB.channelsOpen.load(), 0);
    a.HidStopRead();
    EXPECT_EQ(sysA.channelsOpen.load(), 0);
    EXPECT_EQ(main.RunPending(), 0) << "no report waits for the main thread after the stop";
    EXPECT_EQ(HidStopEvent.LiveThreads(), 0);
}

}  // namespace
}  // namespace vxm
