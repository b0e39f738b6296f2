#include "platform/win32/os_win32.h"

#include <windows.h>

#include "platform/win32/library_win32.h"

namespace vxm::win32 {

platform::OsVersion OsVersionSource::GetOsVersion() {
    // GetVersionEx lies to programs without a manifest entry; the kernel's own
    // numbers do not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    const auto fn = Library::Loaded(L"ntdll.dll").Bind<RtlGetVersionFn>("RtlGetVersion");
    if (fn && fn(&info) == 0) return {info.dwPlatformId, info.dwMajorVersion};
    return {VER_PLATFORM_WIN32_NT, 6};
}

}  // namespace vxm::win32
