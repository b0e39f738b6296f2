#pragma once
// Fixed UTF-16 character fields of the shared records: arrays of code units
// that hold a NUL-terminated text.
#include <cstddef>
#include <string>

#include "common/errors.h"
#include "common/text.h"

namespace vxm {

// Reads up to the first NUL, or the whole array when it holds none (a record
// written by someone else need not be terminated).
template <std::size_t N>
u16 ReadFixedText(const char16_t (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != u'\0') ++n;
    return u16(field, n);
}

// Writes the text and its terminator. A text of N or more units does not fit
// and is refused before anything is written; units after the terminator keep
// whatever they held.
template <std::size_t N>
void WriteFixedText(char16_t (&field)[N], u16view text) {
    static_assert(N > 0);
    if (text.size() > N - 1) {
        throw TextTooLongError("text of " + std::to_string(text.size()) + " characters does not fit a field of " +
                               std::to_string(N - 1) + ": \"" + Utf8(text) + "\"");
    }
    text.copy(field, text.size());
    field[text.size()] = u'\0';
}

// Cuts the text to the field's capacity instead of refusing it; for callers
// whose contract is "at most N-1 characters".
template <std::size_t N>
void WriteFixedTextCut(char16_t (&field)[N], u16view text) {
    WriteFixedText(field, text.substr(0, N - 1));
}

}  // namespace vxm
