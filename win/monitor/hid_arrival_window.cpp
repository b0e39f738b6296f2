#include "monitor/hid_arrival_window.h"

#include <objbase.h>

#include "platform/win32/wide.h"

namespace vxm::win32 {

DEV_BROADCAST_DEVICEINTERFACE_W HidNotificationFilter(u16view interfaceClassGuid) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    CLSIDFromString(W(interfaceClassGuid).c_str(), &filter.dbcc_classguid);
    return filter;
}

HidArrivalWindow::HidArrivalWindow(HINSTANCE instance, std::unique_ptr<platform::ITimer> timer,
                                   platform::IDebugOutput& debug, std::function<void(u16view)> onException)
    : TuiHIDEvent(std::move(timer)), debug_(debug), onException_(std::move(onException)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &HidArrivalWindow::WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"TuiHIDEventWindow";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                            this);
    RegisterHidNotification();
}

HidArrivalWindow::~HidArrivalWindow() {
    if (notification_) UnregisterDeviceNotification(notification_);
    // Detached first: nothing the window still receives reaches this object.
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    if (hwnd_) DestroyWindow(hwnd_);
}

bool HidArrivalWindow::RegisterHidNotification() {
    if (!hwnd_) return false;
    DEV_BROADCAST_DEVICEINTERFACE_W filter = HidNotificationFilter(FUsbGuid);
    HDEVNOTIFY handle = RegisterDeviceNotificationW(hwnd_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (handle) {
        // A second registration replaces the first rather than doubling every notification.
        if (notification_) UnregisterDeviceNotification(notification_);
        notification_ = handle;
    }
    PostMessageW(hwnd_, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, static_cast<LPARAM>(0xFFFFFFFF));
    return handle != nullptr;
}

void HidArrivalWindow::HandleException(u16view message) {
    debug_.DebugOutput(u"exception in a device notification: " + u16(message));
    if (onException_) {
        onException_(message);
        return;
    }
    MessageBoxW(nullptr, W(message).c_str(), nullptr, MB_OK | MB_ICONERROR);
}

LRESULT CALLBACK HidArrivalWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<HidArrivalWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg != WM_DEVICECHANGE || !self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    std::uint32_t type = 0;
    if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && Readable(lParam, 8)) {
        type = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam)->dbch_devicetype;
    }
    // No exception may cross the system's callback.
    self->DispatchDeviceChange(wParam, type);
    return TRUE;
}

bool HidArrivalWindow::Readable(LPARAM p, SIZE_T size) {
    if (p == 0) return false;
    MEMORY_BASIC_INFORMATION mbi{};
    if (!VirtualQuery(reinterpret_cast<LPCVOID>(p), &mbi, sizeof(mbi))) return false;
    const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    if (mbi.State != MEM_COMMIT || !(mbi.Protect & readable) || (mbi.Protect & PAGE_GUARD)) return false;
    const auto end = reinterpret_cast<std::uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
    return static_cast<std::uintptr_t>(p) + size <= end;
}

}  // namespace vxm::win32
