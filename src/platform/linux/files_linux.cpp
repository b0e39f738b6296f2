#include "platform/linux/files_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/linux/posix.h"

namespace vxm::linuxos {
namespace {

constexpr long kErrorInvalidName = 123;

std::string Resolved(u16view path) { return ResolveNoCase(NativePath(path)); }

bool StatOf(u16view path, struct stat& st) {
    const std::string native = Resolved(path);
    return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The plain overwrite, for a file we may write but whose folder we may not.
long OverwriteInPlace(const std::string& path, const std::uint8_t* data, std::size_t size) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) return WindowsError(errno);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd.Get(), data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return WindowsError(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.Get()) != 0 && errno != EINVAL) return WindowsError(errno);
    return ::close(fd.Release()) == 0 ? platform::kErrorSuccess : WindowsError(errno);
}

}  // namespace

bool FileSystem::FileExists(u16view path) {
    struct stat st {};
    return StatOf(path, st) && !S_ISDIR(st.st_mode);
}

bool FileSystem::DirectoryExists(u16view path) {
    struct stat st {};
    return StatOf(path, st) && S_ISDIR(st.st_mode);
}

bool FileSystem::CreateFolder(u16view path) {
    const std::string native = WithoutTrailingSlashes(Resolved(path));
    return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

long FileSystem::ReadFile(u16view path, std::vector<std::uint8_t>& out) {
    // No record comes near this; refuse rather than allocate.
    return ReadFileAtMost(path, 0x7FFFFFFF, out);
}

long FileSystem::ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) {
    const std::string native = Resolved(path);
    if (native.empty()) return platform::kErrorFileNotFound;
    return ReadRegularFileAt(AT_FDCWD, native, maxSize, out);
}

long FileSystem::WriteFile(u16view path, const std::uint8_t* data, std::size_t size) {
    std::string native = Resolved(path);
    if (native.empty() || native.back() == '/') return kErrorInvalidName;
    if (size > 0 && !data) return platform::kErrorInvalidParameter;
    // A link is followed: the file it points to is replaced, not the link.
    struct stat st {};
    if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(native.c_str(), nullptr)) {
            native = real;
            std::free(real);
        }
    }
    const std::size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
    const std::string name = slash == std::string::npos ? native : native.substr(slash + 1);
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid()) return errno == ENOENT ? kErrorPathNotFound : WindowsError(errno);
    const long rc = ReplaceFileAt(dir.Get(), name, data, size, 0666);
    if (rc == platform::kErrorAccessDenied && ::access(native.c_str(), W_OK) == 0) {
        return OverwriteInPlace(native, data, size);
    }
    return rc;
}

u16 SystemPaths::ExecutableFolder() {
    std::string target(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size());
        if (n < 0) return u16();
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            break;
        }
        target.assign(target.size() * 2, '\0');
    }
    // The link of a replaced executable still names its folder.
    constexpr std::string_view kDeleted = " (deleted)";
    if (target.size() > kDeleted.size() && target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        target.resize(target.size() - kDeleted.size());
    }
    const std::size_t slash = target.rfind('/');
    return slash == std::string::npos ? u16() : Utf16(target.substr(0, slash + 1));
}

SystemPaths::SystemPaths() : packageData_(VXM_PACKAGE_DATA_FROM_PROGRAM) {}

std::vector<std::string> SystemPaths::ProgramFileFolders() {
    std::vector<std::string> folders;
    if (const std::string home = ConfigHome(); !home.empty()) folders.push_back(home + "/vxmmon/");
    for (const std::string& dir : ConfigDirs()) folders.push_back(dir + "/vxmmon/");
    const std::string program = NativePath(ExecutableFolder());
    if (program.empty()) return folders;
    folders.push_back(program);
    if (!packageData_.empty()) {
        const std::string joined = packageData_.front() == '/' ? packageData_ : program + packageData_;
        std::string data = std::filesystem::path(joined).lexically_normal().string();
        if (data.back() != '/') data.push_back('/');
        folders.push_back(std::move(data));
    }
    return folders;
}

u16 SystemPaths::ProgramFile(u16view name) {
    std::string relative = NativePath(name);
    while (!relative.empty() && relative.front() == '/') relative.erase(0, 1);
    for (const std::string& folder : ProgramFileFolders()) {
        const std::string path = ResolveNoCase(folder + relative);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return Utf16(path);
    }
    return ExecutableFolder() + Utf16(relative);
}

std::string DocumentsFolderFromUserDirs(std::string_view text, const std::string& home) {
    std::string found;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        constexpr std::string_view kName = "XDG_DOCUMENTS_DIR";
        if (line.substr(0, kName.size()) != kName) continue;
        line.remove_prefix(kName.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() != '=') continue;
        line.remove_prefix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() != '"') continue;
        line.remove_prefix(1);
        // The value, with the shell's backslash escapes, up to its closing quote.
        std::string value;
        bool closed = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value.push_back(line[++i]);
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value.push_back(line[i]);
            }
        }
        if (!closed) continue;
        std::string path;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            if (home.empty()) continue;
            path = home + value.substr(5);
        } else if (!value.empty() && value[0] == '/') {
            path = value;
        } else {
            continue;
        }
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        found = path;  // the last definition counts, as in a shell
    }
    return found;
}

u16 SystemPaths::PersonalDocumentsFolder() {
    const std::string home = HomeFolder();
    const std::string config = ConfigHome();
    if (!config.empty()) {
        std::vector<std::uint8_t> text;
        if (ReadRegularFileAt(AT_FDCWD, config + "/user-dirs.dirs", 1u << 20, text) == platform::kErrorSuccess) {
            const std::string documents = DocumentsFolderFromUserDirs(
                std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), home);
            struct stat st {};
            if (!documents.empty() && ::stat(documents.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                return Utf16(documents);
            }
        }
    }
    return Utf16(WithoutTrailingSlashes(home));
}

double DateTimeStamp(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    auto daysFromCivil = [](long long y, long long m, long long d) {
        y -= m <= 2;
        const long long era = (y >= 0 ? y : y - 399) / 400;
        const long long yoe = y - era * 400;
        const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    };
    const long long days = daysFromCivil(year, month, day) - daysFromCivil(1899, 12, 30);
    const long long ms = ((static_cast<long long>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<double>(days) + static_cast<double>(ms) / 86400000.0;
}

double Clock::LocalDateTime() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    tm local {};
    if (!::localtime_r(&now.tv_sec, &local)) return 0;
    // A leap second reads as the last second of its minute, as Windows shows it.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return DateTimeStamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second,
                         static_cast<int>(now.tv_nsec / 1000000));
}

}  // namespace vxm::linuxos
