#pragma once
// INI reads as GetPrivateProfileStringW does them: the first section of the
// name counts (names match without regard to ASCII case, blanks around them
// trimmed); in it the first line of the key decides: "key=value" gives the
// value with blanks trimmed and one pair of enclosing quotes ('...' or "...")
// dropped, a line of the key without "=" gives the default. Lines starting
// with ";" are comments, and a ";" later in a line is part of the value. The
// default loses its trailing spaces and enclosing quotes too. Values are cut
// to 65535 characters. Files are UTF-8 (a BOM is skipped) or UTF-16 with a
// BOM; they are read in pieces, so a file of any size costs bounded memory.
#include <optional>
#include <vector>

#include "platform/ini.h"

namespace vxm::linuxos {

inline constexpr std::size_t kMaxIniValue = 65535;

class IniReader final : public platform::IIniReader {
public:
    u16 ReadString(u16view file, u16view section, u16view key, u16view defaultValue) override;
};

// The lookup of one key over a file fed piece by piece.
class IniScanner {
public:
    IniScanner(u16view section, u16view key);
    void Feed(const std::uint8_t* data, std::size_t size);
    void Finish();
    // The answer is known: no more of the file can change it.
    bool Done() const { return done_; }
    // The value found; none when the key is missing or has no "=".
    const std::optional<u16>& Value() const { return value_; }
    // The value, or the default as the reader gives it.
    u16 Result(u16view defaultValue) const;

private:
    enum class Encoding { Unknown, Utf8, Utf16Le, Utf16Be };
    void Units(const std::uint8_t* data, std::size_t size);
    void EndLine();
    void Line(u16view line);

    u16 section_;
    u16 key_;
    Encoding encoding_ = Encoding::Unknown;
    std::vector<std::uint8_t> head_;   // bytes before the encoding is known
    std::vector<std::uint8_t> bytes_;  // the current UTF-8 line
    u16 units_;                        // the current UTF-16 line
    int pendingByte_ = -1;             // first byte of a UTF-16 unit
    bool inSection_ = false;
    bool done_ = false;
    std::optional<u16> value_;
};

}  // namespace vxm::linuxos
