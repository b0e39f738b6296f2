#pragma once
// TuiHidDeviceReadThread: reads input reports of one HID interface and hands
// them to the events of the component that started it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "hid/hid_data.h"

namespace vxm {

// Button usage change of a report: a released usage in the low 16 bits, or
// (when none was released) a pressed one in the high 16 bits.
class ButtonUsageTracker {
public:
    std::uint32_t Next(const std::vector<std::uint16_t>& current, std::uint32_t maxCount);
    void Reset();

private:
    std::uint16_t previous_[100] = {};
};

// The button-usage change of one input report, against the usage list of the
// report before it (one list for every read thread of the program). Lists
// longer than 100 usages are cut to their first 100.
std::uint32_t GetButtonData(platform::IHidReadChannel& channel, const std::uint8_t* report, std::size_t size);
// Empties that previous list, as at program start.
void ResetButtonData();

class TuiHidDeviceReadThread;

// The read threads one component started, shared between the component and
// the threads: the component's stop and destruction reach every one of them,
// and a thread that outlives the component (it could not be waited for) no
// longer sees it.
class THidReadThreads {
public:
    explicit THidReadThreads(TuiHIDData& owner) : owner_(&owner) {}
    THidReadThreads(const THidReadThreads&) = delete;
    THidReadThreads& operator=(const THidReadThreads&) = delete;

    // Opens the interface and starts its read thread.
    static void Start(const std::shared_ptr<THidReadThreads>& self, u16 deviceId, u16 devicePath);

    // Waits until every thread has ended, except those that cannot end while
    // the caller waits: the caller's own thread, and a thread whose report the
    // caller is handling right now (it waits for the caller to return). Those
    // give up their device at once and end as soon as the caller returns to
    // them, so a restart never meets an old reader. False when `timeout`
    // passed first; without one it waits as long as that takes.
    bool WaitForThreads(std::optional<std::chrono::milliseconds> timeout);
    int Count() const;

    // The component is going: no event is raised and no thread started from
    // now on, and its own stop ends every thread it started.
    void Shutdown();
    TuiHIDData* Owner() const { return owner_.load(); }
    THidStopEvent& Stop() { return stop_; }

private:
    friend class TuiHidDeviceReadThread;
    struct Entry {
        std::thread::id thread;   // the read thread
        std::thread::id handling; // the thread running its report's events, if any
        TuiHidDeviceReadThread* reader = nullptr;
        bool released = false;
        bool ended = false;
    };
    void BeginHandling(Entry& entry);
    void EndHandling(Entry& entry);
    void Ended(Entry& entry);

    std::atomic<TuiHIDData*> owner_;
    THidStopEvent stop_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::list<Entry> entries_;
};

class TuiHidDeviceReadThread {
public:
    TuiHidDeviceReadThread(THidReadThreads& threads, THidReadThreads::Entry& entry, const HidDependencies& deps,
                           u16 deviceId, u16 devicePath);
    ~TuiHidDeviceReadThread();
    TuiHidDeviceReadThread(const TuiHidDeviceReadThread&) = delete;
    TuiHidDeviceReadThread& operator=(const TuiHidDeviceReadThread&) = delete;

    // The read loop.
    void Execute();

private:
    friend class THidReadThreads;
    class Stop;
    enum class Delivery { Delivered, Stopped, Lost };
    Delivery HandOver(Stop& stop);
    void DoData(Stop& stop);
    void DeviceLost();
    // Closes the device now; no read is pending at that moment.
    void ReleaseDevice();

    THidReadThreads& threads_;
    THidReadThreads::Entry& entry_;
    platform::IMainThreadDispatcher& dispatcher_;
    bool isLibrary_;
    u16 FDeviceID;
    u16 FDevicePath;
    std::unique_ptr<platform::IHidReadChannel> channel_;
    int FInputReportLength = 0;
    std::uint32_t NumBytesRead = 0;
    std::vector<std::uint8_t> FReport;
    std::uint64_t programGeneration_ = 0;
    std::uint64_t ownGeneration_ = 0;
};

}  // namespace vxm
