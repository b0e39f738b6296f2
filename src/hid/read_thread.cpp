#include "hid/read_thread.h"

#include <algorithm>
#include <exception>

namespace vxm {
namespace {

// Shared by every read thread, as the usage lists of the device are; the
// lock matters only when reports are handled on the read threads.
std::mutex g_usageMutex;
ButtonUsageTracker g_usages;

constexpr char16_t kDeviceNotConnected[] = u"ERROR_DEVICE_NOT_CONNECTED++++++++++++++++";

// Longest pause between two hand-overs that the main thread's queue refused.
constexpr unsigned kMaxRetryPauseMs = 50;

}  // namespace

std::uint32_t ButtonUsageTracker::Next(const std::vector<std::uint16_t>& usages, std::uint32_t maxCount) {
    const std::uint32_t n = std::min<std::uint32_t>(maxCount, 100);
    std::uint16_t current[100] = {};
    for (std::size_t i = 0; i < usages.size() && i < n; ++i) current[i] = usages[i];
    // Lists end at their first zero, as the HID parser's difference does.
    auto contains = [n](const std::uint16_t* list, std::uint16_t u) {
        for (std::uint32_t i = 0; i < n && list[i] != 0; ++i) {
            if (list[i] == u) return true;
        }
        return false;
    };
    std::uint16_t released = 0, pressed = 0;
    for (std::uint32_t i = 0; i < n && previous_[i] != 0 && released == 0; ++i) {
        if (!contains(current, previous_[i])) released = previous_[i];
    }
    for (std::uint32_t i = 0; i < n && current[i] != 0 && pressed == 0; ++i) {
        if (!contains(previous_, current[i])) pressed = current[i];
    }
    std::copy(current, current + n, previous_);
    if (released != 0) return released;
    if (pressed != 0) return static_cast<std::uint32_t>(pressed) << 16;
    return 0;
}

void ButtonUsageTracker::Reset() { std::fill(std::begin(previous_), std::end(previous_), std::uint16_t{0}); }

std::uint32_t GetButtonData(platform::IHidReadChannel& channel, const std::uint8_t* report, std::size_t size) {
    const std::uint32_t n = std::min<std::uint32_t>(channel.MaxUsageListLength(), 100);
    if (n == 0) return 0;
    std::vector<std::uint16_t> usages;
    if (!channel.GetUsages(report, size, usages)) return 0;
    std::lock_guard<std::mutex> lock(g_usageMutex);
    return g_usages.Next(usages, n);
}

void ResetButtonData() {
    std::lock_guard<std::mutex> lock(g_usageMutex);
    g_usages.Reset();
}

// The stop as one thread sees it: the program-wide stop or its component's
// own, whichever comes first after the thread was created.
class TuiHidDeviceReadThread::Stop final : public platform::IStopSource {
public:
    Stop(THidStopEvent& own, std::uint64_t programGeneration, std::uint64_t ownGeneration)
        : own_(own), programGeneration_(programGeneration), ownGeneration_(ownGeneration) {}
    bool Stopped() const override {
        return HidStopEvent.StoppedSince(programGeneration_) || own_.StoppedSince(ownGeneration_);
    }
    void AddWaker(platform::IWaker* w) override {
        HidStopEvent.AddWaker(w);
        own_.AddWaker(w);
    }
    void RemoveWaker(platform::IWaker* w) override {
        HidStopEvent.RemoveWaker(w);
        own_.RemoveWaker(w);
    }
    // Sleeps for `pause` or until the stop; true when stopped.
    bool SleepFor(std::chrono::milliseconds pause) {
        struct Waker final : platform::IWaker {
            void Wake() override {
                std::lock_guard<std::mutex> lock(mutex);
                woken = true;
                changed.notify_all();
            }
            std::mutex mutex;
            std::condition_variable changed;
            bool woken = false;
        } waker;
        AddWaker(&waker);
        {
            std::unique_lock<std::mutex> lock(waker.mutex);
            waker.changed.wait_for(lock, pause, [&] { return waker.woken || Stopped(); });
        }
        RemoveWaker(&waker);
        return Stopped();
    }

private:
    THidStopEvent& own_;
    std::uint64_t programGeneration_;
    std::uint64_t ownGeneration_;
};

void THidReadThreads::Start(const std::shared_ptr<THidReadThreads>& self, u16 deviceId, u16 devicePath) {
    std::lock_guard<std::mutex> lock(self->mutex_);
    // Checked under the lock that Shutdown takes: a thread either starts
    // before the component's stop, which then ends it, or not at all.
    TuiHIDData* owner = self->owner_.load();
    if (!owner) return;
    self->entries_.remove_if([](const Entry& e) { return e.ended; });
    Entry& entry = self->entries_.emplace_back();
    auto reader = std::make_unique<TuiHidDeviceReadThread>(*self, entry, owner->Deps(), std::move(deviceId),
                                                           std::move(devicePath));
    entry.reader = reader.get();
    HidStopEvent.ThreadStarted();
    // The thread keeps the list alive: it may outlive the component when it
    // could not be waited for (the component went from inside its own event).
    std::thread thread([self, &entry, reader = std::move(reader)]() mutable {
        reader->Execute();
        {
            std::lock_guard<std::mutex> l(self->mutex_);
            entry.reader = nullptr;
        }
        reader.reset();  // the channel finishes its read before the buffer goes
        HidStopEvent.ThreadEnded();
        self->Ended(entry);
    });
    entry.thread = thread.get_id();
    thread.detach();
}

void THidReadThreads::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        owner_.store(nullptr);
    }
    stop_.Set();
}

bool THidReadThreads::WaitForThreads(std::optional<std::chrono::milliseconds> timeout) {
    const std::thread::id me = std::this_thread::get_id();
    const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        bool waiting = false;
        for (Entry& e : entries_) {
            if (e.ended) continue;
            if (e.thread == me || e.handling == me) {
                // It cannot end before the caller returns to it: it gives up
                // its device now and ends then.
                if (!e.released && e.reader) e.reader->ReleaseDevice();
                e.released = true;
                continue;
            }
            waiting = true;
        }
        if (!waiting) break;
        if (!timeout) {
            changed_.wait(lock);
        } else if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return false;
        }
    }
    entries_.remove_if([](const Entry& e) { return e.ended; });
    return true;
}

int THidReadThreads::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.ended; }));
}

void THidReadThreads::BeginHandling(Entry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entry.handling = std::this_thread::get_id();
}

void THidReadThreads::EndHandling(Entry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entry.handling = std::thread::id();
}

void THidReadThreads::Ended(Entry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    entry.ended = true;
    changed_.notify_all();
}

TuiHidDeviceReadThread::TuiHidDeviceReadThread(THidReadThreads& threads, THidReadThreads::Entry& entry,
                                               const HidDependencies& deps, u16 deviceId, u16 devicePath)
    : threads_(threads),
      entry_(entry),
      dispatcher_(deps.dispatcher),
      isLibrary_(deps.isLibrary),
      FDeviceID(std::move(deviceId)),
      FDevicePath(std::move(devicePath)),
      programGeneration_(HidStopEvent.Generation()),
      ownGeneration_(threads.Stop().Generation()) {
    channel_ = deps.hid.OpenReadChannel(FDevicePath);
    if (channel_) FInputReportLength = channel_->InputReportLength();
    FReport.assign(static_cast<std::size_t>(FInputReportLength), 0);
}

TuiHidDeviceReadThread::~TuiHidDeviceReadThread() {
    // The channel cancels and completes a pending read before FReport goes.
    if (channel_) channel_->Close();
    channel_.reset();
}

void TuiHidDeviceReadThread::ReleaseDevice() {
    if (channel_) channel_->Close();
}

void TuiHidDeviceReadThread::Execute() {
    Stop stop(threads_.Stop(), programGeneration_, ownGeneration_);
    for (;;) {
        if (!channel_ || stop.Stopped()) return;  // not opened, or stopped while its report was handled
        std::fill(FReport.begin(), FReport.end(), std::uint8_t{0});
        const long started = channel_->StartRead(FReport.data(), FReport.size());
        if (started == platform::kErrorInvalidHandle || started == platform::kErrorOperationAborted ||
            started == platform::kErrorDeviceNotConnected) {
            return;
        }
        if (!channel_->WaitForCompletion(stop) || stop.Stopped()) return;
        std::uint32_t bytes = 0;
        long error = 0;
        if (channel_->Result(bytes, error)) {
            NumBytesRead = bytes;
            if (bytes == 0) continue;
            const TuiHIDData* owner = threads_.Owner();
            if (!owner) return;
            if (owner->FastOnData || isLibrary_) {
                DoData(stop);
                continue;
            }
            switch (HandOver(stop)) {
                case Delivery::Delivered:
                    continue;
                case Delivery::Stopped:
                    return;
                case Delivery::Lost:
                    DeviceLost();
                    return;
            }
        } else if (error == platform::kErrorOperationAborted || error == platform::kErrorDeviceNotConnected) {
            DeviceLost();
            return;
        }
    }
}

TuiHidDeviceReadThread::Delivery TuiHidDeviceReadThread::HandOver(Stop& stop) {
    const std::function<void()> call = [this, &stop] { DoData(stop); };
    const std::function<bool()> stopped = [&stop] { return stop.Stopped(); };
    for (unsigned pause = 1;; pause = std::min(pause * 2, kMaxRetryPauseMs)) {
        switch (dispatcher_.RunOnMainThread(call, stopped)) {
            case platform::HandOver::Ran:
                return Delivery::Delivered;
            case platform::HandOver::Withdrawn:
                return Delivery::Stopped;
            case platform::HandOver::NoMainThread:
                return Delivery::Lost;
            case platform::HandOver::Refused:
                break;
        }
        // The main thread's queue is full for now: the report waits for room,
        // a stop does not wait.
        if (stop.SleepFor(std::chrono::milliseconds(pause))) return Delivery::Stopped;
    }
}

void TuiHidDeviceReadThread::DoData(Stop& stop) {
    TuiHIDData* owner = threads_.Owner();
    if (!owner || FReport.empty()) return;
    // While the events run, a stop on this thread does not wait for the
    // reader, which cannot end before they return.
    struct Handling {
        THidReadThreads& threads;
        THidReadThreads::Entry& entry;
        ~Handling() { threads.EndHandling(entry); }
    } handling{threads_, entry_};
    threads_.BeginHandling(entry_);
    const std::uint32_t n = std::min<std::uint32_t>(NumBytesRead, static_cast<std::uint32_t>(FReport.size()));
    try {
        if (owner->OnData) {
            owner->OnData(FDeviceID, FDevicePath, FReport[0], FReport.data() + 1,
                          static_cast<std::uint16_t>(std::min<std::uint32_t>(n - 1, 65535)));
        }
        // The handler may have stopped reading or destroyed the component.
        owner = threads_.Owner();
        if (owner && !stop.Stopped() && owner->OnParsedData) {
            owner->OnParsedData(FDeviceID, FDevicePath, FReport[0],
                                GetButtonData(*channel_, FReport.data(), FReport.size()));
        }
    } catch (const std::exception& e) {
        // A failing handler loses its report, not the reader.
        if ((owner = threads_.Owner()) != nullptr) {
            owner->Deps().debug.DebugOutput(u"HID event handler failed: " + Utf16(e.what()));
        }
    } catch (...) {
        if ((owner = threads_.Owner()) != nullptr) owner->Deps().debug.DebugOutput(u"HID event handler failed");
    }
}

void TuiHidDeviceReadThread::DeviceLost() {
    TuiHIDData* owner = threads_.Owner();
    if (!owner) return;
    owner->Deps().debug.DebugOutput(kDeviceNotConnected);
    if (!owner->OnDeviceNotConnected) return;
    try {
        owner->OnDeviceNotConnected(FDeviceID, FDevicePath);
    } catch (...) {
        // Raised on the read thread: nothing above it could take the exception.
        if ((owner = threads_.Owner()) != nullptr) owner->Deps().debug.DebugOutput(u"HID event handler failed");
    }
}

}  // namespace vxm
