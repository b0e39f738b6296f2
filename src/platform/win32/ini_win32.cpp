#include "platform/win32/ini_win32.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace vxm::win32 {

u16 IniReader::ReadString(u16view file, u16view section, u16view key, u16view defaultValue) {
    const std::wstring f = W(file), s = W(section), k = W(key), d = W(defaultValue);
    std::wstring buffer(256, L'\0');
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), f.c_str());
        // A full buffer (size - 1) means the value may have been cut.
        if (n + 1 < buffer.size() || buffer.size() >= 65536) {
            buffer.resize(n);
            return U(buffer);
        }
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

}  // namespace vxm::win32
