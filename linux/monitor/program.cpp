#include "monitor/program.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/monitor_languages.h"
#include "monitor/commands.h"
#include "profile/tdm.h"

namespace vxm::linuxmon {

namespace {

sigset_t LoopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGCHLD);
    return set;
}

}  // namespace

void MonitorProgram::WriteStderr(const std::string& line) {
    const std::string text = "vxmmon: " + line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(2, text.data(), text.size());
}

void BlockLoopSignals() {
    const sigset_t set = LoopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A peer that closes its end must not end the process.
    ::signal(SIGPIPE, SIG_IGN);
}

MonitorProgram::MonitorProgram(Options options, HidFactory makeHid)
    : options_(options), makeHid_(std::move(makeHid)), debug_(2, options.verbose) {
    const sigset_t set = LoopSignals();
    signals_ = linuxos::UniqueFd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

MonitorProgram::~MonitorProgram() {
    shell_.reset();
    notices_.reset();
    hid_.reset();
    if (bus_ && ownsName_) bus_->ReleaseName(kServiceName);
    bus_.reset();
}

void MonitorProgram::Say(const std::string& text) { WriteStderr(text); }

void MonitorProgram::Signals(short) {
    signalfd_siginfo info{};
    while (::read(signals_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGCHLD) {
            programs_.Reap();
            continue;
        }
        debug_.DebugOutput(Utf16(std::string("signal ") + ::strsignal(static_cast<int>(info.ssi_signo)) +
                                 ": ending"));
        if (shell_) {
            shell_->RequestEnd();
        } else {
            loop_.Terminate();
        }
    }
}

bool MonitorProgram::MutexExists(u16view) { return bus_->NameHasOwner(kServiceName); }

bool MonitorProgram::CreateOwnedMutex(u16view) {
    std::string error;
    ownsName_ = bus_->RequestName(kServiceName, error);
    if (!ownsName_) debug_.DebugOutput(Utf16(std::string(kServiceName) + ": " + error));
    return ownsName_;
}

void MonitorProgram::ReleaseOwnedMutex() {
    if (!ownsName_) return;
    ownsName_ = false;
    bus_->ReleaseName(kServiceName);
}

void MonitorProgram::RunMessageLoop() {
    const linuxos::MainLoop::WatchId watch = loop_.Watch(signals_.Get(), POLLIN, [this](short r) { Signals(r); });
    loop_.Run();
    loop_.Unwatch(watch);
}

app::MonitorParts MonitorProgram::Parts() {
    app::MonitorParts parts;
    parts.createProfileManager = [this] {
        // A first start takes the language from the user's locale: no
        // configuration application is there to set it.
        return std::make_unique<TDM>(ProfilePlatform{registry_, files_, ini_, paths_, clock_}, [this] {
            return app::MonitorLanguages(LanguageDependencies{nls_, files_, paths_.ExecutableFolder(), u16(), false, {}})
                .LocaleChoice();
        });
    };
    parts.createMainWindow = [this](IProfileSettings& settings) {
        hid_ = makeHid_();
        notices_ = std::make_unique<linuxos::DesktopNotifications>(bus_->Get(), [this](const std::string& t) { Say(t); });
        shell_ = std::make_unique<MonitorShell>(loop_, *bus_, *hid_, ini_, debug_, paths_.ExecutableFolder(),
                                                [this](const std::string& t) { Say(t); });
        return std::make_unique<app::TVXMMONMAIN>(
            app::MonitorDependencies{*shell_, *shell_, loop_, *shell_, programs_, ticks_, os_, messages_, debug_,
                                     paths_, registry_, files_, nls_, pulse_, mixer_, hookLibrary_,
                                     loop_.Dispatcher(), sounds_, *notices_},
            settings);
    };
    return parts;
}

int MonitorProgram::Run() {
    std::string error;
    bus_ = linuxos::SessionBus::Open(loop_, error);
    if (!bus_) {
        // Without the bus there is no single-instance guard and no protocol.
        Say("no D-Bus session bus: " + error);
        return 1;
    }
    bus_->OnLost = [this] {
        Say("the session bus dropped the connection: no tray and no protocol any more; the mouse still works");
    };
    const int code = app::RunMonitor(*this, Parts());
    // The window and the manager are gone; their shell and the bus go now.
    shell_.reset();
    notices_.reset();
    hid_.reset();
    loop_.Close();
    debug_.DebugOutput(u"ended");
    return code;
}

int VxmmonMain(int argc, char** argv, MonitorProgram::HidFactory makeHid) {
    Options options;
    Command command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string error;
        if (ParseCommand(argc, argv, i, command, error)) {
            if (error.empty()) continue;
            std::fprintf(stderr, "vxmmon: %s\n", error.c_str());
            return 2;
        }
        if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            std::printf(
                "Usage: vxmmon [--verbose]\n"
                "       vxmmon --mute-button N|none | --language NAME | --toggle-mute\n"
                "The gaming mouse monitor: toggles the microphone mute from the mouse's mute button,\n"
                "records profile switches, and talks to the configuration application over D-Bus\n"
                "(%s on the session bus). Runs in the foreground until its tray menu's Exit,\n"
                "SIGINT or SIGTERM; a second start ends at once.\n"
                "  -v, --verbose  write the monitor's diagnostics to standard error\n"
                "  -h, --help     show this text\n"
                "Settings and the toggle, sent to the running monitor (the settings go to the\n"
                "stored profiles when none runs):\n"
                "  --mute-button N|none  the mouse button (1 to 19) that toggles the microphone\n"
                "  --language NAME       the language of the tray (a name the tray menu lists)\n"
                "  --toggle-mute         toggle the microphone as the mute button does\n",
                kServiceName);
            return 0;
        } else {
            std::fprintf(stderr, "vxmmon: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (command.kind != Command::Kind::None) return RunCommand(command);
    BlockLoopSignals();
    MonitorProgram program(options, std::move(makeHid));
    return program.Run();
}

}  // namespace vxm::linuxmon
