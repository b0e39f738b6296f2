#pragma once
// The monitor program on Windows: the Win32 backends and the main window's
// shell wired to the portable monitor.
#include <windows.h>

#include <functional>
#include <memory>

#include "app/run_monitor.h"
#include "monitor/main_window.h"
#include "monitor/process_host.h"
#include "platform/win32/audio_win32.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/debug_output_win32.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/hook_library_win32.h"
#include "platform/win32/ini_win32.h"
#include "platform/win32/locale_win32.h"
#include "platform/win32/message_loop_win32.h"
#include "platform/win32/mute_notices_win32.h"
#include "platform/win32/os_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/programs_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/sound_win32.h"
#include "platform/win32/timer_win32.h"
#include "platform/win32/window_messages_win32.h"

namespace vxm::win32 {

class MonitorProgram {
public:
    // `makeHid` makes what the mouse is read from, when the main window
    // comes up.
    using HidFactory = std::function<std::unique_ptr<platform::IHidSystem>()>;
    MonitorProgram(HINSTANCE instance, HidFactory makeHid);
    MonitorProgram(const MonitorProgram&) = delete;
    MonitorProgram& operator=(const MonitorProgram&) = delete;

    // The profile manager over the registry and files, and the main window
    // in its shell.
    app::MonitorParts Parts();
    // The whole run, from the single-instance check to the last goodbye.
    int Run(const app::MonitorParts& parts);
    int Run() { return Run(Parts()); }

private:
    HINSTANCE instance_;
    HidFactory makeHid_;
    Registry registry_;
    FileSystem files_;
    IniReader ini_;
    SystemPaths paths_;
    Clock clock_;
    DebuggerOutput debug_;
    WindowMessages windows_;
    Programs programs_;
    MessageLoop messageLoop_;
    Ticks ticks_;
    OsVersionSource os_;
    NationalLanguage nls_;
    CoreAudio coreAudio_;
    Mixer mixer_;
    HookLibrary hookLibrary_;
    SoundCues sounds_;
    MuteNotices notices_;
    ProcessHost process_;
    std::unique_ptr<platform::IHidSystem> hid_;
    std::unique_ptr<MonitorWindow> window_;
};

}  // namespace vxm::win32
