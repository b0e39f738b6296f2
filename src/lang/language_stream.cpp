#include "lang/language_stream.h"

#include <string>

#include "common/bytes.h"

namespace vxm {

std::uint32_t LanguageStreamReader::Count(const char* what) {
    if (size_ - pos_ < 4) throw LanguageDataError(std::string("language data ends before the ") + what);
    const std::uint32_t v = ReadLe32(data_ + pos_);
    pos_ += 4;
    return v;
}

u16 LanguageStreamReader::Text(const char* what) {
    const auto n = static_cast<std::int32_t>(Count(what));
    if (n < 0) throw LanguageDataError(std::string("language data has a negative ") + what);
    if (static_cast<std::uint64_t>(n) * 2 > size_ - pos_) {
        throw LanguageDataError(std::string("language data ends inside the ") + what + " (" + std::to_string(n) +
                                " characters announced)");
    }
    u16 s(static_cast<std::size_t>(n), u'\0');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char16_t>(ReadLe16(data_ + pos_ + 2 * i));
    pos_ += 2 * static_cast<std::size_t>(n);
    return s;
}

void LanguageStreamWriter::Count(std::uint32_t value) { AppendLe32(out_, value); }

void LanguageStreamWriter::Text(u16view text) {
    Count(static_cast<std::uint32_t>(text.size()));
    for (char16_t c : text) AppendLe16(out_, static_cast<std::uint16_t>(c));
}

}  // namespace vxm
