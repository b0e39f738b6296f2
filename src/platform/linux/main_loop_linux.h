#pragma once
// The main thread's loop on Linux: one poll() over the descriptors watched
// (the session bus, the udev monitor, timers, signals) and an eventfd that
// other threads set when they post a call. It sleeps until one of them is
// ready or a watch's deadline comes; with nothing due it never wakes.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/dispatcher.h"
#include "platform/linux/posix.h"
#include "platform/message_loop.h"
#include "platform/timer.h"

namespace vxm::linuxos {

inline constexpr std::uint64_t kNoDeadline = UINT64_MAX;

// CLOCK_MONOTONIC in microseconds, the clock of watch deadlines (sd-bus's too).
std::uint64_t MonotonicMicros();

class MainLoop final : public platform::IMessageLoop {
public:
    using WatchId = std::uint64_t;
    // What a watch asks of the next poll: its descriptor (-1 for none this
    // time), the events, and an absolute deadline (kNoDeadline for none).
    struct Interest {
        int fd = -1;
        short events = 0;
        std::uint64_t deadline = kNoDeadline;
    };
    // Posted calls that may wait at once; a post beyond them is refused.
    static constexpr std::size_t kMaxPosted = 4096;

    MainLoop();
    ~MainLoop() override;
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;

    // `onReady` runs on the loop's thread with poll's revents (0 when the
    // deadline passed). A watch removed while the loop runs is never called
    // again, also not later in the same round.
    WatchId Watch(int fd, short events, std::function<void(short revents)> onReady);
    // A watch whose interest is asked before every poll (sd-bus's changes).
    WatchId WatchDynamic(std::function<Interest()> interest, std::function<void(short revents)> onReady);
    void Unwatch(WatchId id);

    // From any thread: runs `call` on the loop's thread. False, and the call
    // never runs, once the loop is closed or while kMaxPosted calls wait.
    bool Post(std::function<void()> call);
    // Refuses posts from now on and drops those that wait.
    void Close();
    bool Closed() const;

    // Until Terminate.
    void Run();
    void ProcessMessages() override;
    void Terminate() override { terminated_ = true; }
    bool Terminated() const { return terminated_; }

    // A timer of the shell's timer seam on a timerfd; `gate` (when given)
    // says whether its ticks may reach OnTimer now.
    std::unique_ptr<platform::ITimer> CreateTimer(unsigned intervalMs, std::function<bool()> gate = {});

    // The main-thread hand-over of read threads through this loop's posts.
    platform::IMainThreadDispatcher& Dispatcher();

private:
    struct Entry {
        std::function<Interest()> interest;
        std::function<void(short)> onReady;
    };
    class HandOver;
    // One poll, waiting at most `maxWaitMs` (-1: until something is ready).
    void Once(int maxWaitMs);
    void RunPosted();

    UniqueFd wake_;
    std::map<WatchId, std::shared_ptr<Entry>> watches_;
    WatchId nextId_ = 1;
    bool terminated_ = false;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    bool closed_ = false;
    std::unique_ptr<HandOver> dispatcher_;
};

}  // namespace vxm::linuxos
