#include "platform/win32/library_win32.h"

namespace vxm::win32 {

Library Library::FromSystemFolder(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return Library();
    std::wstring path(folder, n);
    path += L"\\";
    path += name;
    return FromPath(path);
}

Library Library::FromPath(const std::wstring& fullPath) {
    return Library(LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), true);
}

Library Library::Loaded(const wchar_t* name) { return Library(GetModuleHandleW(name), false); }

void Library::Reset() {
    if (module_ && owned_) FreeLibrary(module_);
    module_ = nullptr;
    owned_ = false;
}

}  // namespace vxm::win32
