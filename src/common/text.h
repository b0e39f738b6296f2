#pragma once
// UTF-16 strings and the conversions that diagnostics and messages need.
#include <cstddef>
#include <string>
#include <string_view>

namespace vxm {

using u16 = std::u16string;
using u16view = std::u16string_view;

// UTF-8 (as in source literals and exception messages) to UTF-16.
u16 Utf16(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8(u16view utf16);

// Decimal text of a number, for composed names such as "ZRNProfile1.pfd".
u16 ToU16(long long value);

// ASCII-only case folding: the platform's registry, INI and path matching
// ignore case, and every name we compare is ASCII.
char16_t AsciiLower(char16_t c);
bool EqualsNoCase(u16view a, u16view b);

// The first `maxUnits` code units of `text`, one fewer when the cut would
// split a surrogate pair.
u16view CutUtf16(u16view text, std::size_t maxUnits);

// Ensures a folder path ends with exactly the one backslash it may lack.
u16 WithTrailingBackslash(u16 path);

// Splits "C:\a\b.pfd" into "C:\a\" and "b.pfd" (folder keeps its separator).
void SplitPath(u16view full, u16& folder, u16& name);

}  // namespace vxm
