#include "monitor/end_request.h"

namespace vxm::win32 {

void EndRequests::End(app::TVXMMONMAIN*& window, bool now) {
    requested_ = true;
    // Nothing of the monitor's own may keep control from the loop that ends it.
    closeModal_();
    // Before start-up attached the logic (Attached honours it), or while the
    // window goes: the ending is under way.
    if (!window) return;
    app::TVXMMONMAIN* ending = window;
    // Messages dispatched while its members go (a cross-process call removes
    // the tray icon) must not reach it.
    if (now) window = nullptr;
    // Not finished here (start-up has not reached the loop): still attached.
    if (!ending->RequestEnd(now) && now) window = ending;
}

void EndRequests::Attached(app::TVXMMONMAIN*& window) {
    if (requested_ && window) End(window, false);
}

void EndRequests::Again(app::TVXMMONMAIN*& window) {
    if (requested_) End(window, false);
}

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
            // below (a menu, a message box, start-up) is closed or finishes
            // first and the loop's end completes it.
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
    // waits for the process to end. Asked again, the ending is asked again.
    result = static_cast<LRESULT>(kEndRequestCheck);
    End(window, false);
    return true;
}

}  // namespace vxm::win32
