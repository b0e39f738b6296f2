#pragma once
// The monitor's window, tray, timers and process services on Windows.
#include <windows.h>

#include <map>
#include <memory>

#include "app/monitor.h"
#include "platform/win32/audio_win32.h"
#include "platform/win32/dispatcher_win32.h"
#include "platform/win32/hid_win32.h"
#include "platform/win32/hook_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/win32_platform.h"

namespace vxm::win32 {

// The tray's callback message and icon id, as the shell sends them to the
// main window (lParam carries the mouse message).
inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr UINT kTrayIconId = 1;

class MonitorHost final : public app::IMonitorHost {
public:
    explicit MonitorHost(HINSTANCE instance);
    ~MonitorHost() override;
    MonitorHost(const MonitorHost&) = delete;
    MonitorHost& operator=(const MonitorHost&) = delete;

    // The window logic that paints and handles the About page.
    void Attach(app::TVXMMONMAIN* window) { window_ = window; }

    std::unique_ptr<app::ITrayIcon> CreateTrayIcon() override;
    std::unique_ptr<app::IPopupMenu> CreatePopupMenu(app::ITrayIcon& tray) override;
    std::unique_ptr<TuiHIDData> CreateHidData() override;
    std::unique_ptr<app::ITimer> CreateTimer(unsigned intervalMs) override;
    std::unique_ptr<TuiHIDEvent> CreateHidEvent() override;

    app::WindowHandle FindWindowByClass(u16view className) override;
    void ShowWindow(app::WindowHandle window, int command) override;
    void SetForegroundWindow(app::WindowHandle window) override;
    void PostWindowMessage(app::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void SendWindowMessage(app::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool ShellExecuteFile(app::WindowHandle owner, u16view verb, u16view file, u16view directory, int show) override;

    app::WindowHandle MainWindow() override { return reinterpret_cast<app::WindowHandle>(hwnd_); }
    void ShowMainWindow(bool show) override;
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
    UINT_PTR RegisterTimer(app::ITimer* timer);
    void UnregisterTimer(UINT_PTR id);
    class Win32Tray* tray_ = nullptr;
    class Win32Menu* menu_ = nullptr;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint();

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    UINT taskbarCreated_ = 0;
    app::TVXMMONMAIN* window_ = nullptr;
    std::map<UINT_PTR, app::ITimer*> timers_;
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
    void CreateOwnedMutex(u16view name) override;
    void ReleaseOwnedMutex() override;
    void ConfigureApplication() override;
    void RunMessageLoop() override;

private:
    HANDLE mutex_ = nullptr;
};

}  // namespace vxm::win32
