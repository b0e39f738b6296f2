#pragma once
// The arrival notifier's hidden window on Windows.
#include <windows.h>

#include <memory>

#include "app/components.h"
#include "hid/hid_event.h"

namespace vxm::win32 {

// The arrival notifier's hidden window: registers for HID interface
// notifications and turns WM_DEVICECHANGE into the component's events.
class HidEventWindow final : public TuiHIDEvent {
public:
    HidEventWindow(HINSTANCE instance, std::unique_ptr<app::ITimer> timer);
    ~HidEventWindow() override;

    bool RegisterHidNotification();

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The header pointer comes with a message anyone may send: look before reading.
    static bool Readable(LPARAM p, SIZE_T size);

    HWND hwnd_ = nullptr;
};

}  // namespace vxm::win32
