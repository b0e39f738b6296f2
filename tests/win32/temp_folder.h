#pragma once
// A scratch folder for the tests of the Win32 backends.
#include <windows.h>

#include "common/text.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {

// A folder of this test program's own in the temporary folder.
inline u16 TempFolder() {
    wchar_t buf[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, buf);
    u16 base = U(buf) + u"vxm_platform_test_" + ToU16(GetCurrentProcessId());
    CreateDirectoryW(W(base).c_str(), nullptr);
    return base + u"\\";
}

}  // namespace vxm::win32
