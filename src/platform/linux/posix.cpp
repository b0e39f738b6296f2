#include "platform/linux/posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace vxm::linuxos {

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

long WindowsError(int e) {
    switch (e) {
        case 0: return platform::kErrorSuccess;
        case ENOENT: return platform::kErrorFileNotFound;
        case ENOTDIR: return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR: return platform::kErrorAccessDenied;
        case EEXIST:
        case ENOTEMPTY: return kErrorAlreadyExists;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        case ENAMETOOLONG: return kErrorFilenameTooLong;
        case EROFS: return kErrorWriteProtect;
        case ENOMEM: return kErrorNotEnoughMemory;
        case EBADF: return platform::kErrorInvalidHandle;
        case EINVAL: return platform::kErrorInvalidParameter;
        case EFBIG: return platform::kErrorFileTooLarge;
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN: return platform::kErrorDeviceNotConnected;
        case EIO: return 1117;      // ERROR_IO_DEVICE
        case EMFILE:
        case ENFILE: return 4;      // ERROR_TOO_MANY_OPEN_FILES
        case EBUSY: return 170;     // ERROR_BUSY
        case ELOOP: return 1921;    // ERROR_CANT_RESOLVE_FILENAME
        case ETIMEDOUT: return 1460;  // ERROR_TIMEOUT
        case EPIPE: return 109;     // ERROR_BROKEN_PIPE
        default: return kErrorGenFailure;
    }
}

std::string NativePath(u16view path) {
    std::string out = Utf8(path);
    for (char& c : out) {
        if (c == '\\') c = '/';
    }
    return out;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

namespace {

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    if (folder.back() == '/') return folder + std::string(name);
    return folder + "/" + std::string(name);
}

// The entry of `folder` whose name equals `name` without regard to case;
// empty when there is none.
std::string FindNoCase(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::string();
    std::string best;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view n(entry->d_name);
        if (n == "." || n == "..") continue;
        if (EqualsNoCaseAscii(n, name) && (best.empty() || n < best)) best = std::string(n);
    }
    ::closedir(dir);
    return best;
}

}  // namespace

std::string ResolveNoCase(const std::string& path) {
    if (path.empty()) return path;
    std::string current = path[0] == '/' ? "/" : "";
    bool resolving = true;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        const std::string_view component(path.data() + pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;
        std::string candidate = Join(current, component);
        if (resolving && component != "." && component != "..") {
            struct stat st {};
            if (::lstat(candidate.c_str(), &st) != 0) {
                const std::string found = errno == ENOENT ? FindNoCase(current, component) : std::string();
                if (found.empty()) {
                    resolving = false;
                } else {
                    candidate = Join(current, found);
                }
            }
        }
        current = std::move(candidate);
    }
    if (path.back() == '/' && (current.empty() || current.back() != '/')) current.push_back('/');
    return current;
}

long ReplaceFileAt(int dirFd, const std::string& name, const std::uint8_t* data, std::size_t size, unsigned mode) {
    // The temporary name holds no "." and a "%" followed by no hex digits:
    // nothing the registry store writes or reads can be named so.
    static std::atomic<unsigned long> counter{0};
    std::string tmp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 16 && !fd.Valid(); ++attempt) {
        tmp = "%tmp%" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
        fd.Reset(::openat(dirFd, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          static_cast<mode_t>(mode)));
        if (!fd.Valid() && errno != EEXIST) return WindowsError(errno);
    }
    if (!fd.Valid()) return kErrorAlreadyExists;
    auto fail = [&](int e) {
        fd.Reset();
        ::unlinkat(dirFd, tmp.c_str(), 0);
        return WindowsError(e);
    };
    struct stat old {};
    if (::fstatat(dirFd, name.c_str(), &old, 0) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd.Get(), old.st_mode & 07777);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd.Get(), data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.Get()) != 0) return fail(errno);
    if (::close(fd.Release()) != 0) return fail(errno);
    if (::renameat(dirFd, tmp.c_str(), dirFd, name.c_str()) != 0) return fail(errno);
    ::fsync(dirFd);  // the rename itself reaches the disk
    return platform::kErrorSuccess;
}

long ReadRegularFileAt(int dirFd, const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& out) {
    // Non-blocking, so a FIFO put where a file was expected cannot hold us.
    UniqueFd fd(::openat(dirFd, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.Valid()) return WindowsError(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return WindowsError(errno);
    if (!S_ISREG(st.st_mode)) return platform::kErrorAccessDenied;
    if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxSize) return platform::kErrorFileTooLarge;
    out.assign(static_cast<std::size_t>(st.st_size), 0);
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd.Get(), out.data() + done, out.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int e = errno;
            out.clear();
            return WindowsError(e);
        }
        if (n == 0) break;  // the file shrank while we read it
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return platform::kErrorSuccess;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir) {
        return result->pw_dir;
    }
    return std::string();
}

std::string ConfigHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

std::vector<std::string> ConfigDirs() {
    std::vector<std::string> dirs;
    const char* list = std::getenv("XDG_CONFIG_DIRS");
    std::string_view rest = list ? list : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        // Relative entries are invalid and ignored.
        if (!entry.empty() && entry.front() == '/') dirs.emplace_back(entry);
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
    if (dirs.empty()) dirs.emplace_back("/etc/xdg");
    return dirs;
}

}  // namespace vxm::linuxos
