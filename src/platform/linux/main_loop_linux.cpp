#include "platform/linux/main_loop_linux.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <vector>

namespace vxm::linuxos {

std::uint64_t MonotonicMicros() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

namespace {

void Drain(int fd) {
    std::uint64_t count = 0;
    while (::read(fd, &count, sizeof count) == static_cast<ssize_t>(sizeof count)) {
    }
}

}  // namespace

// Hands a read thread's call to the loop and waits for it, as the window
// hand-over does on Windows.
class MainLoop::HandOver final : public platform::IMainThreadDispatcher {
public:
    explicit HandOver(MainLoop& loop) : loop_(loop) {}

    platform::HandOver RunOnMainThread(const std::function<void()>& call,
                                       const std::function<bool()>& stopped) override {
        auto state = std::make_shared<State>();
        state->call = &call;
        const bool posted = loop_.Post([state] {
            const std::function<void()>* run = nullptr;
            {
                std::lock_guard<std::mutex> lock(state->mutex);
                if (state->phase != State::Waiting) return;  // withdrawn
                state->phase = State::Running;
                run = state->call;
            }
            std::exception_ptr error;
            try {
                (*run)();
            } catch (...) {
                error = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(state->mutex);
            state->error = error;
            state->phase = State::Done;
            state->changed.notify_all();
        });
        if (!posted) return loop_.Closed() ? platform::HandOver::NoMainThread : platform::HandOver::Refused;
        std::unique_lock<std::mutex> lock(state->mutex);
        for (;;) {
            if (state->phase == State::Done) break;
            if (state->phase == State::Waiting && stopped()) {
                state->phase = State::Withdrawn;
                return platform::HandOver::Withdrawn;
            }
            // The stop has no signal of its own: look again shortly, only
            // while a hand-over waits.
            state->changed.wait_for(lock, std::chrono::milliseconds(1));
        }
        if (state->error) std::rethrow_exception(state->error);
        return platform::HandOver::Ran;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        enum { Waiting, Running, Done, Withdrawn } phase = Waiting;
        const std::function<void()>* call = nullptr;
        std::exception_ptr error;
    };
    MainLoop& loop_;
};

MainLoop::MainLoop()
    : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), dispatcher_(std::make_unique<HandOver>(*this)) {
    Watch(wake_.Get(), POLLIN, [this](short) {
        Drain(wake_.Get());
        RunPosted();
    });
}

MainLoop::~MainLoop() { Close(); }

platform::IMainThreadDispatcher& MainLoop::Dispatcher() { return *dispatcher_; }

MainLoop::WatchId MainLoop::Watch(int fd, short events, std::function<void(short)> onReady) {
    return WatchDynamic([fd, events] { return Interest{fd, events, kNoDeadline}; }, std::move(onReady));
}

MainLoop::WatchId MainLoop::WatchDynamic(std::function<Interest()> interest, std::function<void(short)> onReady) {
    const WatchId id = nextId_++;
    watches_[id] = std::make_shared<Entry>(Entry{std::move(interest), std::move(onReady)});
    return id;
}

void MainLoop::Unwatch(WatchId id) { watches_.erase(id); }

bool MainLoop::Post(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || posted_.size() >= kMaxPosted) return false;
        posted_.push_back(std::move(call));
    }
    const std::uint64_t one = 1;
    // A full counter still wakes the loop: the write may fail harmlessly.
    [[maybe_unused]] const ssize_t n = ::write(wake_.Get(), &one, sizeof one);
    return true;
}

void MainLoop::Close() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        dropped.swap(posted_);
    }
    // Destroyed outside the lock: a call's captures may post or wait.
}

bool MainLoop::Closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

void MainLoop::RunPosted() {
    // Only what waits now: calls posted meanwhile wake the next poll, so a
    // flood cannot starve the other watches.
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        batch.swap(posted_);
    }
    while (!batch.empty()) {
        // Once the loop is asked to end, nothing more of the queue runs (as
        // nothing after the quit message is dispatched): a second "Exit"
        // clicked in the same burst must not end the program twice.
        if (terminated_) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return;
            posted_.insert(posted_.begin(), std::make_move_iterator(batch.begin()),
                           std::make_move_iterator(batch.end()));
            return;
        }
        std::function<void()> call = std::move(batch.front());
        batch.pop_front();
        if (call) call();
    }
}

void MainLoop::Run() {
    while (!terminated_) Once(-1);
}

void MainLoop::ProcessMessages() { Once(0); }

void MainLoop::Once(int maxWaitMs) {
    std::vector<pollfd> fds;
    std::vector<std::pair<WatchId, std::shared_ptr<Entry>>> polled;
    std::vector<std::pair<WatchId, std::shared_ptr<Entry>>> due;
    std::uint64_t deadline = kNoDeadline;
    for (const auto& [id, entry] : watches_) {
        const Interest i = entry->interest();
        if (i.deadline < deadline) deadline = i.deadline;
        if (i.fd >= 0) {
            fds.push_back(pollfd{i.fd, i.events, 0});
            polled.emplace_back(id, entry);
        } else if (i.deadline != kNoDeadline) {
            due.emplace_back(id, entry);
        }
    }
    int timeout = maxWaitMs;
    if (deadline != kNoDeadline) {
        const std::uint64_t now = MonotonicMicros();
        const std::uint64_t waitMs = deadline <= now ? 0 : (deadline - now + 999) / 1000;
        if (timeout < 0 || waitMs < static_cast<std::uint64_t>(timeout)) {
            timeout = waitMs > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(waitMs);
        }
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) return;
    const std::uint64_t now = MonotonicMicros();
    for (std::size_t i = 0; i < polled.size(); ++i) {
        const short revents = ready > 0 ? fds[i].revents : 0;
        if (revents == 0 && now < deadline) continue;
        if (revents == 0) {
            // A deadline passed: only the watches whose own deadline it was.
            const Interest again = polled[i].second->interest();
            if (again.deadline > now) continue;
        }
        // Removed by an earlier callback of this round: not called.
        const auto it = watches_.find(polled[i].first);
        if (it == watches_.end() || it->second != polled[i].second) continue;
        // A descriptor closed under its watch would be ready for ever: the
        // watch goes, rather than the loop spinning.
        if (revents & POLLNVAL) {
            watches_.erase(it);
            continue;
        }
        const std::shared_ptr<Entry> keep = polled[i].second;
        keep->onReady(revents);
    }
    for (auto& [id, entry] : due) {
        if (entry->interest().deadline > now) continue;
        const auto it = watches_.find(id);
        if (it == watches_.end() || it->second != entry) continue;
        const std::shared_ptr<Entry> keep = entry;
        keep->onReady(0);
    }
}

namespace {

class LoopTimer final : public platform::ITimer {
public:
    LoopTimer(MainLoop& loop, unsigned intervalMs, std::function<bool()> gate)
        : loop_(loop),
          fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)),
          intervalMs_(intervalMs == 0 ? 1 : intervalMs),
          gate_(std::move(gate)) {
        id_ = loop_.Watch(fd_.Get(), POLLIN, [this](short) { Fired(); });
    }
    ~LoopTimer() override { loop_.Unwatch(id_); }

    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        itimerspec period{};
        if (enabled) {
            period.it_value.tv_sec = intervalMs_ / 1000;
            period.it_value.tv_nsec = static_cast<long>(intervalMs_ % 1000) * 1000000L;
            period.it_interval = period.it_value;
        }
        // Setting it again starts a new period; a tick already waiting is
        // dropped with the old one.
        ::timerfd_settime(fd_.Get(), 0, &period, nullptr);
        Drain(fd_.Get());
    }
    bool Enabled() const override { return enabled_; }

private:
    void Fired() {
        Drain(fd_.Get());
        if (!enabled_ || (gate_ && !gate_())) return;
        // A copy: the handler may disable or even destroy this timer.
        const std::function<void()> handler = OnTimer;
        if (handler) handler();
    }

    MainLoop& loop_;
    UniqueFd fd_;
    unsigned intervalMs_;
    std::function<bool()> gate_;
    bool enabled_ = false;
    MainLoop::WatchId id_ = 0;
};

}  // namespace

std::unique_ptr<platform::ITimer> MainLoop::CreateTimer(unsigned intervalMs, std::function<bool()> gate) {
    return std::make_unique<LoopTimer>(*this, intervalMs, std::move(gate));
}

}  // namespace vxm::linuxos
