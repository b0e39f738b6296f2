#include "support/fake_hid.h"

#include <chrono>
#include <algorithm>
#include <cstring>

namespace vxm::fake {
namespace {

class Device final : public platform::IHidDevice {
public:
    Device(FakeHidSystem& sys, const FakeHidDevice& dev) : sys_(sys), dev_(dev) {}
    std::optional<platform::HidCaps> Capabilities() override { return dev_.caps; }
    long Write(const std::uint8_t* data, std::size_t size) override {
        std::lock_guard<std::mutex> lock(sys_.mutex);
        sys_.writes.emplace_back(dev_.iface.path, std::vector<std::uint8_t>(data, data + size));
        return 0;
    }
    long GetFeature(std::uint8_t* buffer, std::size_t size) override {
        for (std::size_t i = 1; i < size; ++i) buffer[i] = static_cast<std::uint8_t>(0xA0 + i);
        return 0;
    }
    long SetFeature(const std::uint8_t* buffer, std::size_t size) override {
        std::lock_guard<std::mutex> lock(sys_.mutex);
        sys_.featureSets.emplace_back(dev_.iface.path, std::vector<std::uint8_t>(buffer, buffer + size));
        return 0;
    }
    std::uintptr_t NativeHandle() const override { return 0x1234; }

private:
    FakeHidSystem& sys_;
    FakeHidDevice dev_;
};

class Channel final : public platform::IHidReadChannel {
public:
    Channel(FakeHidSystem& sys, const FakeHidDevice& dev) : sys_(sys), dev_(dev) {
        ++sys_.channelsOpen;
        ++sys_.channelsOpened;
    }
    ~Channel() override { Close(); }
    int InputReportLength() const override { return dev_.caps.InputReportByteLength; }
    long StartRead(std::uint8_t* buffer, std::size_t size) override {
        if (closed_) return platform::kErrorInvalidHandle;
        buffer_ = buffer;
        size_ = size;
        pendingRead_ = true;
        ++sys_.readsStarted;
        return platform::kErrorIoPending;
    }
    // Sleeps on the system's condition until a report is queued or the stop wakes it.
    struct Waker final : platform::IWaker {
        explicit Waker(FakeHidSystem& s) : sys(s) {}
        void Wake() override {
            std::lock_guard<std::mutex> lock(sys.mutex);
            sys.changed.notify_all();
        }
        FakeHidSystem& sys;
    };
    bool WaitForCompletion(platform::IStopSource& stop) override {
        Waker waker(sys_);
        stop.AddWaker(&waker);
        std::unique_lock<std::mutex> lock(sys_.mutex);
        auto& q = sys_.pending[dev_.iface.path];
        while (q.empty() && !stop.Stopped()) sys_.changed.wait(lock);
        lock.unlock();
        stop.RemoveWaker(&waker);
        lock.lock();
        if (q.empty()) return false;
        Take(q);
        return true;
    }
    void Take(std::deque<ReadOutcome>& q) {
        current_ = std::move(q.front());
        q.pop_front();
        pendingRead_ = false;
        const std::size_t n = std::min(size_, current_.report.size());
        if (n) std::memcpy(buffer_, current_.report.data(), n);
        bytes_ = static_cast<std::uint32_t>(n);
    }
    bool Result(std::uint32_t& bytes, long& error) override {
        bytes = bytes_;
        error = current_.error;
        return current_.error == 0;
    }
    std::uint32_t MaxUsageListLength() override { return dev_.maxUsages; }
    bool GetUsages(const std::uint8_t*, std::size_t, std::vector<std::uint16_t>& usages) override {
        ++sys_.usageRequests;
        usages = current_.usages;  // the whole list, however long
        return true;
    }
    void Close() override {
        if (closed_) return;
        closed_ = true;
        if (pendingRead_) ++sys_.channelsClosedWithPendingRead;
        pendingRead_ = false;
        --sys_.channelsOpen;
    }

private:
    FakeHidSystem& sys_;
    FakeHidDevice dev_;
    std::uint8_t* buffer_ = nullptr;
    std::size_t size_ = 0;
    bool pendingRead_ = false;
    bool closed_ = false;
    ReadOutcome current_;
    std::uint32_t bytes_ = 0;
};

}  // namespace

std::vector<platform::HidInterface> FakeHidSystem::EnumerateInterfaces() {
    std::vector<platform::HidInterface> out;
    for (const auto& d : devices) out.push_back(d.iface);
    return out;
}

std::unique_ptr<platform::IHidDevice> FakeHidSystem::Open(u16view path, bool) {
    for (const auto& d : devices) {
        if (d.iface.path == path && d.opens) return std::make_unique<Device>(*this, d);
    }
    return nullptr;
}

std::unique_ptr<platform::IHidReadChannel> FakeHidSystem::OpenReadChannel(u16view path) {
    for (const auto& d : devices) {
        if (d.iface.path == path && d.opens) return std::make_unique<Channel>(*this, d);
    }
    return nullptr;
}

void FakeHidSystem::Queue(u16view path, ReadOutcome outcome) {
    std::lock_guard<std::mutex> lock(mutex);
    pending[u16(path)].push_back(std::move(outcome));
    changed.notify_all();
}

platform::HandOver FakeDispatcher::RunOnMainThread(const std::function<void()>& call,
                                                   const std::function<bool()>& stopped) {
    if (gone) return platform::HandOver::NoMainThread;
    for (int n = refusals.load(); n > 0;) {
        if (refusals.compare_exchange_weak(n, n - 1)) {
            ++refused;
            return platform::HandOver::Refused;
        }
    }
    Task task{&call, false, nullptr};
    std::unique_lock<std::mutex> lock(mutex_);
    queue_.push_back(&task);
    cv_.notify_all();
    while (!task.done) {
        if (stopped()) {
            // Not yet taken by the main thread: withdraw it.
            auto it = std::find(queue_.begin(), queue_.end(), &task);
            if (it != queue_.end()) {
                queue_.erase(it);
                return platform::HandOver::Withdrawn;
            }
        }
        cv_.wait_for(lock, std::chrono::milliseconds(1));
    }
    // As the thread library's hand-over does: the call's exception goes on in the caller.
    if (task.error) std::rethrow_exception(task.error);
    return platform::HandOver::Ran;
}

int FakeDispatcher::RunPending() {
    int ran = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!queue_.empty()) {
        Task* t = queue_.front();
        queue_.pop_front();
        lock.unlock();
        try {
            (*t->call)();
        } catch (...) {
            t->error = std::current_exception();
        }
        lock.lock();
        t->done = true;
        cv_.notify_all();
        ++ran;
    }
    return ran;
}

bool FakeDispatcher::WaitForCall(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !queue_.empty(); });
}

}  // namespace vxm::fake
