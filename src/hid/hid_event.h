#pragma once
// TuiHIDEvent: tells its owner when a HID interface arrives or goes, and
// reports one arrival of its own 1500 ms after creation so that work starts
// at start-up too.
#include <functional>
#include <memory>

#include "common/text.h"
#include "platform/timer.h"

namespace vxm {

inline constexpr std::uintptr_t kDbtDeviceArrival = 0x8000;
inline constexpr std::uintptr_t kDbtDeviceRemoveComplete = 0x8004;
inline constexpr std::uintptr_t kDbtDevNodesChanged = 0x0007;
inline constexpr std::uint32_t kDbtDevTypDeviceInterface = 5;
inline constexpr char16_t kHidInterfaceClassGuid[] = u"{4d1e55b2-f16f-11cf-88cb-001111000030}";

class TuiHIDEvent {
public:
    // `startTimer` is the one-shot start timer (1500 ms), owned from here on.
    explicit TuiHIDEvent(std::unique_ptr<platform::ITimer> startTimer);
    virtual ~TuiHIDEvent() = default;
    TuiHIDEvent(const TuiHIDEvent&) = delete;
    TuiHIDEvent& operator=(const TuiHIDEvent&) = delete;

    // A WM_DEVICECHANGE as the window procedure receives it: handled by
    // WMDeviceChange inside a guard, so that no exception from a handler
    // crosses the system's callback; it goes to HandleException instead.
    void DispatchDeviceChange(std::uintptr_t wParam, std::uint32_t deviceType) noexcept;
    // `deviceType` is dbch_devicetype of the broadcast header for arrivals
    // and removals (0 when there was none to read).
    void WMDeviceChange(std::uintptr_t wParam, std::uint32_t deviceType);

    std::function<void()> OnDeviceArrival;
    std::function<void()> OnDeviceRemove;
    std::function<void()> OnDeviceChange;
    u16 FUsbGuid = kHidInterfaceClassGuid;

protected:
    // The application's handler of an exception that a handler raised; the
    // message is then dropped.
    virtual void HandleException(u16view message) { (void)message; }

private:
    void TimerToStartMonitorTimer();
    std::unique_ptr<platform::ITimer> FTimerToStartMonitor;
};

}  // namespace vxm
