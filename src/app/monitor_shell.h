#pragma once
// What the monitor's main window reaches the operating system through: the
// shell that runs it (the components only it can make, and the attachment
// through which its window delivers messages, tray clicks, timers and page
// clicks) and the platform's seams.
#include <memory>

#include "hid/hid_data.h"
#include "hid/hid_event.h"
#include "platform/audio.h"
#include "platform/debug_output.h"
#include "platform/dispatcher.h"
#include "platform/files.h"
#include "platform/hook_library.h"
#include "platform/locale.h"
#include "platform/main_window.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/message_loop.h"
#include "platform/mute_notices.h"
#include "platform/os.h"
#include "platform/programs.h"
#include "platform/registry.h"
#include "platform/sound.h"
#include "platform/system_paths.h"
#include "platform/timer.h"
#include "platform/tray.h"
#include "platform/window_messages.h"

namespace vxm::app {

class TVXMMONMAIN;

class IMonitorShell {
public:
    virtual ~IMonitorShell() = default;
    // The window that the shell's messages, tray, menu and timers reach; null
    // detaches it, after which they are ignored.
    virtual void Attach(TVXMMONMAIN* window) = 0;
    // Created in form order by the main window, which owns them.
    virtual std::unique_ptr<platform::ITrayIcon> CreateTrayIcon() = 0;
    virtual std::unique_ptr<platform::IPopupMenu> CreatePopupMenu(platform::ITrayIcon& tray) = 0;
    virtual std::unique_ptr<TuiHIDData> CreateHidData() = 0;
    virtual std::unique_ptr<platform::ITimer> CreateTimer(unsigned intervalMs) = 0;
    virtual std::unique_ptr<TuiHIDEvent> CreateHidEvent() = 0;
    // Where no configuration application comes with the monitor (Linux), the
    // tray menu sets the mute button and the language itself, and "Config"
    // shows only while a configuration application is installed beside it.
    virtual bool SettingsInTrayMenu() const { return false; }
    virtual bool ConfigApplicationInstalled() { return true; }
};

struct MonitorDependencies {
    IMonitorShell& shell;
    platform::IMainWindow& mainWindow;
    platform::IMessageLoop& messageLoop;
    platform::IWindowMessages& windows;
    platform::IPrograms& programs;
    platform::ITicks& ticks;
    platform::IOsVersion& os;
    platform::IMessageBox& messageBox;
    platform::IDebugOutput& debug;
    platform::ISystemPaths& paths;
    platform::IRegistry& registry;
    platform::IFileSystem& files;
    platform::INationalLanguage& nls;
    platform::ICoreAudio& coreAudio;
    platform::IMixer& mixer;
    platform::IHookLibrary& hookLibrary;
    platform::IMainThreadDispatcher& dispatcher;
    platform::ISoundCues& sounds;
    platform::IMuteNotices& notices;
};

}  // namespace vxm::app
