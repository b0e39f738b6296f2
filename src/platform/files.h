#pragma once
// Files and folders seam. Paths are Windows paths ("C:\folder\name"); the
// platform matches them without regard to case.
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

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
    // Creates or truncates the file and writes all bytes; Windows error code.
    virtual long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace vxm::platform
