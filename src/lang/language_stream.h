#pragma once
// The language data stream of the language component (ResourcesBin,
// "ui.local"): the source text, the number of languages, then each
// language's name and table text. A text is its length in UTF-16 code units
// (32 bits) followed by its units, all little-endian.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "common/text.h"

namespace vxm {

// A language stream that is malformed: a negative or oversized length, a
// count the stream cannot hold, or an early end.
class LanguageDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads without ever reading past the end or allocating more than the
// stream holds; each failure is a LanguageDataError naming `what`.
class LanguageStreamReader {
public:
    LanguageStreamReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t Count(const char* what);
    u16 Text(const char* what);
    std::size_t Remaining() const { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class LanguageStreamWriter {
public:
    void Count(std::uint32_t value);
    void Text(u16view text);
    const std::vector<std::uint8_t>& Bytes() const { return out_; }
    std::vector<std::uint8_t> Take() { return std::move(out_); }

private:
    std::vector<std::uint8_t> out_;
};

}  // namespace vxm
