#pragma once
// The real Windows implementations of the seams.
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/system_paths.h"

namespace vxm::win32 {

class Registry final : public platform::IRegistry {
public:
    std::unique_ptr<platform::IRegistryKey> OpenKey(platform::RegRoot root, u16view path, bool create,
                                                    long& error) override;
};

class FileSystem final : public platform::IFileSystem {
public:
    bool FileExists(u16view path) override;
    bool DirectoryExists(u16view path) override;
    bool CreateFolder(u16view path) override;
    long ReadFile(u16view path, std::vector<std::uint8_t>& out) override;
    long ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) override;
    long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) override;
};

class IniReader final : public platform::IIniReader {
public:
    u16 ReadString(u16view file, u16view section, u16view key, u16view defaultValue) override;
};

class SystemPaths final : public platform::ISystemPaths {
public:
    u16 ExecutableFolder() override;
    u16 PersonalDocumentsFolder() override;
};

}  // namespace vxm::win32

#include "platform/clock.h"

namespace vxm::win32 {

class Clock final : public platform::IClock {
public:
    double LocalDateTime() override;
};

}  // namespace vxm::win32
