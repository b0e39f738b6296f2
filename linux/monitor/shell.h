#pragma once
// The monitor's shell on Linux: what the main window is on Windows. It makes
// the components that sit on the window (the StatusNotifierItem tray and its
// menu, the HID component, the loop's timers, the hidraw arrival source),
// delivers their events to the window logic attached to it, and carries the
// window messages of the protocol over the session bus:
//
//   the monitor      io.github.vxmmon.TVXMMONMAIN, object
//                    /io/github/vxmmon/TVXMMONMAIN, interface of the same
//                    name: methods ReloadProfiles(x profile) for 7035,
//                    ReloadSettings() for 7037, ButtonEvent(t index,
//                    x parameter) for 7524; signals MonitorExiting() for
//                    7036, ProfileSwitched(i profile) for 7040,
//                    DeviceValue(u value) for 7042; and what the tray menu
//                    sets where no configuration application does:
//                    SetMuteButton(i button: 1 to 19, 0 for none),
//                    SetLanguage(s name), ToggleMute()
//   the configuration application
//                    io.github.vxmmon.TVXMCFGMAIN (the window the monitor
//                    "finds" while that name has an owner), whose method
//                    Activate() on /io/github/vxmmon/TVXMCFGMAIN, interface
//                    io.github.vxmmon.TVXMCFGMAIN, brings it forward
//
// The signals go out while the configuration application is there, as the
// messages do on Windows. Without an attached window (before it is complete
// and once it started to go) method calls are refused with an error reply,
// and clicks, timers and arrivals reach nothing.
#include <memory>
#include <string>

#include "app/monitor.h"
#include "platform/hid.h"
#include "platform/ini.h"
#include "platform/linux/bus_linux.h"
#include "platform/linux/lifetime_linux.h"
#include "platform/linux/main_loop_linux.h"
#include "platform/linux/owner_linux.h"
#include "platform/linux/notifications_linux.h"
#include "platform/linux/tray_linux.h"


namespace vxm::linuxmon {

inline constexpr char kServiceName[] = "io.github.vxmmon.TVXMMONMAIN";
inline constexpr char kObjectPath[] = "/io/github/vxmmon/TVXMMONMAIN";
inline constexpr char kInterface[] = "io.github.vxmmon.TVXMMONMAIN";
inline constexpr char kConfigServiceName[] = "io.github.vxmmon.TVXMCFGMAIN";
inline constexpr char kConfigObjectPath[] = "/io/github/vxmmon/TVXMCFGMAIN";
inline constexpr char kConfigInterface[] = "io.github.vxmmon.TVXMCFGMAIN";
// Refusal of a method call while no window is attached.
inline constexpr char kErrorNotReady[] = "io.github.vxmmon.Error.NotReady";
// A setting the store refused (its text says why); nothing was changed.
inline constexpr char kErrorFailed[] = "io.github.vxmmon.Error.Failed";
// What stands for "VXMCFG.EXE" beside the program.
inline constexpr char kConfigProgram[] = "vxmcfg";

// Handles of the windows the core addresses.
inline constexpr platform::WindowHandle kMonitorWindow = 1;
inline constexpr platform::WindowHandle kConfigWindow = 2;

class MonitorShell final : public app::IMonitorShell, public platform::IMainWindow, public platform::IWindowMessages {
public:
    // `say` tells the user something on standard error; `configFolder` is
    // where config.ini is read from (ISystemPaths::ProgramFile).
    MonitorShell(linuxos::MainLoop& loop, linuxos::SessionBus& bus, platform::IHidSystem& hid,
                 platform::IIniReader& ini, platform::IDebugOutput& debug, u16 programFolder,
                 std::function<void(const std::string&)> say, u16 configFolder);
    ~MonitorShell() override;
    MonitorShell(const MonitorShell&) = delete;
    MonitorShell& operator=(const MonitorShell&) = delete;

    void Attach(app::TVXMMONMAIN* window) override { window_ = window; }
    std::unique_ptr<platform::ITrayIcon> CreateTrayIcon() override;
    std::unique_ptr<platform::IPopupMenu> CreatePopupMenu(platform::ITrayIcon& tray) override;
    std::unique_ptr<TuiHIDData> CreateHidData() override;
    std::unique_ptr<platform::ITimer> CreateTimer(unsigned intervalMs) override;
    std::unique_ptr<TuiHIDEvent> CreateHidEvent() override;
    bool SettingsInTrayMenu() const override { return true; }
    bool ConfigApplicationInstalled() override;

    platform::WindowHandle MainWindow() override { return kMonitorWindow; }
    void ShowMainWindow(bool) override {}  // no About page on Linux
    bool MainWindowVisible() override { return false; }
    void SetApplicationTitle(u16view title) override;

    platform::WindowHandle FindWindowByClass(u16view className) override;
    void ShowWindowAsync(platform::WindowHandle window, int command) override;
    bool IsIconic(platform::WindowHandle) override { return false; }
    void SetForegroundWindow(platform::WindowHandle) override {}
    void PostWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                           std::intptr_t lParam) override;
    void SendWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                           std::intptr_t lParam) override;

    // SIGINT, SIGTERM: the ending of "Exit" once the window is there, else
    // the loop just ends.
    void RequestEnd();

    struct Access;

private:
    class Tray;
    bool Attached() const { return window_ != nullptr; }
    void Signal(unsigned msg, std::uintptr_t wParam);

    linuxos::MainLoop& loop_;
    linuxos::SessionBus& bus_;
    platform::IHidSystem& hid_;
    platform::IIniReader& ini_;
    platform::IDebugOutput& debug_;
    u16 programFolder_;
    u16 configFolder_;
    std::function<void(const std::string&)> say_;
    app::TVXMMONMAIN* window_ = nullptr;
    linuxos::Lifetime lifetime_;
    Tray* tray_ = nullptr;
    linuxos::BusSlot object_;
    // Whether the configuration application is there, without asking each time.
    linuxos::BusNameWatch config_;
};

}  // namespace vxm::linuxmon
