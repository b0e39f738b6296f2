#pragma once
// The test's thread as the main thread of the Win32 build: a window whose
// hand-over message runs the real main-thread dispatcher, and waiting helpers
// that dispatch its messages meanwhile.
#include <windows.h>

#include "platform/win32/dispatcher_win32.h"

namespace vxm::testing {

// Dispatches this thread's messages for `ms`.
inline void Pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// Waits up to 2 s for `p`, dispatching messages meanwhile when `pump` is set.
template <typename Pred>
bool Eventually(Pred p, bool pump = false) {
    for (int i = 0; i < 400; ++i) {
        if (p()) return true;
        if (pump) {
            Pump(5);
        } else {
            Sleep(5);
        }
    }
    return p();
}

// A message-only window on the creating thread whose hand-over message runs
// the real dispatcher, as the monitor's main window does.
class MainThreadWindow {
public:
    MainThreadWindow()
        : hwnd_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)),
          dispatcher_(hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatcher_));
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc));
    }
    ~MainThreadWindow() { Destroy(); }
    MainThreadWindow(const MainThreadWindow&) = delete;
    MainThreadWindow& operator=(const MainThreadWindow&) = delete;

    win32::MainThreadDispatcher& Dispatcher() { return dispatcher_; }
    HWND Handle() const { return hwnd_; }
    void Destroy() {
        if (hwnd_) DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    // True while a hand-over message waits in this thread's queue.
    bool CallQueued() const {
        MSG msg;
        return hwnd_ && PeekMessageW(&msg, hwnd_, win32::kMainThreadCallMessage, win32::kMainThreadCallMessage,
                                     PM_NOREMOVE) != 0;
    }

private:
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == win32::kMainThreadCallMessage) {
            reinterpret_cast<win32::MainThreadDispatcher*>(GetWindowLongPtrW(h, GWLP_USERDATA))->Run(l);
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }

    HWND hwnd_;
    win32::MainThreadDispatcher dispatcher_;
};

}  // namespace vxm::testing
