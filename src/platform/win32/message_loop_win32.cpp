#include "platform/win32/message_loop_win32.h"

#include <windows.h>

namespace vxm::win32 {

bool ForgedTimerMessage(const MSG& msg) {
    // The program's timers have no callbacks: a WM_TIMER that names one was
    // posted by someone else, and dispatching it would call whatever address
    // its lParam holds (some systems check it first, Wine does not).
    return msg.message == WM_TIMER && msg.lParam != 0;
}

namespace {

// Whether this thread's own code asked its loop to end. Any process may post
// WM_QUIT to the thread; only a request from here ends the loop, so the
// monitor always ends through its orderly path.
thread_local bool endRequested = false;

// Every loop of the thread passes its messages through this first, the
// system's modal loops too (a menu, a message box), so a forged timer
// procedure is dropped there as well.
LRESULT CALLBACK DropForgedTimers(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        auto* msg = reinterpret_cast<MSG*>(lParam);
        if (ForgedTimerMessage(*msg)) {
            msg->message = WM_NULL;
            msg->lParam = 0;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

MessageLoop::MessageLoop() {
    // Once per thread, for as long as the thread lives.
    thread_local const HHOOK hook =
        SetWindowsHookExW(WH_GETMESSAGE, DropForgedTimers, nullptr, GetCurrentThreadId());
    (void)hook;
}

void MessageLoop::Run() {
    MSG msg;
    for (;;) {
        // A loop nested in a handler (a menu's, a message box's) may have
        // taken the quit that this thread's own code posted: asked again, it
        // ends this loop once control is back here.
        if (endRequested) PostQuitMessage(0);
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) return;
        if (got == 0) {
            if (!endRequested) continue;  // a WM_QUIT from elsewhere
            endRequested = false;         // answered: a later loop starts afresh
            return;
        }
        if (ForgedTimerMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MessageLoop::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Keep the quit request for the main loop, which judges it.
            if (endRequested) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            continue;
        }
        if (ForgedTimerMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MessageLoop::Terminate() {
    endRequested = true;
    PostQuitMessage(0);
}

}  // namespace vxm::win32
