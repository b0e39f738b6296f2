#include "platform/win32/message_loop_win32.h"

#include <windows.h>

namespace vxm::win32 {

namespace {
// Whether this thread's own code asked its loop to end. Any process may post
// WM_QUIT to the thread; only a request from here ends the loop, so the
// monitor always ends through its orderly path.
thread_local bool endRequested = false;
}  // namespace

void MessageLoop::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) return;
        if (got == 0) {
            if (!endRequested) continue;  // a WM_QUIT from elsewhere
            endRequested = false;         // answered: a later loop starts afresh
            return;
        }
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
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MessageLoop::Terminate() {
    endRequested = true;
    PostQuitMessage(0);
}

}  // namespace vxm::win32
