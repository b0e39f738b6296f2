#pragma once
// TuiHidDeviceReadThread: reads input reports of one HID interface and hands
// them to the events of the component that started it.
#include <cstdint>
#include <memory>
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

class TuiHidDeviceReadThread {
public:
    // Starts the thread; it frees itself when it ends.
    static void Start(TuiHIDData& component, u16 deviceId, u16 devicePath);

    // The read loop; public so that tests can run it on their own thread.
    TuiHidDeviceReadThread(TuiHIDData& component, u16 deviceId, u16 devicePath);
    ~TuiHidDeviceReadThread();
    void Execute();

    // The old loop, which looks at the stop every millisecond; kept only so
    // that the benchmark can set the two side by side.
    static bool UsePollingLoop;

private:
    void DoData();
    std::uint32_t GetButtonData();

    TuiHIDData& FHIDData;
    u16 FDeviceID;
    u16 FDevicePath;
    std::unique_ptr<platform::IHidReadChannel> channel_;
    int FInputReportLength = 0;
    std::uint32_t NumBytesRead = 0;
    std::vector<std::uint8_t> FReport;
    std::shared_ptr<THidStopEvent> stop_;
    std::uint64_t generation_ = 0;
};

}  // namespace vxm
