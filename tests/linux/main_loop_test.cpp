// The Linux main loop (timers, posts, the read threads' hand-over, sleeping
// while idle), the tray icon's image reader, and starting programs.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "platform/linux/main_loop_linux.h"
#include "platform/linux/seams_linux.h"
#include "platform/linux/tray_linux.h"
#include "temp_dir.h"

namespace vxm::linuxos {
namespace {

using namespace std::chrono_literals;

// Runs the loop until `done` or the time-out.
bool RunUntil(MainLoop& loop, const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    auto guard = loop.CreateTimer(static_cast<unsigned>(timeout.count()));
    bool timedOut = false;
    guard->OnTimer = [&] { timedOut = true; };
    guard->SetEnabled(true);
    while (!done() && !timedOut) loop.ProcessMessages(), std::this_thread::sleep_for(1ms);
    return done();
}

TEST(MainLoop, TimersTickEachPeriodRestartWhenEnabledAgainAndStopWhenDisabled) {
    MainLoop loop;
    auto timer = loop.CreateTimer(30);
    int ticks = 0;
    timer->OnTimer = [&] { ++ticks; };
    EXPECT_FALSE(timer->Enabled());
    timer->SetEnabled(true);
    EXPECT_TRUE(RunUntil(loop, [&] { return ticks >= 3; }));
    timer->SetEnabled(false);
    const int stopped = ticks;
    RunUntil(loop, [] { return false; }, 100ms);
    EXPECT_EQ(ticks, stopped);
    // Enabled again: a whole new period before the next tick.
    timer->SetEnabled(true);
    loop.ProcessMessages();
    EXPECT_EQ(ticks, stopped);
    EXPECT_TRUE(RunUntil(loop, [&] { return ticks == stopped + 1; }));

    // A handler may destroy its own timer; a closed gate holds ticks back.
    bool open = false;
    auto gated = loop.CreateTimer(10, [&] { return open; });
    int gatedTicks = 0;
    gated->OnTimer = [&] { ++gatedTicks; };
    gated->SetEnabled(true);
    RunUntil(loop, [] { return false; }, 60ms);
    EXPECT_EQ(gatedTicks, 0);
    open = true;
    gated->OnTimer = [&] {
        ++gatedTicks;
        gated.reset();
    };
    EXPECT_TRUE(RunUntil(loop, [&] { return gated == nullptr; }));
    EXPECT_EQ(gatedTicks, 1);
}

TEST(MainLoop, PostsRunInOrderOnTheLoopAndAreRefusedWhenFullClosedOrAfterTheEnd) {
    MainLoop loop;
    std::vector<int> order;
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) ASSERT_TRUE(loop.Post([&order, i] { order.push_back(i); }));
    });
    poster.join();
    EXPECT_TRUE(RunUntil(loop, [&] { return order.size() == 100; }));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(order[static_cast<std::size_t>(i)], i);

    // A flood: beyond the bound, refused.
    int ran = 0;
    std::size_t taken = 0;
    while (loop.Post([&] { ++ran; })) ++taken;
    EXPECT_EQ(taken, MainLoop::kMaxPosted);
    loop.ProcessMessages();
    EXPECT_EQ(ran, static_cast<int>(taken));

    // Asked to end: what waits does not run (the second "Exit" of a burst).
    int exits = 0;
    loop.Post([&] {
        ++exits;
        loop.Terminate();
    });
    loop.Post([&] {
        ++exits;
        loop.Terminate();
    });
    loop.Run();
    EXPECT_EQ(exits, 1);
    loop.Close();
    EXPECT_FALSE(loop.Post([] {}));
}

TEST(MainLoop, TheHandOverRunsWithdrawsAndKnowsWhenTheMainThreadIsGone) {
    MainLoop loop;
    std::atomic<bool> stop{false};
    std::atomic<int> result{-1};
    std::atomic<bool> ranOnLoop{false};
    const auto loopThread = std::this_thread::get_id();
    std::thread reader([&] {
        result = static_cast<int>(loop.Dispatcher().RunOnMainThread(
            [&] { ranOnLoop = std::this_thread::get_id() == loopThread; }, [&] { return stop.load(); }));
    });
    EXPECT_TRUE(RunUntil(loop, [&] { return result.load() >= 0; }));
    reader.join();
    EXPECT_EQ(result.load(), static_cast<int>(platform::HandOver::Ran));
    EXPECT_TRUE(ranOnLoop);

    // An exception of the call goes on in the reader.
    std::thread thrower([&] {
        EXPECT_THROW(loop.Dispatcher().RunOnMainThread([] { throw std::runtime_error("x"); }, [] { return false; }),
                     std::runtime_error);
    });
    RunUntil(loop, [] { return false; }, 100ms);
    thrower.join();

    // The loop busy elsewhere and the stop set: withdrawn, and it never runs.
    bool ranLate = false;
    std::thread withdrawn([&] {
        result = static_cast<int>(loop.Dispatcher().RunOnMainThread([&] { ranLate = true; }, [&] { return stop.load(); }));
    });
    std::this_thread::sleep_for(20ms);
    stop = true;
    withdrawn.join();
    EXPECT_EQ(result.load(), static_cast<int>(platform::HandOver::Withdrawn));
    loop.ProcessMessages();
    EXPECT_FALSE(ranLate);

    loop.Close();
    EXPECT_EQ(loop.Dispatcher().RunOnMainThread([] {}, [] { return false; }), platform::HandOver::NoMainThread);
}

long SwitchesOf(long tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    }
    return -1;
}

TEST(MainLoop, AnIdleLoopSleepsWithoutWakingAndAWatchRemovedInTheSameRoundIsNotCalled) {
    MainLoop loop;
    std::atomic<long> tid{0};
    // Something watched and a long timer enabled, but nothing due.
    const UniqueFd event(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    const UniqueFd other(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    int firstCalls = 0;
    int secondCalls = 0;
    MainLoop::WatchId second = 0;
    loop.Watch(event.Get(), POLLIN, [&](short) {
        std::uint64_t n;
        [[maybe_unused]] ssize_t r = ::read(event.Get(), &n, sizeof n);
        ++firstCalls;
        loop.Unwatch(second);
    });
    second = loop.Watch(other.Get(), POLLIN, [&](short) { ++secondCalls; });
    auto timer = loop.CreateTimer(60000);
    timer->SetEnabled(true);
    std::thread runner([&] {
        tid = ::syscall(SYS_gettid);
        loop.Run();
    });
    while (tid == 0) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(50ms);
    const long before = SwitchesOf(tid);
    std::this_thread::sleep_for(400ms);
    const long after = SwitchesOf(tid);
    EXPECT_GE(before, 0);
    EXPECT_EQ(after, before) << "the idle loop woke up";
    // Both ready in one round: the first removes the second.
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(other.Get(), &one, sizeof one);
    w = ::write(event.Get(), &one, sizeof one);
    loop.Post([&] { loop.Terminate(); });
    runner.join();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_LE(secondCalls, 1);  // only if it came in a round before the first

    // A descriptor closed under its watch: the watch goes, the loop does not spin on it.
    int closedCalls = 0;
    int fd = ::eventfd(1, EFD_NONBLOCK | EFD_CLOEXEC);
    loop.Watch(fd, POLLIN, [&](short) { ++closedCalls; });
    ::close(fd);
    for (int i = 0; i < 10; ++i) loop.ProcessMessages();
    EXPECT_EQ(closedCalls, 0);
}

TEST(TrayIcon, TheLogoGivesItsUncompressedImagesAndDamagedFilesGiveNone) {
    std::ifstream in(VXM_LOGO_ICO, std::ios::binary);
    const std::vector<std::uint8_t> logo((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(logo.size(), 100u);
    const auto images = IconPixmapsFromIco(logo.data(), logo.size());
    ASSERT_FALSE(images.empty());
    bool has48 = false;
    for (const IconPixmap& p : images) {
        EXPECT_EQ(p.argb.size(), static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) * 4);
        has48 |= p.width == 48 && p.height == 48;
    }
    EXPECT_TRUE(has48);
    // Every truncation, and bytes flipped in the directory: never outside the data.
    for (std::size_t size = 0; size < logo.size(); size += 97) {
        const std::vector<std::uint8_t> cut(logo.begin(), logo.begin() + static_cast<std::ptrdiff_t>(size));
        IconPixmapsFromIco(cut.data(), cut.size());
    }
    for (std::size_t at = 6; at < 6 + 16 * 4; ++at) {
        std::vector<std::uint8_t> bad = logo;
        bad[at] = 0xFF;
        IconPixmapsFromIco(bad.data(), bad.size());
    }
    const std::uint8_t text[] = "not an icon";
    EXPECT_TRUE(IconPixmapsFromIco(text, sizeof text).empty());
}

TEST(Programs, StartedByFullPathOnlyWhileTheyRunAndAWindowsNameFindsTheLinuxOne) {
    testing::TempDir dir;
    Programs programs;
    EXPECT_EQ(programs.StartProgram(u"open", Utf16(dir / "missing"), Utf16(dir.Path()), 5), nullptr);
    testing::WriteBytes(dir / "vxmcfg", "#!/bin/sh\npwd > started\nexec sleep 0.3\n");
    ::chmod((dir / "vxmcfg").c_str(), 0755);
    testing::WriteBytes(dir / "plain", "not executable");
    EXPECT_EQ(programs.StartProgram(u"open", Utf16(dir / "plain"), Utf16(dir.Path()), 5), nullptr);
    auto started = programs.StartProgram(u"open", Utf16(dir.Path()) + u"\\VXMCFG.EXE", Utf16(dir.Path()), 5);
    ASSERT_NE(started, nullptr);
    EXPECT_TRUE(started->Running());
    for (int i = 0; i < 300 && started->Running(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(started->Running());
    // Run in the folder given.
    EXPECT_EQ(testing::ReadBytes(dir / "started"), dir.Path() + "\n");
}

}  // namespace
}  // namespace vxm::linuxos
