#pragma once
// UTF-16 core strings to and from the Windows wide-character API.
#include <string>

#include "common/text.h"

namespace vxm::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is UTF-16");

inline std::wstring W(u16view s) { return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size()); }
inline u16 U(const wchar_t* s) { return s ? u16(reinterpret_cast<const char16_t*>(s)) : u16(); }
inline u16 U(const std::wstring& s) { return u16(reinterpret_cast<const char16_t*>(s.data()), s.size()); }

}  // namespace vxm::win32
