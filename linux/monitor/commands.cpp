#include "monitor/commands.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>

#include "app/monitor_languages.h"
#include "monitor/shell.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/ini_linux.h"
#include "platform/linux/locale_linux.h"
#include "platform/linux/registry_linux.h"
#include "platform/linux/seams_linux.h"
#include "profile/tdm.h"

namespace vxm::linuxmon {

namespace {

// A monitor busy for longer than this is not waited for.
constexpr std::uint64_t kCallTimeoutUs = 10'000'000;

int Fail(const std::string& text) {
    const std::string line = "vxmmon: " + text + "\n";
    [[maybe_unused]] const ssize_t n = ::write(2, line.data(), line.size());
    return 1;
}

int CallMonitor(sd_bus* bus, const Command& command) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = 0;
    switch (command.kind) {
        case Command::Kind::MuteButton:
            r = sd_bus_call_method(bus, kServiceName, kObjectPath, kInterface, "SetMuteButton", &error, nullptr, "i",
                                   static_cast<std::int32_t>(command.button));
            break;
        case Command::Kind::Language:
            r = sd_bus_call_method(bus, kServiceName, kObjectPath, kInterface, "SetLanguage", &error, nullptr, "s",
                                   command.language.c_str());
            break;
        case Command::Kind::ToggleMute:
            r = sd_bus_call_method(bus, kServiceName, kObjectPath, kInterface, "ToggleMute", &error, nullptr, "");
            break;
        case Command::Kind::None:
            break;
    }
    std::string failure;
    if (r < 0) {
        failure = std::string("the running monitor refused: ") +
                  (error.message ? error.message : error.name ? error.name : std::strerror(-r));
    }
    sd_bus_error_free(&error);
    return failure.empty() ? 0 : Fail(failure);
}

// The settings on the store, through the profile manager, as a running
// monitor writes them.
int EditStore(const Command& command) {
    linuxos::Registry registry;
    linuxos::FileSystem files;
    linuxos::IniReader ini;
    linuxos::SystemPaths paths;
    linuxos::Clock clock;
    linuxos::NationalLanguage nls;
    app::MonitorLanguages languages(LanguageDependencies{nls, files, paths.ExecutableFolder(), u16(), false, {}});
    TDM dm(ProfilePlatform{registry, files, ini, paths, clock}, [&languages] { return languages.LocaleChoice(); });
    try {
        if (command.kind == Command::Kind::MuteButton) {
            dm.SetMuteButton(command.button - 1);
            return 0;
        }
        const int index = languages.IndexOf(Utf16(command.language));
        if (index < 0 || index > 0xFF) {
            std::string names;
            for (const u16& name : languages.Names()) names += (names.empty() ? "" : ", ") + Utf8(name);
            return Fail("there is no language \"" + command.language + "\": the languages are " + names);
        }
        dm.SetCurrentLanguage(static_cast<std::uint8_t>(index));
        return 0;
    } catch (const std::exception& e) {
        return Fail(std::string(command.kind == Command::Kind::MuteButton ? "the mute button" : "the language") +
                    " was not changed: " + e.what());
    }
}

}  // namespace

bool ParseCommand(int argc, char** argv, int& i, Command& command, std::string& error) {
    const std::string arg = argv[i];
    if (arg != "--toggle-mute" && arg != "--mute-button" && arg != "--language") return false;
    if (command.kind != Command::Kind::None) {
        error = "one of --mute-button, --language and --toggle-mute at a time";
        return true;
    }
    if (arg == "--toggle-mute") {
        command.kind = Command::Kind::ToggleMute;
        return true;
    }
    if (i + 1 >= argc) {
        error = arg + " needs a value (see --help)";
        return true;
    }
    const std::string value = argv[++i];
    if (arg == "--language") {
        command.kind = Command::Kind::Language;
        command.language = value;
        return true;
    }
    command.kind = Command::Kind::MuteButton;
    if (value == "none") {
        command.button = 0;
        return true;
    }
    // 1 to 19 in plain digits, nothing else.
    const bool digits = !value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string::npos;
    const int button = digits ? std::stoi(value) : 0;
    if (button < 1 || button > 19) {
        error = "--mute-button takes a button 1 to 19, or none; not \"" + value + "\"";
        return true;
    }
    command.button = button;
    return true;
}

int RunCommand(const Command& command) {
    linuxos::MainLoop loop;
    std::string error;
    const auto bus = linuxos::SessionBus::Open(loop, error);
    if (bus && bus->NameHasOwner(kServiceName)) {
        sd_bus_set_method_call_timeout(bus->Get(), kCallTimeoutUs);
        return CallMonitor(bus->Get(), command);
    }
    if (command.kind == Command::Kind::ToggleMute) {
        return Fail(bus ? std::string("no monitor is running (nothing owns ") + kServiceName +
                              " on the session bus): nothing was toggled"
                        : "no D-Bus session bus (" + error + "), so no monitor runs: nothing was toggled");
    }
    return EditStore(command);
}

}  // namespace vxm::linuxmon
