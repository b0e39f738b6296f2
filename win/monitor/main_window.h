#pragma once
// The monitor's window, tray, timers and process services on Windows.
#include <windows.h>

#include <map>
#include <memory>

#include "app/monitor.h"
#include "platform/win32/audio_win32.h"
#include "platform/win32/end_request.h"
#include "platform/win32/dispatcher_win32.h"
#include "platform/win32/hid_win32.h"
#include "platform/win32/hook_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/win32_platform.h"

namespace vxm::win32 {

// The tray's callback message and icon id, as the shell sends them to the
// main window. Once the shell took version 4, lParam carries the event in
// its low word and the icon id in its high word, and wParam the icon's
// anchor point in screen coordinates; before, wParam is the id and lParam
// the mouse message.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayVersion4 = 4;         // NOTIFYICON_VERSION_4
inline constexpr UINT kTraySelect = WM_USER;     // NIN_SELECT: click or activation
inline constexpr UINT kTrayKeySelect = WM_USER + 1;  // NIN_KEYSELECT: Space or Enter on the icon
inline constexpr UINT kWmDpiChanged = 0x02E0;    // WM_DPICHANGED, wParam: the new DPI

class MonitorHost final : public app::IMonitorHost {
public:
    explicit MonitorHost(HINSTANCE instance);
    ~MonitorHost() override;
    MonitorHost(const MonitorHost&) = delete;
    MonitorHost& operator=(const MonitorHost&) = delete;

    // The window logic that paints the About page and handles the messages,
    // the tray and the timers; without one they are ignored.
    void Attach(app::TVXMMONMAIN* window) override { window_ = window; }

    std::unique_ptr<app::ITrayIcon> CreateTrayIcon() override;
    std::unique_ptr<app::IPopupMenu> CreatePopupMenu(app::ITrayIcon& tray) override;
    std::unique_ptr<TuiHIDData> CreateHidData() override;
    std::unique_ptr<platform::ITimer> CreateTimer(unsigned intervalMs) override;
    std::unique_ptr<TuiHIDEvent> CreateHidEvent() override;

    app::WindowHandle FindWindowByClass(u16view className) override;
    void ShowWindowAsync(app::WindowHandle window, int command) override;
    bool IsIconic(app::WindowHandle window) override;
    void SetForegroundWindow(app::WindowHandle window) override;
    void PostWindowMessage(app::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void SendWindowMessage(app::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool ShellExecuteFile(app::WindowHandle owner, u16view verb, u16view file, u16view directory, int show) override;
    std::unique_ptr<app::IStartedProgram> StartProgram(u16view verb, u16view file, u16view directory,
                                                       int show) override;
    std::uint32_t TickCount() override { return GetTickCount(); }

    app::WindowHandle MainWindow() override { return reinterpret_cast<app::WindowHandle>(hwnd_); }
    void ShowMainWindow(bool show) override;
    bool MainWindowVisible() override { return IsWindowVisible(hwnd_) != FALSE; }
    void SetApplicationTitle(u16view title) override;
    void ProcessMessages() override;
    void Sleep(unsigned ms) override;
    void Terminate() override;
    app::OsVersion GetOsVersion() override;
    u16 ExecutableFolder() override;
    void DebugOutput(u16view text) override;
    void ShowMessage(u16view text) override;
    platform::IRegistry& Registry() override { return registry_; }
    platform::ICoreAudio& CoreAudio() override { return coreAudio_; }
    platform::IMixer& Mixer() override { return mixer_; }
    platform::INationalLanguage& Nls() override { return nls_; }
    platform::IFileSystem& Files() override { return files_; }
    platform::IHookLibrary& HookLibrary() override { return *hookLibrary_; }
    platform::IMainThreadDispatcher& Dispatcher() override { return *dispatcher_; }
    void ShowError(u16view text, u16view caption) override;

    // Where the mouse is found; tests replace it with a stand-in.
    void SetHidSystem(platform::IHidSystem* hid) { hidSystem_ = hid; }

    // Used by the tray, menu and timer objects.
    HWND Handle() const { return hwnd_; }
    HINSTANCE Instance() const { return instance_; }
    HidSystem& RealHidSystem() { return hid_; }
    UINT_PTR RegisterTimer(platform::ITimer* timer);
    void UnregisterTimer(UINT_PTR id);
    class Win32Tray* tray_ = nullptr;
    class Win32Menu* menu_ = nullptr;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void TrayCallback(WPARAM wParam, LPARAM lParam);
    void Paint();

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    UINT taskbarCreated_ = 0;
    EndRequests endRequests_;
    int depth_ = 0;  // messages of this window being handled, one inside the other
    app::TVXMMONMAIN* window_ = nullptr;
    std::map<UINT_PTR, platform::ITimer*> timers_;
    HidSystem hid_;
    platform::IHidSystem* hidSystem_ = &hid_;
    win32::Registry registry_;
    win32::CoreAudio coreAudio_;
    win32::Mixer mixer_;
    NationalLanguage nls_;
    FileSystem files_;
    std::unique_ptr<win32::HookLibrary> hookLibrary_;
    IniReader ini_;
    std::unique_ptr<MainThreadDispatcher> dispatcher_;
    UINT_PTR nextTimerId_ = 1;
};

class ProcessHost final : public app::IProcessHost {
public:
    ~ProcessHost() override;
    bool MutexExists(u16view name) override;
    bool CreateOwnedMutex(u16view name) override;
    void ReleaseOwnedMutex() override;
    void ConfigureApplication() override;
    void RunMessageLoop() override;

private:
    HANDLE mutex_ = nullptr;
};

}  // namespace vxm::win32
