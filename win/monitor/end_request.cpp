#include "monitor/end_request.h"

namespace vxm::win32 {
namespace {

void End(app::TVXMMONMAIN*& window, bool now) {
    if (!window) return;
    app::TVXMMONMAIN* ending = window;
    // Messages dispatched while its members go (a cross-process call removes
    // the tray icon) must not reach it.
    if (now) window = nullptr;
    ending->RequestEnd(now);
}

}  // namespace

bool EndRequests::Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool topLevel, app::TVXMMONMAIN*& window,
                         LRESULT& result) {
    switch (msg) {
        case WM_QUERYENDSESSION:
            // Nothing to save: the monitor never holds up a log-off, a
            // shut-down or the Restart Manager (ENDSESSION_CLOSEAPP).
            result = TRUE;
            return true;
        case WM_ENDSESSION:
            // FALSE: the end was called off and the monitor goes on. TRUE: the
            // process may be ended as soon as this returns, so the ending runs
            // now where nothing of ours is below it on the stack; else what is
            // below finishes first and the loop's end completes it.
            if (wParam) End(window, topLevel);
            result = 0;
            return true;
        default:
            break;
    }
    if (msg != installerMessage_ || installerMessage_ == 0) return false;
    result = 0;
    if (wParam != kEndRequestCheck || lParam != 0) return true;  // not the installer's request
    // The answer tells the installer that its request was understood; it then
    // waits for the process to end.
    result = static_cast<LRESULT>(kEndRequestCheck);
    End(window, false);
    return true;
}

}  // namespace vxm::win32
