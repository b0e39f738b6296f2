#pragma once
// What the Linux backends share: an owned file descriptor, errno as the
// Windows error codes the seams report, the mapping of the core's paths onto
// the file system, and the atomic replacement of a file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/registry.h"

namespace vxm::linuxos {

// Closes its descriptor when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// Windows error codes the backends give besides those the seams name.
inline constexpr long kErrorPathNotFound = 3;
inline constexpr long kErrorInvalidFunction = 1;
inline constexpr long kErrorWriteFault = 29;
inline constexpr long kErrorGenFailure = 31;
inline constexpr long kErrorDiskFull = 112;
inline constexpr long kErrorFilenameTooLong = 206;
inline constexpr long kErrorAlreadyExists = 183;
inline constexpr long kErrorWriteProtect = 19;
inline constexpr long kErrorNotEnoughMemory = 8;
inline constexpr long kErrorFileCorrupt = 1392;

// The Windows error code that stands for an errno value.
long WindowsError(int errnoValue);

// The core composes paths the Windows way ("folder\name"). Both "\" and "/"
// separate here, so a native folder with names appended by the core names
// the same file; a file whose name holds a backslash cannot be reached.
std::string NativePath(u16view path);

// Finds the existing entry each component of `path` names, matching names
// without regard to ASCII case when no entry has the exact name (an exact
// match wins; among case variants the first in byte order). Components from
// the first that matches nothing on are kept as written, so the result also
// names a file or folder about to be created.
std::string ResolveNoCase(const std::string& path);

// Whether two names are equal without regard to ASCII case.
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

// Replaces `name` in the folder `dirFd` by a file of exactly these bytes:
// written to a temporary file beside it, flushed and renamed over it, so the
// old content or the new one is there after a crash, never a mix. The file
// keeps the permissions of the one it replaces; a new one gets `mode` less
// the umask. Returns a Windows error code.
long ReplaceFileAt(int dirFd, const std::string& name, const std::uint8_t* data, std::size_t size, unsigned mode);

// Whole-file read of at most `maxSize` bytes of a regular file (the size
// taken from the open file), without blocking on a FIFO or device. Windows
// error code; kErrorFileTooLarge for a larger file.
long ReadRegularFileAt(int dirFd, const std::string& path, std::size_t maxSize, std::vector<std::uint8_t>& out);

// $HOME, or the password database's home folder; empty when neither is known.
std::string HomeFolder();
// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string ConfigHome();
// The absolute folders of $XDG_CONFIG_DIRS, most important first; /etc/xdg
// when it names none.
std::vector<std::string> ConfigDirs();

}  // namespace vxm::linuxos
