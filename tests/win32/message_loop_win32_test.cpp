// The monitor's message loop under Wine: a WM_TIMER that another process
// posted with a timer procedure of its choosing calls nothing, in the loop
// or in any other loop of the thread, while the program's own timers (no
// procedure) and other messages still arrive; and the loop ends on its own
// thread's request only, not on a WM_QUIT that another process posted.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <vector>

#include "platform/win32/message_loop_win32.h"

namespace vxm::win32 {
namespace {

int g_called = 0;
VOID CALLBACK Planted(HWND, UINT, UINT_PTR, DWORD) { ++g_called; }

struct Window {
    Window() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(h, GWLP_USERDATA));
            if (self && msg == WM_TIMER) self->timers.push_back(w);
            if (self && msg == WM_APP) ++self->apps;
            return DefWindowProcW(h, msg, w, l);
        };
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VxmMessageLoopTest";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                               nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Window() { DestroyWindow(hwnd); }
    HWND hwnd;
    std::vector<WPARAM> timers;
    int apps = 0;
};

TEST(MessageLoopWin32, ForgedTimerProcedureIsNeverCalledOwnTimersStillFire) {
    Window w;
    g_called = 0;
    PostMessageW(w.hwnd, WM_TIMER, 7, reinterpret_cast<LPARAM>(&Planted));
    PostMessageW(w.hwnd, WM_TIMER, 8, 0);
    PostMessageW(w.hwnd, WM_APP, 0, 0);
    MessageLoop loop;
    loop.ProcessMessages();
    EXPECT_EQ(g_called, 0);
    EXPECT_EQ(w.timers, std::vector<WPARAM>{8});
    EXPECT_EQ(w.apps, 1);

    // The main loop too, ended by its own quit request.
    PostMessageW(w.hwnd, WM_TIMER, 9, reinterpret_cast<LPARAM>(&Planted));
    PostMessageW(w.hwnd, WM_TIMER, 10, 0);
    PostMessageW(w.hwnd, WM_APP, 0, 0);
    loop.Terminate();
    loop.Run();
    EXPECT_EQ(g_called, 0);
    EXPECT_EQ(w.apps, 2);
    EXPECT_EQ(w.timers, (std::vector<WPARAM>{8, 10}));
}

TEST(MessageLoopWin32, ForgedTimerProcedureIsNeverCalledFromAnotherLoopOfTheThread) {
    Window w;
    g_called = 0;
    MessageLoop loop;
    // As a message box's or a menu's own loop takes the messages.
    PostMessageW(w.hwnd, WM_TIMER, 7, reinterpret_cast<LPARAM>(&Planted));
    PostMessageW(w.hwnd, WM_TIMER, 8, 0);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    EXPECT_EQ(g_called, 0);
    EXPECT_EQ(w.timers, std::vector<WPARAM>{8});
}

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

TEST(MessageLoopWin32, AQuitPostedByAnotherEndsNothingAndTheProgramsOwnEndsTheLoop) {
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
