// Many read threads against the component's stop, restart and destruction at
// once: reports from several devices, unplugs, two components, stops from
// inside OnData on the main thread and from read threads. Bounded by rounds,
// not by time; the ThreadSanitizer build runs it too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "hid/hid_data.h"
#include "support/fake_hid.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

using namespace std::chrono_literals;

constexpr USAGE_AND_PAGE kMouse{0x0001, 0xFFA0};

fake::FakeHidDevice Dev(u16 path) {
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
    sysA.devices = {Dev(u"a1"), Dev(u"a2"), Dev(u"a3")};
    sysB.devices = {Dev(u"b1")};
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
