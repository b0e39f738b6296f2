#pragma once
// vxmmon: the Linux backends and the shell wired to the portable monitor,
// run in the foreground until "Exit", SIGINT or SIGTERM.
#include <functional>
#include <memory>

#include "app/run_monitor.h"
#include "monitor/shell.h"
#include "platform/linux/audio_linux.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/ini_linux.h"
#include "platform/linux/locale_linux.h"
#include "platform/linux/notifications_linux.h"
#include "platform/linux/registry_linux.h"
#include "platform/linux/seams_linux.h"

namespace vxm::linuxmon {

struct Options {
    bool verbose = false;  // the debugger output on standard error
};

class MonitorProgram final : public app::IProcessHost {
public:
    // `makeHid` makes what the mouse is read from, when the window comes up.
    using HidFactory = std::function<std::unique_ptr<platform::IHidSystem>()>;
    MonitorProgram(Options options, HidFactory makeHid);
    ~MonitorProgram() override;
    MonitorProgram(const MonitorProgram&) = delete;
    MonitorProgram& operator=(const MonitorProgram&) = delete;

    // The whole run: 0 after an orderly end or when another instance runs,
    // 1 without a session bus, 3 when a program that is not a monitor holds
    // its bus name.
    int Run();

    bool MutexExists(u16view name) override;
    bool CreateOwnedMutex(u16view name) override;
    void ReleaseOwnedMutex() override;
    void ConfigureApplication() override {}
    void RunMessageLoop() override;

private:
    app::MonitorParts Parts();
    void Say(const std::string& text);
    // "vxmmon: " and the text on standard error, from any thread.
    static void WriteStderr(const std::string& line);
    void Signals(short revents);

    Options options_;
    HidFactory makeHid_;
    linuxos::Registry registry_;
    linuxos::FileSystem files_;
    linuxos::IniReader ini_;
    linuxos::SystemPaths paths_;
    linuxos::Clock clock_;
    linuxos::StreamDebugOutput debug_;
    // A warning (the start-up's) reaches standard error; with --verbose the
    // debugger output there has said it already.
    linuxos::DebugMessageBoxes messages_{debug_, [this](u16view text) {
                                             if (!debug_.Enabled()) Say(Utf8(text));
                                         }};
    linuxos::DebugSoundCues sounds_{debug_};
    linuxos::Programs programs_;
    linuxos::Ticks ticks_;
    linuxos::OsVersionSource os_;
    linuxos::NationalLanguage nls_;
    linuxos::PulseAudio pulse_{{}, [](const std::string& t) { WriteStderr(t); }};
    linuxos::NoMixer mixer_;
    linuxos::NoHookLibrary hookLibrary_;
    linuxos::MainLoop loop_;
    linuxos::UniqueFd signals_;
    std::unique_ptr<linuxos::SessionBus> bus_;
    bool ownsName_ = false;
    bool nameTaken_ = false;  // by another connection, when this start looked or asked
    std::unique_ptr<platform::IHidSystem> hid_;
    std::unique_ptr<linuxos::DesktopNotifications> notices_;
    std::unique_ptr<MonitorShell> shell_;
};

// Blocks the signals the loop reads from its signalfd; call first thing in
// main, before any thread starts, so that every thread inherits the mask.
void BlockLoopSignals();

// The command line of vxmmon (and of its test build, which passes its own
// HID system): "--verbose", "--help", "--version", "--autostart [on|off]".
// Returns the exit code: 0 after an orderly end or when another monitor
// runs, 1 without a session bus, 2 for a wrong option, 3 when a program that
// is not a monitor holds the monitor's bus name.
int VxmmonMain(int argc, char** argv, MonitorProgram::HidFactory makeHid);

}  // namespace vxm::linuxmon
