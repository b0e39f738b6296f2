// The main-thread hand-over of the Win32 build with the real dispatcher: a
// read thread's report runs on the thread that owns the window, a stop
// withdraws a report still waiting for it, stale and forged hand-over
// messages run nothing, and a reader whose main window is gone says so.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "hid/hid_data.h"
#include "platform/win32/debug_output_win32.h"
#include "platform/win32/ini_win32.h"
#include "standin/pipe_device.h"
#include "standin/standin_hid.h"
#include "win32/main_thread.h"

namespace vxm::win32 {
namespace {

using vxm::testing::Eventually;
using vxm::testing::MainThreadWindow;
using vxm::testing::PipeDevice;
using vxm::testing::Pump;

constexpr USAGE_AND_PAGE kMouse{0x0001, 0xFFA0};

// The component on a stand-in device, handing its reports to this thread.
struct Rig {
    explicit Rig(int n) : device(n), standIn(device.name) {
        data = std::make_unique<TuiHIDData>(HidDependencies{standIn, ini, window.Dispatcher(), debug, u"C:\\nowhere\\",
                                                            [](unsigned ms) { Sleep(ms); }});
        data->OnData = [this](const u16&, const u16&, std::uint8_t id, const std::uint8_t*, std::uint16_t) {
            reports.push_back(id);
            threads.push_back(GetCurrentThreadId());
        };
        data->OnDeviceNotConnected = [this](const u16&, const u16&) { ++lost; };
    }
    ~Rig() { data.reset(); }
    void Start() {
        data->HidFindAndReadDevice(kMouse, u"*");
        ConnectNamedPipe(device.server, nullptr);
        ASSERT_TRUE(Eventually([&] { return data->ReadThreadCount() == 1; }));
    }

    PipeDevice device;
    testing::StandInHidSystem standIn;
    IniReader ini;
    DebuggerOutput debug;
    MainThreadWindow window;
    std::unique_ptr<TuiHIDData> data;
    std::vector<int> reports;  // touched on this thread only
    std::vector<DWORD> threads;
    std::atomic<int> lost{0};
};

TEST(Win32HandOver, ReportsRunOnTheThreadThatOwnsTheWindow) {
    Rig rig(11);
    rig.Start();
    rig.device.Send({7, 0, 4, 0, 0, 0, 0, 0});
    rig.device.Send({8, 1, 2, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Eventually([&] { return rig.reports.size() == 2; }, true));
    EXPECT_EQ(rig.reports, (std::vector<int>{7, 8}));
    EXPECT_EQ(rig.threads, (std::vector<DWORD>{GetCurrentThreadId(), GetCurrentThreadId()}));
    rig.data->HidStopRead();
    EXPECT_EQ(rig.data->ReadThreadCount(), 0);
}

TEST(Win32HandOver, AStopWithdrawsAWaitingReportAndItsMessageRunsNothing) {
    Rig rig(12);
    rig.Start();
    rig.device.Send({7, 0, 4, 0, 0, 0, 0, 0});
    // The reader now waits in the hand-over: its message is queued here.
    ASSERT_TRUE(Eventually([&] { return rig.window.CallQueued(); }));
    rig.data->HidStopRead();  // this thread does not dispatch meanwhile
    EXPECT_EQ(rig.data->ReadThreadCount(), 0) << "the stop reached the reader waiting in the hand-over";
    EXPECT_TRUE(rig.window.CallQueued()) << "its message is still there";
    Pump(50);
    EXPECT_TRUE(rig.reports.empty()) << "the withdrawn report is not handled late";

    // Messages that name no waiting call, as another process may post them.
    for (LPARAM forged : {LPARAM{0}, LPARAM{1}, LPARAM{12345}, reinterpret_cast<LPARAM>(&rig)}) {
        PostMessageW(rig.window.Handle(), kMainThreadCallMessage, 0, forged);
    }
    Pump(50);
    EXPECT_TRUE(rig.reports.empty());

    // Reading starts again (on a fresh instance of the stand-in's pipe): one
    // reader, and the next report is handled once.
    PipeDevice again(12);
    rig.data->HidFindAndReadDevice(kMouse, u"*");
    ASSERT_TRUE(Eventually([&] { return rig.data->ReadThreadCount() == 1; }));
    ConnectNamedPipe(again.server, nullptr);
    again.Send({7, 0, 8, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Eventually([&] { return rig.reports.size() == 1; }, true));
    Pump(50);
    EXPECT_EQ(rig.reports.size(), 1u);
    rig.data->HidStopRead();
}

TEST(Win32HandOver, AStopFromInsideOnDataNeitherWaitsForItsReaderNorDoublesIt) {
    Rig rig(13);
    // A second instance of the stand-in's pipe for the reader of the restart.
    HANDLE second = CreateNamedPipeW(W(rig.device.name).c_str(), PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 4, 4096, 4096, 0, nullptr);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    int calls = 0;
    BOOL oldDeviceStillOpen = TRUE;
    rig.data->OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) {
        if (++calls > 1) return;
        rig.data->HidStopRead();
        rig.data->HidFindAndReadDevice(kMouse, u"*");
        // A write to the first instance succeeds only while its reader still has it open.
        const std::uint8_t report[8] = {7, 0, 2};
        DWORD n = 0;
        oldDeviceStillOpen = WriteFile(rig.device.server, report, 8, &n, nullptr);
    };
    rig.Start();
    rig.device.Send({7, 0, 4, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Eventually([&] { return calls == 1; }, true));
    EXPECT_FALSE(oldDeviceStillOpen) << "the old reader gave its device up before the restart";
    ASSERT_TRUE(Eventually([&] { return rig.data->ReadThreadCount() == 1 && HidStopEvent.LiveThreads() == 1; }, true));
    ConnectNamedPipe(second, nullptr);
    const std::uint8_t next[8] = {7, 0, 8};
    DWORD n = 0;
    WriteFile(second, next, 8, &n, nullptr);
    ASSERT_TRUE(Eventually([&] { return calls == 2; }, true));
    Pump(50);
    EXPECT_EQ(calls, 2) << "handled once, by the new reader";
    rig.data->HidStopRead();
    CloseHandle(second);
}

TEST(Win32HandOver, AReaderWhoseMainWindowIsGoneEndsAsALostDevice) {
    Rig rig(14);
    rig.Start();
    rig.window.Destroy();
    rig.device.Send({7, 0, 4, 0, 0, 0, 0, 0});
    ASSERT_TRUE(Eventually([&] { return rig.data->ReadThreadCount() == 0; }));
    EXPECT_EQ(rig.lost.load(), 1) << "its owner hears of it and can start reading again";
    EXPECT_TRUE(rig.reports.empty());
}

TEST(Win32HandOver, ACallsExceptionGoesBackToTheCallerNotAcrossTheWindow) {
    MainThreadWindow window;
    std::atomic<bool> caught{false}, done{false};
    std::thread worker([&] {
        try {
            window.Dispatcher().RunOnMainThread([] { throw std::runtime_error("handler failed"); },
                                                [] { return false; });
        } catch (const std::runtime_error&) {
            caught = true;
        }
        done = true;
    });
    EXPECT_TRUE(Eventually([&] { return done.load(); }, true));
    worker.join();
    EXPECT_TRUE(caught.load());
}

}  // namespace
}  // namespace vxm::win32
