#pragma once
// The monitor's main window on Windows: the hidden window of class
// "TVXMMONMAIN" that receives the protocol's messages, the tray's callbacks,
// the timers and the main-thread hand-over, and shows the About page. It is
// the shell of TVXMMONMAIN: it makes the components that sit on it and
// delivers its messages to the window logic attached to it.
#include <windows.h>

#include <functional>
#include <memory>

#include "app/monitor.h"
#include "monitor/end_request.h"
#include "platform/debug_output.h"
#include "platform/hid.h"
#include "platform/ini.h"
#include "platform/main_window.h"
#include "platform/win32/dispatcher_win32.h"
#include "platform/win32/menu_win32.h"
#include "platform/win32/message_box_win32.h"
#include "platform/win32/timer_win32.h"
#include "platform/win32/tray_win32.h"

namespace vxm::win32 {

class MonitorWindow final : public app::IMonitorShell, public platform::IMainWindow {
public:
    // What the components read: the HID system the mouse is found on,
    // config.ini, the debugger output, and the program's folder.
    // `onException` hears of an exception that a handler of this window or of
    // the arrival notifier's window raised (the debugger output hears first);
    // without one, a message box shows it, one at a time.
    MonitorWindow(HINSTANCE instance, platform::IHidSystem& hid, platform::IIniReader& ini,
                  platform::IDebugOutput& debug, u16 programFolder,
                  std::function<void(u16view message)> onException = {});
    ~MonitorWindow() override;
    MonitorWindow(const MonitorWindow&) = delete;
    MonitorWindow& operator=(const MonitorWindow&) = delete;

    // The window logic that paints the About page and handles the messages,
    // the tray and the timers; without one they are ignored. An end asked
    // for before it came is honoured as it comes.
    void Attach(app::TVXMMONMAIN* window) override;
    std::unique_ptr<platform::ITrayIcon> CreateTrayIcon() override;
    std::unique_ptr<platform::IPopupMenu> CreatePopupMenu(platform::ITrayIcon& tray) override;
    std::unique_ptr<TuiHIDData> CreateHidData() override;
    std::unique_ptr<platform::ITimer> CreateTimer(unsigned intervalMs) override;
    std::unique_ptr<TuiHIDEvent> CreateHidEvent() override;

    platform::WindowHandle MainWindow() override { return reinterpret_cast<platform::WindowHandle>(hwnd_); }
    void ShowMainWindow(bool show) override;
    bool MainWindowVisible() override { return IsWindowVisible(hwnd_) != FALSE; }
    void SetApplicationTitle(u16view title) override;

    // Seams that sit on this window.
    platform::IMainThreadDispatcher& Dispatcher() { return *dispatcher_; }
    platform::IMessageBox& Messages() { return *messages_; }

private:
    class Tray;
    class Menu;
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void TrayCallback(WPARAM wParam, LPARAM lParam);
    void Paint();
    void ReportException(u16view message);
    // Closes the tray menu and the message boxes: the monitor is ending.
    void CloseModal();

    HINSTANCE instance_;
    platform::IHidSystem& hid_;
    platform::IIniReader& ini_;
    platform::IDebugOutput& debug_;
    u16 programFolder_;
    std::function<void(u16view)> onException_;
    bool reporting_ = false;  // a message box of an exception is up
    HWND hwnd_ = nullptr;
    UINT taskbarCreated_ = 0;
    EndRequests endRequests_{[this] { CloseModal(); }};
    int depth_ = 0;  // messages of this window being handled, one inside the other
    app::TVXMMONMAIN* window_ = nullptr;
    std::unique_ptr<Timers> timers_;
    std::unique_ptr<MainThreadDispatcher> dispatcher_;
    std::unique_ptr<MessageBoxes> messages_;
    TrayIcon* tray_ = nullptr;  // while the main window's tray icon exists
    PopupMenu* menu_ = nullptr;
};

}  // namespace vxm::win32
