#include "hid/hid_event.h"

namespace vxm {

TuiHIDEvent::TuiHIDEvent(std::unique_ptr<app::ITimer> startTimer) : FTimerToStartMonitor(std::move(startTimer)) {
    FTimerToStartMonitor->OnTimer = [this] { TimerToStartMonitorTimer(); };
    FTimerToStartMonitor->SetEnabled(true);
}

void TuiHIDEvent::TimerToStartMonitorTimer() {
    FTimerToStartMonitor->SetEnabled(false);  // never again
    if (OnDeviceArrival) OnDeviceArrival();
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
