#include "platform/linux/ini_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/posix.h"

namespace vxm::linuxos {
namespace {

// Room for the longest value and a long key; the rest of a longer line is
// dropped (it could only lengthen a value that is cut anyway).
constexpr std::size_t kMaxLineUnits = kMaxIniValue + 4096;
constexpr std::size_t kMaxLineBytes = kMaxLineUnits * 3;

bool Blank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' || c == 0x1A; }

u16view Trim(u16view s) {
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
    return s;
}

u16view WithoutQuotes(u16view s) {
    if (s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front()) {
        s.remove_prefix(1);
        s.remove_suffix(1);
    }
    return s;
}

u16 Capped(u16view s) { return u16(s.substr(0, kMaxIniValue)); }

}  // namespace

IniScanner::IniScanner(u16view section, u16view key) : section_(Trim(section)), key_(Trim(key)) {
    if (section_.empty() || key_.empty()) done_ = true;
}

void IniScanner::Feed(const std::uint8_t* data, std::size_t size) {
    if (done_ || size == 0) return;
    if (encoding_ == Encoding::Unknown) {
        // The byte-order mark, if any, decides; three bytes tell.
        const std::size_t take = std::min<std::size_t>(3 - head_.size(), size);
        head_.insert(head_.end(), data, data + take);
        data += take;
        size -= take;
        if (head_.size() < 3) return;
        std::vector<std::uint8_t> head;
        head.swap(head_);
        std::size_t skip = 0;
        if (head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
            encoding_ = Encoding::Utf8;
            skip = 3;
        } else if (head[0] == 0xFF && head[1] == 0xFE) {
            encoding_ = Encoding::Utf16Le;
            skip = 2;
        } else if (head[0] == 0xFE && head[1] == 0xFF) {
            encoding_ = Encoding::Utf16Be;
            skip = 2;
        } else {
            encoding_ = Encoding::Utf8;
        }
        Units(head.data() + skip, head.size() - skip);
    }
    Units(data, size);
}

void IniScanner::Units(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size && !done_; ++i) {
        if (encoding_ == Encoding::Utf8) {
            const std::uint8_t b = data[i];
            if (b == '\n' || b == '\r') {
                EndLine();
            } else if (bytes_.size() < kMaxLineBytes) {
                bytes_.push_back(b);
            }
            continue;
        }
        if (pendingByte_ < 0) {
            pendingByte_ = data[i];
            continue;
        }
        const auto first = static_cast<std::uint16_t>(pendingByte_);
        pendingByte_ = -1;
        const auto unit = static_cast<char16_t>(encoding_ == Encoding::Utf16Le ? (first | (data[i] << 8))
                                                                              : ((first << 8) | data[i]));
        if (unit == u'\n' || unit == u'\r') {
            EndLine();
        } else if (units_.size() < kMaxLineUnits) {
            units_.push_back(unit);
        }
    }
}

void IniScanner::EndLine() {
    if (encoding_ == Encoding::Utf8) {
        const u16 line = Utf16(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
        bytes_.clear();
        Line(line);
    } else {
        const u16 line = std::move(units_);
        units_.clear();
        Line(line);
    }
}

void IniScanner::Line(u16view raw) {
    const u16view line = Trim(raw);
    if (line.empty()) return;
    if (line.front() == u'[') {
        const std::size_t close = line.find(u']');
        if (close == u16view::npos) return;  // no header, and no key either
        if (inSection_) {
            // The first section of the name has ended: later ones do not count.
            done_ = true;
            return;
        }
        inSection_ = EqualsNoCase(Trim(line.substr(1, close - 1)), section_);
        return;
    }
    if (!inSection_ || line.front() == u';') return;
    const std::size_t eq = line.find(u'=');
    if (!EqualsNoCase(Trim(line.substr(0, eq == u16view::npos ? line.size() : eq)), key_)) return;
    done_ = true;
    if (eq != u16view::npos) value_ = Capped(WithoutQuotes(Trim(line.substr(eq + 1))));
}

void IniScanner::Finish() {
    if (done_) return;
    if (encoding_ == Encoding::Unknown) {
        // A file of fewer than three bytes.
        std::vector<std::uint8_t> head;
        head.swap(head_);
        encoding_ = Encoding::Utf8;
        Units(head.data(), head.size());
    }
    if (!done_) EndLine();
    done_ = true;
}

u16 IniScanner::Result(u16view defaultValue) const {
    if (value_) return *value_;
    while (!defaultValue.empty() && defaultValue.back() == u' ') defaultValue.remove_suffix(1);
    return Capped(WithoutQuotes(defaultValue));
}

u16 IniReader::ReadString(u16view file, u16view section, u16view key, u16view defaultValue) {
    IniScanner scanner(section, key);
    const std::string path = ResolveNoCase(NativePath(file));
    UniqueFd fd(path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (fd.Valid() && ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode)) {
        std::vector<std::uint8_t> chunk(64 * 1024);
        while (!scanner.Done()) {
            const ssize_t n = ::read(fd.Get(), chunk.data(), chunk.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            scanner.Feed(chunk.data(), static_cast<std::size_t>(n));
        }
    }
    scanner.Finish();
    return scanner.Result(defaultValue);
}

}  // namespace vxm::linuxos
