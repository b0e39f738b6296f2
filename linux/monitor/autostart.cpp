#include "monitor/autostart.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/linux/posix.h"

namespace vxm::linuxmon {
namespace {

// An entry is a few hundred bytes; a bigger file is not one to edit.
constexpr std::size_t kMaxEntrySize = 1 << 20;

// The first line of the copy `--autostart off` makes: such a copy says
// nothing else and goes again with `--autostart on`.
constexpr std::string_view kOffMarker = "# Written by \"vxmmon --autostart off\"";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

// A line's key and value ("Key = value": blanks around "=" do not count).
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || line.empty() || line.front() == '#' || line.front() == '[') return false;
    key = Trim(line.substr(0, eq));
    value = Trim(line.substr(eq + 1));
    return true;
}

bool TurnsOff(std::string_view key, std::string_view value) {
    return (key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false");
}

// The text of a regular file of at most kMaxEntrySize bytes; false when it
// is missing (`missing` set), unreadable or too large.
bool ReadEntry(const std::string& path, std::string& text, bool& missing, std::string& error) {
    missing = false;
    std::vector<std::uint8_t> bytes;
    const long rc = linuxos::ReadRegularFileAt(AT_FDCWD, path, kMaxEntrySize, bytes);
    if (rc == platform::kErrorSuccess) {
        text.assign(bytes.begin(), bytes.end());
        return true;
    }
    missing = rc == platform::kErrorFileNotFound || rc == linuxos::kErrorPathNotFound;
    error = path + ": " + (rc == platform::kErrorFileTooLarge ? std::string("too large for an autostart entry")
                                                              : std::string("cannot be read"));
    return false;
}

bool WriteEntry(const std::string& folder, const std::string& text, std::string& error) {
    const std::string home = linuxos::ConfigHome();
    if (::mkdir(home.c_str(), 0700) != 0 && errno != EEXIST) {
        error = home + ": " + std::strerror(errno);
        return false;
    }
    if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    const linuxos::UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid() || linuxos::ReplaceFileAt(dir.Get(), kAutostartEntryName,
                                               reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                               0644) != platform::kErrorSuccess) {
        error = folder + "/" + kAutostartEntryName + ": cannot be written";
        return false;
    }
    return true;
}

// The entry's lines with the keys that turn the start off dropped from its
// [Desktop Entry] group, and "Hidden=true" put first in that group when
// `hide` (a group of that name added when there is none).
std::string Rewrite(std::string_view text, bool hide) {
    std::string out;
    bool inEntry = false;
    bool placed = !hide;
    for (const std::string_view line : Lines(text)) {
        const std::string_view trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.front() == '[') inEntry = trimmed == "[Desktop Entry]";
        std::string_view key;
        std::string_view value;
        if (inEntry && KeyValue(trimmed, key, value) && (key == "Hidden" || key == "X-GNOME-Autostart-enabled")) {
            continue;
        }
        out.append(line).push_back('\n');
        if (inEntry && !placed && trimmed == "[Desktop Entry]") {
            out += "Hidden=true\n";
            placed = true;
        }
    }
    if (!placed) out += "[Desktop Entry]\nHidden=true\n";
    return out;
}

}  // namespace

bool AutostartEntryHidden(std::string_view text) {
    bool inEntry = false;
    for (const std::string_view line : Lines(text)) {
        const std::string_view trimmed = Trim(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            inEntry = trimmed == "[Desktop Entry]";
            continue;
        }
        std::string_view key;
        std::string_view value;
        if (inEntry && KeyValue(trimmed, key, value) && TurnsOff(key, value)) return true;
    }
    return false;
}

AutostartState ReadAutostart() {
    std::vector<std::string> folders;
    if (const std::string home = linuxos::ConfigHome(); !home.empty()) folders.push_back(home + "/autostart");
    for (const std::string& dir : linuxos::ConfigDirs()) folders.push_back(dir + "/autostart");
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + kAutostartEntryName;
        std::string text;
        bool missing = false;
        std::string error;
        if (ReadEntry(path, text, missing, error)) return AutostartState{!AutostartEntryHidden(text), path};
        // One that is there but cannot be read hides the others all the same.
        if (!missing) return AutostartState{false, path};
    }
    return AutostartState{};
}

bool SetAutostart(bool enabled, std::string& error) {
    const std::string home = linuxos::ConfigHome();
    if (home.empty()) {
        error = "neither XDG_CONFIG_HOME nor HOME tells where the user's settings go";
        return false;
    }
    const std::string folder = home + "/autostart";
    const std::string path = folder + "/" + kAutostartEntryName;
    std::string text;
    bool missing = false;
    const bool exists = ReadEntry(path, text, missing, error);
    if (!exists && !missing) return false;
    if (!enabled) {
        if (!exists) {
            text = std::string(kOffMarker) +
                   ": the gaming mouse monitor does not start with the session.\n"
                   "# Remove this file, or run \"vxmmon --autostart on\", to start it again.\n"
                   "[Desktop Entry]\nType=Application\nName=Gaming Mouse Monitor\nExec=vxmmon\n";
        }
        error.clear();
        return WriteEntry(folder, Rewrite(text, true), error);
    }
    if (exists) {
        if (std::string_view(text).substr(0, kOffMarker.size()) == kOffMarker) {
            if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
                error = path + ": " + std::strerror(errno);
                return false;
            }
        } else if (AutostartEntryHidden(text) && !WriteEntry(folder, Rewrite(text, false), error)) {
            return false;
        }
    }
    const AutostartState now = ReadAutostart();
    if (!now.enabled) {
        error = now.entry.empty() ? "there is no autostart entry \"" + std::string(kAutostartEntryName) +
                                        "\" (is the package installed?)"
                                  : now.entry + " turns the start off";
        return false;
    }
    error.clear();
    return true;
}

}  // namespace vxm::linuxmon
