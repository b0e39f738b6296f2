#pragma once
// Requests to end the monitor from outside: Windows ending the session (log-off,
// shut-down, the Restart Manager) and the installer or uninstaller, which must
// see the monitor gone before it replaces or removes its files.
//
// The installer's way of asking: SendMessageTimeoutW of the message registered
// as kEndRequestName to the window of class "TVXMMONMAIN", with wParam
// kEndRequestCheck and lParam 0. The monitor answers kEndRequestCheck and ends
// as its tray menu's "Exit" does; the installer then waits, with a bound, for
// its process to end. The registered name and the check value keep an ordinary
// message, a broadcast or a sweep over every message number from ending it.
//
// An answered request always ends the monitor, whatever it is doing: its own
// menu and message boxes are closed (their loops would hold the ending up),
// and a request that comes before start-up has attached the window logic is
// kept and honoured once it is attached.
#include <windows.h>

#include <functional>

#include "app/monitor.h"

namespace vxm::win32 {

inline constexpr wchar_t kEndRequestName[] = L"VXMMON.EndRequest.{6F1D2A57-93C4-4B8E-A0D2-5C7E91B3F048}";
inline constexpr WPARAM kEndRequestCheck = 0x454E4421;  // "END!"

class EndRequests {
public:
    // `closeModal` closes the menu and the message boxes the monitor shows.
    explicit EndRequests(std::function<void()> closeModal)
        : installerMessage_(RegisterWindowMessageW(kEndRequestName)), closeModal_(std::move(closeModal)) {}

    // True when `msg` is one of the requests (handled, `result` is the answer).
    // `topLevel`: nothing of the monitor's own is running below this message,
    // so the whole ending may run at once. `window` is null until the logic is
    // attached, and set to null before the window goes.
    bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool topLevel, app::TVXMMONMAIN*& window, LRESULT& result);
    // The window logic is attached: an end asked before is honoured now.
    void Attached(app::TVXMMONMAIN*& window);
    // Once an end was asked, asks again (a close may have come before the
    // menu's own loop began, a nested loop may have taken the loop's end);
    // nothing before.
    void Again(app::TVXMMONMAIN*& window);

private:
    void End(app::TVXMMONMAIN*& window, bool now);

    UINT installerMessage_;
    std::function<void()> closeModal_;
    bool requested_ = false;
};

}  // namespace vxm::win32
