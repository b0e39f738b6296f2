// The real overlapped read loop of the Win32 backend against a stand-in
// device: a named pipe fed with reports, stopped, and unplugged.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "hid/hid_data.h"
#include "platform/win32/debug_output_win32.h"
#include "platform/win32/ini_win32.h"
#include "platform/win32/wide.h"
#include "standin/pipe_device.h"
#include "standin/standin_hid.h"
#include "win32/inline_dispatcher.h"
#include "win32/main_thread.h"

namespace vxm::win32 {
namespace {

using vxm::testing::Eventually;
using vxm::testing::PipeDevice;

struct Rig {
    IniReader ini;
    vxm::testing::InlineDispatcher dispatcher;
    DebuggerOutput debug;
    std::unique_ptr<testing::StandInHidSystem> standIn;
    std::unique_ptr<TuiHIDData> data;
    std::mutex m;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> reports;
    std::atomic<int> lost{0};

    explicit Rig(const PipeDevice& dev) {
        standIn = std::make_unique<testing::StandInHidSystem>(dev.name);
        data = std::make_unique<TuiHIDData>(
            HidDependencies{*standIn, ini, dispatcher, debug, u"C:\\nowhere\\", [](unsigned ms) { Sleep(ms); }});
        data->OnData = [this](const u16&, const u16&, std::uint8_t id, const std::uint8_t* d, std::uint16_t size) {
            std::lock_guard<std::mutex> lock(m);
            reports.emplace_back(id, std::vector<std::uint8_t>(d, d + size));
        };
        data->OnDeviceNotConnected = [this](const u16&, const u16&) { ++lost; };
    }
    std::size_t Count() {
        std::lock_guard<std::mutex> lock(m);
        return reports.size();
    }
};

TEST(Win32ReadLoop, ReportsFromAStandInDeviceReachOnDataAndAStopEndsTheThread) {
    PipeDevice dev(1);
    Rig rig(dev);
    rig.data->HidFindAndReadDevice({0x0001, 0xFFA0}, u"*");
    ASSERT_TRUE(Eventually([] { return HidStopEvent.LiveThreads() == 1; }));
    ConnectNamedPipe(dev.server, nullptr);
    dev.Send({7, 0, 4, 0, 0, 0, 0, 0});
    dev.Send({8, 1, 3, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Eventually([&] { return rig.Count() == 2; }));
    EXPECT_EQ(rig.reports[0].first, 7);
    EXPECT_EQ(rig.reports[0].second, (std::vector<std::uint8_t>{0, 4, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rig.reports[1].first, 8);
    rig.data->HidStopRead();
    EXPECT_EQ(HidStopEvent.LiveThreads(), 0);
    EXPECT_EQ(rig.lost.load(), 0);
}

TEST(Win32ReadLoop, UnpluggingRaisesNotConnectedOnceAndEndsTheThread) {
    PipeDevice dev(2);
    Rig rig(dev);
    rig.data->HidFindAndReadDevice({0x0001, 0xFFA0}, u"*");
    ASSERT_TRUE(Eventually([] { return HidStopEvent.LiveThreads() == 1; }));
    ConnectNamedPipe(dev.server, nullptr);
    Sleep(20);
    dev.Unplug();
    ASSERT_TRUE(Eventually([] { return HidStopEvent.LiveThreads() == 0; }));
    EXPECT_EQ(rig.lost.load(), 1);
}

}  // namespace
}  // namespace vxm::win32
