#include "hid/read_thread.h"

#include <algorithm>
#include <thread>

namespace vxm {
namespace {

// Shared by every read thread, as the usage lists of the device are; the
// lock matters only when reports are handled on the read threads.
std::mutex g_usageMutex;
ButtonUsageTracker g_usages;

// The stop as one thread sees it: any stop since the thread started.
class ThreadStop final : public platform::IStopSource {
public:
    ThreadStop(std::shared_ptr<THidStopEvent> ev, std::uint64_t generation)
        : ev_(std::move(ev)), generation_(generation) {}
    bool Stopped() const override { return !ev_ || ev_->StoppedSince(generation_); }
    void AddWaker(platform::IWaker* w) override {
        if (ev_) ev_->AddWaker(w);
    }
    void RemoveWaker(platform::IWaker* w) override {
        if (ev_) ev_->RemoveWaker(w);
    }

private:
    std::shared_ptr<THidStopEvent> ev_;
    std::uint64_t generation_;
};

}  // namespace

bool TuiHidDeviceReadThread::UsePollingLoop = false;

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

void TuiHidDeviceReadThread::Start(TuiHIDData& component, u16 deviceId, u16 devicePath) {
    auto thread = std::make_unique<TuiHidDeviceReadThread>(component, std::move(deviceId), std::move(devicePath));
    // The thread owns itself: when the loop ends, its channel, buffer and
    // object go with it.
    std::thread([t = std::move(thread)]() mutable {
        t->Execute();
        t.reset();
    }).detach();
}

TuiHidDeviceReadThread::TuiHidDeviceReadThread(TuiHIDData& component, u16 deviceId, u16 devicePath)
    : FHIDData(component), FDeviceID(std::move(deviceId)), FDevicePath(std::move(devicePath)) {
    stop_ = HidStopEvent;
    if (stop_) {
        generation_ = stop_->Generation();
        stop_->ThreadStarted();
    }
    channel_ = component.Deps().hid.OpenReadChannel(FDevicePath);
    if (channel_) FInputReportLength = channel_->InputReportLength();
    FReport.assign(static_cast<std::size_t>(FInputReportLength), 0);
}

TuiHidDeviceReadThread::~TuiHidDeviceReadThread() {
    // The channel cancels and completes a pending read before FReport goes.
    if (channel_) channel_->Close();
    channel_.reset();
    if (stop_) stop_->ThreadEnded();
}

void TuiHidDeviceReadThread::Execute() {
    ThreadStop stop(stop_, generation_);
    auto stopped = [&stop] { return stop.Stopped(); };
    for (;;) {
        if (!channel_) return;  // the device could not be opened
        std::fill(FReport.begin(), FReport.end(), std::uint8_t{0});
        const long started = channel_->StartRead(FReport.data(), FReport.size());
        if (started == platform::kErrorInvalidHandle || started == platform::kErrorOperationAborted ||
            started == platform::kErrorDeviceNotConnected) {
            return;
        }
        if (UsePollingLoop) {
            bool completed = false;
            while (!completed) {
                completed = channel_->PollForCompletion();
                if (stopped()) return;
            }
        } else if (!channel_->WaitForCompletion(stop) || stopped()) {
            return;
        }
        std::uint32_t bytes = 0;
        long error = 0;
        if (channel_->Result(bytes, error)) {
            NumBytesRead = bytes;
            if (bytes == 0) continue;
            if (FHIDData.FastOnData || FHIDData.Deps().isLibrary) {
                DoData();
            } else if (!FHIDData.Deps().dispatcher.RunOnMainThread([this] { DoData(); }, stopped)) {
                return;  // stopped while waiting for the main thread
            }
        } else if (error == platform::kErrorOperationAborted || error == platform::kErrorDeviceNotConnected) {
            FHIDData.Deps().hid.DebugOutput(u"ERROR_DEVICE_NOT_CONNECTED++++++++++++++++");
            if (FHIDData.OnDeviceNotConnected) FHIDData.OnDeviceNotConnected(FDeviceID, FDevicePath);
            return;
        }
    }
}

void TuiHidDeviceReadThread::DoData() {
    if (FReport.empty()) return;
    const std::uint32_t n = std::min<std::uint32_t>(NumBytesRead, static_cast<std::uint32_t>(FReport.size()));
    if (FHIDData.OnData) {
        FHIDData.OnData(FDeviceID, FDevicePath, FReport[0], FReport.data() + 1,
                        static_cast<std::uint16_t>(std::min<std::uint32_t>(n - 1, 65535)));
    }
    if (FHIDData.OnParsedData) FHIDData.OnParsedData(FDeviceID, FDevicePath, FReport[0], GetButtonData());
}

std::uint32_t TuiHidDeviceReadThread::GetButtonData() {
    const std::uint32_t n = std::min<std::uint32_t>(channel_->MaxUsageListLength(), 100);
    if (n == 0) return 0;
    std::vector<std::uint16_t> usages;
    if (!channel_->GetUsages(FReport.data(), FReport.size(), usages, n)) return 0;
    std::lock_guard<std::mutex> lock(g_usageMutex);
    return g_usages.Next(usages, n);
}

}  // namespace vxm
