#pragma once
// Files and folders seam. Paths are Windows paths ("C:\folder\name"); the
// platform matches them without regard to case.
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

inline constexpr long kErrorFileTooLarge = 223;  // ERROR_FILE_TOO_LARGE

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    virtual bool FileExists(u16view path) = 0;
    virtual bool DirectoryExists(u16view path) = 0;
    // One level only: the parent must exist. False when it cannot be created
    // (an existing folder is also a failure, as with CreateDirectoryW).
    virtual bool CreateFolder(u16view path) = 0;
    // Whole-file read; returns a Windows error code (0 = success).
    virtual long ReadFile(u16view path, std::vector<std::uint8_t>& out) = 0;
    // The same for a file of at most maxSize bytes: a larger one is not read
    // and gives kErrorFileTooLarge. The size is taken from the open file, so
    // a file swapped after a check cannot slip past the limit.
    virtual long ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) = 0;
    // Creates or replaces the file with all bytes; Windows error code. A write
    // that fails part way leaves an existing file as it was, where the
    // platform can replace files whole.
    virtual long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace vxm::platform
