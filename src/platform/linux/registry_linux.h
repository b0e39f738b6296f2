#pragma once
// The registry seam on files, under $XDG_CONFIG_HOME/vxmmon/registry:
//
//   HKEY_CURRENT_USER/software/software/zrngmmouse/    one folder per key
//       Game1.REG_BINARY                              one file per value
//       ProfileID.REG_DWORD
//
// A value's file holds exactly its bytes (a record's file is its byte image,
// the same bytes as a .pfd file); its name is the value's name and, after the
// last ".", the type ("REG_SZ", "REG_BINARY", "REG_DWORD" ... or "REG_<n>"
// for other type numbers). In names, "/", "%" and control characters are
// written as %XX, and in key names "." too, so a key's folder never looks
// like a value's file. Names are kept in UTF-8 (a lone surrogate becomes
// U+FFFD). Key and value names match without regard to ASCII case, as on
// Windows; a name keeps the spelling it was created with.
//
// A value is replaced atomically (a temporary file renamed over it): after a
// crash it holds the old bytes or the new, never a part. When a value's type
// changes, the file of the old type goes after the new one is in place; should
// both be left, the newer one counts. A value whose file name carries no valid
// type (and no valid file beside it), that is not a regular file, or that is
// larger than 16 MiB reads as an error. Both roots are kept in the user's
// folder; nothing else is accepted.
#include <string>

#include "platform/registry.h"

namespace vxm::linuxos {

inline constexpr std::size_t kMaxRegistryValueSize = 16u << 20;

class Registry final : public platform::IRegistry {
public:
    // The store's folder; created on the first key opened for writing.
    explicit Registry(std::string folder = DefaultFolder());
    static std::string DefaultFolder();

    std::unique_ptr<platform::IRegistryKey> OpenKey(platform::RegRoot root, u16view path, bool create,
                                                    long& error) override;

private:
    std::string folder_;
};

// The file name part that stands for a key or value name (see above).
std::string EscapeRegistryName(u16view name, bool keyName);
// "REG_BINARY" for 3 and so on; "REG_<n>" for numbers without a name.
std::string RegistryTypeSuffix(std::uint32_t type);
// The type a file name's suffix gives; false when it names none.
bool ParseRegistryTypeSuffix(std::string_view suffix, std::uint32_t& type);

}  // namespace vxm::linuxos
