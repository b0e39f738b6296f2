#pragma once
// What the monitor's main window needs from the operating system: its
// components (created in form order) and the window manager and shell.
#include <cstdint>
#include <functional>
#include <memory>

#include "app/protocol.h"
#include "common/text.h"
#include "hid/hid_data.h"
#include "hid/hid_event.h"
#include "platform/audio.h"
#include "platform/dispatcher.h"
#include "platform/files.h"
#include "platform/hook_library.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/timer.h"

namespace vxm::app {

using vxm::TuiHIDData;
using vxm::TuiHIDEvent;
using WindowHandle = std::uintptr_t;
using platform::ITimer;
class TVXMMONMAIN;

inline constexpr char16_t kMonitorTitle[] = u"GAMING MOUSE MONITOR";
inline constexpr char16_t kTrayHint[] = u"GAMING MOUSE DRIVER";
inline constexpr char16_t kTrayIconFile[] = u"\\images\\0409\\icons\\logo.ico";

inline constexpr int kSwShow = 5;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwRestore = 9;

struct OsVersion {
    unsigned platformId = 2;  // VER_PLATFORM_WIN32_NT
    unsigned major = 10;
};

// Components the main window owns that only the host can make (tray and
// menu); the subsystems' own components are built by the window itself.
class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    virtual bool LoadIconFromFile(u16view path) = 0;  // false: keeps the program's own icon
    virtual void SetHint(u16view hint) = 0;
    virtual void SetVisible(bool visible) = 0;
    std::function<void()> OnClick;  // single left click
};

class IPopupMenu {
public:
    virtual ~IPopupMenu() = default;
    virtual void AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) = 0;
    virtual void SetCaption(int index, u16view caption) = 0;
};

// A program the monitor started, for as long as it runs.
class IStartedProgram {
public:
    virtual ~IStartedProgram() = default;
    virtual bool Running() = 0;
};

class IMonitorHost {
public:
    virtual ~IMonitorHost() = default;

    // The window that the host's messages, tray, menu and timers reach; null
    // detaches it, after which they are ignored.
    virtual void Attach(TVXMMONMAIN* window) = 0;

    virtual std::unique_ptr<ITrayIcon> CreateTrayIcon() = 0;
    virtual std::unique_ptr<IPopupMenu> CreatePopupMenu(ITrayIcon& tray) = 0;
    virtual std::unique_ptr<TuiHIDData> CreateHidData() = 0;
    virtual std::unique_ptr<ITimer> CreateTimer(unsigned intervalMs) = 0;
    virtual std::unique_ptr<TuiHIDEvent> CreateHidEvent() = 0;

    virtual WindowHandle FindWindowByClass(u16view className) = 0;
    // Neither waits for the window's thread, which may be another program's, hung.
    virtual void ShowWindowAsync(WindowHandle window, int command) = 0;
    virtual bool IsIconic(WindowHandle window) = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void PostWindowMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Waits for a responsive receiver, never for a hung one (bounded).
    virtual void SendWindowMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual bool ShellExecuteFile(WindowHandle owner, u16view verb, u16view file, u16view directory, int show) = 0;
    // As ShellExecuteFile with no owner, keeping hold of the started process;
    // null when nothing was started.
    virtual std::unique_ptr<IStartedProgram> StartProgram(u16view verb, u16view file, u16view directory,
                                                          int show) = 0;
    // Milliseconds, wrapping; only differences count.
    virtual std::uint32_t TickCount() = 0;

    virtual WindowHandle MainWindow() = 0;
    virtual void ShowMainWindow(bool show) = 0;  // the About page
    virtual bool MainWindowVisible() = 0;
    virtual void SetApplicationTitle(u16view title) = 0;
    virtual void ProcessMessages() = 0;
    virtual void Sleep(unsigned ms) = 0;
    virtual void Terminate() = 0;  // ends the message loop
    virtual OsVersion GetOsVersion() = 0;
    virtual u16 ExecutableFolder() = 0;  // ends with "\"
    virtual void DebugOutput(u16view text) = 0;
    virtual void ShowMessage(u16view text) = 0;  // modal, returns when dismissed
    virtual platform::IRegistry& Registry() = 0;
    virtual platform::ICoreAudio& CoreAudio() = 0;
    virtual platform::IMixer& Mixer() = 0;
    virtual platform::INationalLanguage& Nls() = 0;
    virtual platform::IFileSystem& Files() = 0;
    virtual platform::IHookLibrary& HookLibrary() = 0;
    virtual platform::IMainThreadDispatcher& Dispatcher() = 0;
    // A message box with the error icon, no owner.
    virtual void ShowError(u16view text, u16view caption) = 0;
};

}  // namespace vxm::app
