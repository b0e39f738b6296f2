#pragma once
// Files and folders, where the program and the documents are, and the clock.
//
// Paths: the folders this backend hands out are native ("/home/u/Documents",
// the program's folder ending with "/"); the core appends names with "\"
// ("...\ZRNProfile\ZRNProfile1.pfd"), and every path is read with "\" and "/"
// both as separators. Each name matches an existing entry without regard to
// ASCII case when no entry has the exact name, as on Windows. A file is
// written whole or not at all (a temporary file renamed over it), keeping the
// permissions of the one it replaces.
#include <string>
#include <vector>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/system_paths.h"

namespace vxm::linuxos {

class FileSystem final : public platform::IFileSystem {
public:
    bool FileExists(u16view path) override;
    bool DirectoryExists(u16view path) override;
    bool CreateFolder(u16view path) override;
    long ReadFile(u16view path, std::vector<std::uint8_t>& out) override;
    long ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) override;
    long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) override;
};

// The program's folder from /proc/self/exe; the documents folder from
// XDG_DOCUMENTS_DIR in $XDG_CONFIG_HOME/user-dirs.dirs (as xdg-user-dir
// reads it), or $HOME when that names no existing folder.
//
// The program's own files (config.ini, ui.local, the tray icon) are taken
// from the first of these folders that holds the file, so that a user's
// copy wins over the administrator's, and that over the package's default:
//   $XDG_CONFIG_HOME/vxmmon (~/.config/vxmmon)
//   vxmmon in each folder of $XDG_CONFIG_DIRS (/etc/xdg/vxmmon)
//   the program's folder (a build or a folder laid out by hand)
//   the package's data folder, relative to the program's folder
//   ("../share/vxmmon" for /usr/bin/vxmmon, from the build's install
//   folders), so that an installation unpacked anywhere finds its own
// With none holding it, the name in the program's folder.
class SystemPaths final : public platform::ISystemPaths {
public:
    SystemPaths();
    // `packageData`: relative to the program's folder, or absolute.
    explicit SystemPaths(std::string packageData) : packageData_(std::move(packageData)) {}
    u16 ExecutableFolder() override;
    u16 ProgramFile(u16view name) override;
    u16 PersonalDocumentsFolder() override;
    // The folders ProgramFile looks in, in order, each ending with "/".
    std::vector<std::string> ProgramFileFolders();

private:
    std::string packageData_;
};

// XDG_DOCUMENTS_DIR of a user-dirs.dirs text, "$HOME" expanded and trailing
// "/" dropped; empty when the text names none or names it in a form the
// format does not allow (only "$HOME/..." and absolute paths, in quotes).
std::string DocumentsFolderFromUserDirs(std::string_view text, const std::string& home);

class Clock final : public platform::IClock {
public:
    double LocalDateTime() override;
};

// Days since 1899-12-30 plus the fraction of the day, for a local date and
// time read as it stands (no zone shift), to the millisecond.
double DateTimeStamp(int year, int month, int day, int hour, int minute, int second, int millisecond);

}  // namespace vxm::linuxos
