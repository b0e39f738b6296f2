// The main thread's message loop on Wine: it ends on its own thread's
// request only, not on a WM_QUIT that another process posted.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "platform/win32/message_loop_win32.h"

namespace vxm::win32 {
namespace {

struct Loop {
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Loop*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && msg == WM_APP) {
            ++self->handled;
            // The application's own end, after giving the loop a quit of
            // someone else's to drop on the way.
            if (wParam == 1) PostMessageW(hwnd, WM_QUIT, 0, 0);
            if (wParam == 2) self->loop.Terminate();
            if (wParam == 3) self->loop.ProcessMessages();
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    Loop() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Loop::WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VxmLoopTest";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Loop() { DestroyWindow(hwnd); }
    MessageLoop loop;
    HWND hwnd = nullptr;
    int handled = 0;
};

TEST(MessageLoop, AQuitPostedByAnotherEndsNothingAndTheProgramsOwnEndsTheLoop) {
    std::thread([] {
        Loop l;
        // Another process's quit, to the window and to the thread, ahead of everything.
        PostMessageW(l.hwnd, WM_QUIT, 0, 0);
        PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
        PostMessageW(l.hwnd, WM_APP, 1, 0);  // one more quit, while handling
        PostMessageW(l.hwnd, WM_APP, 3, 0);  // a nested ProcessMessages drops it too
        PostMessageW(l.hwnd, WM_APP, 0, 0);
        PostMessageW(l.hwnd, WM_APP, 2, 0);  // the program's own end
        PostMessageW(l.hwnd, WM_APP, 0, 0);  // before the quit flag is looked at: still handled
        l.loop.Run();
        EXPECT_EQ(l.handled, 5);

        // A second loop on the same thread starts afresh: a foreign quit again ends nothing.
        PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
        PostMessageW(l.hwnd, WM_APP, 2, 0);
        l.loop.Run();
        EXPECT_EQ(l.handled, 6);
    }).join();
}

}  // namespace
}  // namespace vxm::win32
