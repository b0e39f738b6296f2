#pragma once
// Registry seam: keys under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE and their
// typed values. Failures are Windows error codes (0 = success).
#include <cstdint>
#include <memory>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

enum class RegRoot : std::uint32_t {
    None = 0,
    CurrentUser = 0x80000001u,   // HKEY_CURRENT_USER
    LocalMachine = 0x80000002u,  // HKEY_LOCAL_MACHINE
};

// Value types with the registry's own numbers.
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidParameter = 87;

struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// An open key; destroying it closes it.
class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;
    virtual bool ValueExists(u16view name) = 0;
    virtual long QueryValue(u16view name, RegValue& out) = 0;
    virtual long SetValue(u16view name, std::uint32_t type, const std::uint8_t* data, std::size_t size) = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Opens `path` under `root`, creating the missing levels when `create` is
    // set. Returns null and sets `error` when the key cannot be opened.
    virtual std::unique_ptr<IRegistryKey> OpenKey(RegRoot root, u16view path, bool create, long& error) = 0;
};

}  // namespace vxm::platform
