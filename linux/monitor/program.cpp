#include "monitor/program.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/monitor_languages.h"
#include "monitor/commands.h"
#include "monitor/autostart.h"
#include "monitor/instance.h"
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

namespace {

// How long a start waits for the holder of the bus name to say whether it is
// a monitor: one that is starting answers once its loop runs.
constexpr std::uint64_t kHolderAnswerTimeoutUs = 10000000;

// Calls already queued when the monitor has ended are answered (refused as
// not ready) up to this many, so that a flood cannot hold up the end.
constexpr int kMaxCallsAnsweredAtEnd = 10000;

// Why there is no session bus, in the user's words.
std::string NoSessionBus(const std::string& error) {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) {
        return std::string("cannot connect to the D-Bus session bus at DBUS_SESSION_BUS_ADDRESS=") + address + " (" +
               error + ")";
    }
    // Without either variable sd-bus says "No medium found", which tells nothing.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string("no D-Bus session bus: ") +
           (runtime && *runtime ? "there is none at " + std::string(runtime) + "/bus (" + error + ")"
                                : std::string("neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set")) +
           ". vxmmon runs inside a desktop session; from a plain terminal, start it with "
           "\"dbus-run-session vxmmon\".";
}

}  // namespace

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

bool MonitorProgram::MutexExists(u16view) {
    if (bus_->NameHasOwner(kServiceName)) nameTaken_ = true;
    return nameTaken_;
}

bool MonitorProgram::CreateOwnedMutex(u16view) {
    std::string error;
    ownsName_ = bus_->RequestName(kServiceName, error);
    if (!ownsName_) {
        nameTaken_ = true;
        debug_.DebugOutput(Utf16(std::string(kServiceName) + ": " + error));
    }
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
        u16 configFolder;
        u16 configName;
        SplitPath(paths_.ProgramFile(u"config.ini"), configFolder, configName);
        shell_ = std::make_unique<MonitorShell>(loop_, *bus_, *hid_, ini_, debug_, paths_.ExecutableFolder(),
                                                [this](const std::string& t) { Say(t); }, configFolder);
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
        Say(NoSessionBus(error));
        return 1;
    }
    bus_->OnLost = [this] {
        Say("the session bus dropped the connection: no tray and no protocol any more; the mouse still works");
    };
    debug_.DebugOutput(u"config.ini: " + paths_.ProgramFile(u"config.ini"));
    int code = app::RunMonitor(*this, Parts());
    // The name was taken: by another monitor (this start ends without a
    // word), or by a program that is not one, which the user must hear of.
    // One that let it go meanwhile leaves it to this start after all.
    for (int tries = 0; nameTaken_ && !ownsName_ && tries < 3; ++tries) {
        const NameHolder holder =
            FindNameHolder(bus_->Get(), kServiceName, kObjectPath, kInterface, kHolderAnswerTimeoutUs);
        if (holder.kind == NameHolder::Kind::Monitor) {
            debug_.DebugOutput(Utf16("another monitor runs: " + holder.uniqueName + ", process " +
                                     std::to_string(holder.pid)));
            return 0;
        }
        if (holder.kind != NameHolder::Kind::None) {
            Say(DescribeForeignHolder(holder, kServiceName, kHolderAnswerTimeoutUs));
            return 3;
        }
        nameTaken_ = false;
        code = app::RunMonitor(*this, Parts());
    }
    // Calls that came before the name went are answered now, while the
    // shell still refuses them, rather than left to time out.
    for (int i = 0; shell_ && i < kMaxCallsAnsweredAtEnd && sd_bus_process(bus_->Get(), nullptr) > 0; ++i) {
    }
    // The window and the manager are gone; their shell and the bus go now.
    shell_.reset();
    notices_.reset();
    hid_.reset();
    loop_.Close();
    debug_.DebugOutput(u"ended");
    return code;
}

namespace {

// `vxmmon --autostart`: 0 while the start with the session is on, 1 while
// it is off (the user unit's start condition). With "on" or "off": 0 once
// changed, 1 with the reason when it could not be.
int Autostart(const char* change) {
    std::string error;
    if (change && !SetAutostart(std::strcmp(change, "on") == 0, error)) {
        std::fprintf(stderr, "vxmmon: %s\n", error.c_str());
        return 1;
    }
    const AutostartState state = ReadAutostart();
    std::printf("%s (%s)\n", state.enabled ? "on" : "off",
                state.entry.empty() ? "no autostart entry" : state.entry.c_str());
    return change || state.enabled ? 0 : 1;
}

}  // namespace

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
                "       vxmmon --autostart [on|off]\n"
                "The gaming mouse monitor: toggles the microphone mute from the mouse's mute button,\n"
                "records profile switches, and talks to the configuration application over D-Bus\n"
                "(%s on the session bus). Runs in the foreground until its tray menu's Exit,\n"
                "SIGINT or SIGTERM; a second start ends at once.\n"
                "  -v, --verbose         write the monitor's diagnostics to standard error\n"
                "  --autostart [on|off]  tell, or turn on or off, its start with the desktop session\n"
                "                        (exit code 0 when on, 1 when off)\n"
                "  --version             show the version\n"
                "  -h, --help            show this text\n"
                "Settings and the toggle, sent to the running monitor (the settings go to the\n"
                "stored profiles when none runs):\n"
                "  --mute-button N|none  the mouse button (1 to 19) that toggles the microphone\n"
                "  --language NAME       the language of the tray (a name the tray menu lists)\n"
                "  --toggle-mute         toggle the microphone as the mute button does\n",
                kServiceName);
            return 0;
        } else if (arg == "--version") {
            std::printf("vxmmon %s\n", VXMMON_VERSION);
            return 0;
        } else if (arg == "--autostart") {
            if (i + 2 < argc || (i + 1 < argc && std::strcmp(argv[i + 1], "on") != 0 &&
                                 std::strcmp(argv[i + 1], "off") != 0)) {
                std::fprintf(stderr, "vxmmon: --autostart takes on or off, and nothing after it (see --help)\n");
                return 2;
            }
            return Autostart(i + 1 < argc ? argv[i + 1] : nullptr);
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
