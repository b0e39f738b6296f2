#include "platform/win32/paths_win32.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/com_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {

u16 SystemPaths::ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return u16();
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
    const auto slash = buffer.find_last_of(L"\\/");
    return U(slash == std::wstring::npos ? std::wstring() : buffer.substr(0, slash + 1));
}

u16 SystemPaths::PersonalDocumentsFolder() {
    CoTaskMemPtr<PIDLIST_ABSOLUTE> pidl;
    if (SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, pidl.Put()) != S_OK || !pidl.Get()) return u16();
    wchar_t path[MAX_PATH + 1] = {};
    return SHGetPathFromIDListW(pidl.Get(), path) ? U(path) : u16();
}

}  // namespace vxm::win32
