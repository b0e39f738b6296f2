#pragma once
// The shell and the platform as the monitor's main window sees them, in one
// recording fake: what the window does lands in one log, in order, and its
// timers run on a virtual clock.
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/monitor.h"
#include "lang/translate.h"
#include "support/fake_audio.h"
#include "support/fake_hid.h"
#include "support/fake_hook.h"
#include "support/fake_locale.h"
#include "support/fake_platform.h"

namespace vxm::fake {

// The lines of a log that begin with one of the prefixes, in order.
std::vector<std::string> Only(const std::vector<std::string>& log, std::initializer_list<const char*> prefixes);

class FakeMonitorHost final : public app::IMonitorShell,
                              public platform::IMainWindow,
                              public platform::IMessageLoop,
                              public platform::IWindowMessages,
                              public platform::IPrograms,
                              public platform::ITicks,
                              public platform::IOsVersion,
                              public platform::IMessageBox,
                              public platform::IDebugOutput,
                              public platform::ISystemPaths,
                              public platform::ISoundCues,
                              public platform::IMuteNotices {
    // The translation state is process-wide: every host starts without one.
    struct CleanTranslation {
        CleanTranslation() { ResetTranslationState(); }
        ~CleanTranslation() { ResetTranslationState(); }
    } clean_;

public:
    // Every creation, destruction and call, in order ("create:tray", "destroy:tray", ...).
    std::vector<std::string> log;

    // Virtual time: fires every enabled timer whose period ends within `ms`.
    void Advance(unsigned ms);
    unsigned now = 0;

    // Every seam of the window is this host (or one of its fakes).
    operator app::MonitorDependencies();

    std::unique_ptr<platform::ITrayIcon> CreateTrayIcon() override;
    std::unique_ptr<platform::IPopupMenu> CreatePopupMenu(platform::ITrayIcon& tray) override;
    std::unique_ptr<TuiHIDData> CreateHidData() override;
    std::unique_ptr<platform::ITimer> CreateTimer(unsigned intervalMs) override;
    std::unique_ptr<TuiHIDEvent> CreateHidEvent() override;
    bool SettingsInTrayMenu() const override { return settingsInMenu; }
    bool ConfigApplicationInstalled() override { return configInstalled; }

    void Attach(app::TVXMMONMAIN* window) override { attached = window; }
    platform::WindowHandle FindWindowByClass(u16view className) override;
    void ShowWindowAsync(platform::WindowHandle window, int command) override;
    bool IsIconic(platform::WindowHandle window) override { return iconic.count(window) != 0; }
    void SetForegroundWindow(platform::WindowHandle window) override;
    void PostWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void SendWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    bool ShellExecuteFile(platform::WindowHandle owner, u16view verb, u16view file, u16view directory, int show) override;
    std::unique_ptr<platform::IStartedProgram> StartProgram(u16view verb, u16view file, u16view directory,
                                                       int show) override;
    std::uint32_t TickCount() override { return now; }
    platform::WindowHandle MainWindow() override { return 1; }
    void ShowMainWindow(bool show) override;
    bool MainWindowVisible() override { return mainVisible; }
    void SetApplicationTitle(u16view title) override;
    void ProcessMessages() override;
    void Sleep(unsigned ms) override;
    void Terminate() override;
    void Play(platform::SoundCue cue) override;  // "Sound:muted", "Sound:live", "Sound:error"
    // "Notice:show:muted:<text>:<ms>", "Notice:hide", "Notice:failure:<text>:<detail>"
    void ShowState(bool muted, u16view text, unsigned forMs) override;
    void HideState() override;
    void TellFailure(u16view text, u16view detail) override;
    platform::OsVersion GetOsVersion() override { return os; }
    u16 ExecutableFolder() override { return exeFolder; }
    u16 PersonalDocumentsFolder() override { return platform.paths.documents; }
    void DebugOutput(u16view text) override { log.push_back("Debug:" + Utf8(text)); }
    void ShowMessage(u16view text) override {
        log.push_back("ShowMessage:" + Utf8(text));
        if (whileMessageShown) whileMessageShown();
    }
    // Runs while a message box is up, as other messages are dispatched then.
    std::function<void()> whileMessageShown;
    FakeNationalLanguage nls;
    void ShowError(u16view text, u16view caption) override {
        log.push_back("ShowError:" + Utf8(caption) + ":" + Utf8(text));
    }
    void ShowWarning(u16view text) override {
        log.push_back("ShowWarning:" + Utf8(text));
        if (whileMessageShown) whileMessageShown();
    }
    // Logs "hook:load" and "hook:unload" into the host's log.
    class LoggingHookLibrary;
    std::unique_ptr<FakeHookLibrary> hookLibrary;
    FakeCoreAudio coreAudio;
    FakeMixer mixer;

    // Scenario settings and observations.
    std::map<u16, platform::WindowHandle> windows;  // class -> handle
    std::set<platform::WindowHandle> iconic;
    bool mainVisible = false;
    // What the next StartProgram gives: a program, or nothing (a failed start).
    bool startSucceeds = true;
    // Whether each program started so far still runs; the test ends one by clearing it.
    std::vector<std::shared_ptr<bool>> started;
    // The window the host delivers to, as the real one does; Deliver is a
    // message another process sends.
    app::TVXMMONMAIN* attached = nullptr;
    bool Deliver(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    // Delivers what the log says was posted to the main window so far, as
    // the message loop would.
    void DeliverPosted();
    // Runs while the tray icon is being removed (the real removal waits on
    // the shell, and sent messages are dispatched meanwhile).
    std::function<void()> onTrayRemoval;
    platform::OsVersion os;
    u16 exeFolder = u"C:\\Mouse\\";
    std::vector<u16> existingFiles;
    bool iconLoaded = false;
    u16 hint;
    bool badge = false;  // the tray icon carries the muted mark
    u16 title;
    std::vector<u16> menuCaptions;
    std::vector<bool> menuVisible;
    std::vector<std::function<void()>> menuClicks;
    // The settings' submenus by their item's index: the choices and the checked one.
    bool settingsInMenu = false;
    bool configInstalled = true;
    std::map<int, std::pair<std::vector<u16>, int>> menuChoices;
    std::map<int, std::function<void(int)>> menuChoose;
    std::function<void()> trayClick;
    TuiHIDEvent* hidEvent = nullptr;
    // The HID side: a scripted system whose searches are logged as
    // "HidSearch@<virtual time>", and a main thread the test drives.
    class LoggingHid;
    std::unique_ptr<FakeHidSystem> hid;
    FakeDispatcher dispatcher;
    // The HID component's debugger output, apart from the window's.
    FakeDebugOutput hidDebug;
    FakePlatform platform;
    FakeMonitorHost();
    ~FakeMonitorHost() override;

    struct Timer;
    std::vector<Timer*> timers;
};

}  // namespace vxm::fake
