#include "hid/hid_event.h"

#include <exception>

namespace vxm {

TuiHIDEvent::TuiHIDEvent(std::unique_ptr<platform::ITimer> startTimer) : FTimerToStartMonitor(std::move(startTimer)) {
    FTimerToStartMonitor->OnTimer = [this] { TimerToStartMonitorTimer(); };
    FTimerToStartMonitor->SetEnabled(true);
}

void TuiHIDEvent::TimerToStartMonitorTimer() {
    FTimerToStartMonitor->SetEnabled(false);  // never again
    if (OnDeviceArrival) OnDeviceArrival();
}

void TuiHIDEvent::DispatchDeviceChange(std::uintptr_t wParam, std::uint32_t deviceType) noexcept {
    try {
        try {
            WMDeviceChange(wParam, deviceType);
        } catch (const std::exception& e) {
            HandleException(Utf16(e.what()));
        } catch (...) {
            HandleException(u"Unknown exception in a device notification");
        }
    } catch (...) {
        // The exception handler itself failed: nothing may leave the window procedure.
    }
}

void TuiHIDEvent::WMDeviceChange(std::uintptr_t wParam, std::uint32_t deviceType) {
    if (wParam == kDbtDeviceArrival || wParam == kDbtDeviceRemoveComplete) {
        // The registration filter alone decides which interfaces are reported.
        if (deviceType != kDbtDevTypDeviceInterface) return;
        if (wParam == kDbtDeviceArrival) {
            if (OnDeviceArrival) OnDeviceArrival();
        } else if (OnDeviceRemove) {
            OnDeviceRemove();
        }
    } else if (wParam == kDbtDevNodesChanged) {
        if (OnDeviceChange) OnDeviceChange();
    }
}

}  // namespace vxm
