#pragma once
// The arrival notifier's hidden window on Windows.
#include <windows.h>
#include <dbt.h>

#include <functional>
#include <memory>

#include "hid/hid_event.h"
#include "platform/debug_output.h"
#include "platform/timer.h"

namespace vxm::win32 {

// The filter of the device-interface notifications for one interface class,
// given as a registry-format GUID string.
DEV_BROADCAST_DEVICEINTERFACE_W HidNotificationFilter(u16view interfaceClassGuid);

// The arrival notifier's hidden window: registers for HID interface
// notifications and turns WM_DEVICECHANGE into the component's events.
class HidArrivalWindow final : public TuiHIDEvent {
public:
    // `onException` is the application's handler of an exception raised by
    // one of the events; without one, a message box shows its message. Each
    // is told to `debug` too.
    HidArrivalWindow(HINSTANCE instance, std::unique_ptr<platform::ITimer> timer, platform::IDebugOutput& debug,
                     std::function<void(u16view message)> onException = {});
    ~HidArrivalWindow() override;

    bool RegisterHidNotification();
    HWND Handle() const { return hwnd_; }

protected:
    void HandleException(u16view message) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The header pointer comes with a message anyone may send: look before reading.
    static bool Readable(LPARAM p, SIZE_T size);

    platform::IDebugOutput& debug_;
    std::function<void(u16view)> onException_;
    HWND hwnd_ = nullptr;
    HDEVNOTIFY notification_ = nullptr;
};

}  // namespace vxm::win32
