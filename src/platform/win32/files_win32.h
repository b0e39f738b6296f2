#pragma once
// Files and folders through the Win32 file functions.
#include "platform/files.h"

namespace vxm::win32 {

class FileSystem final : public platform::IFileSystem {
public:
    bool FileExists(u16view path) override;
    bool DirectoryExists(u16view path) override;
    bool CreateFolder(u16view path) override;
    long ReadFile(u16view path, std::vector<std::uint8_t>& out) override;
    long ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) override;
    long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) override;
};

}  // namespace vxm::win32
