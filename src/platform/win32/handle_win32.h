#pragma once
// Owner of a kernel handle (file, event, mutex, process, timer).
#include <windows.h>

#include "platform/owned.h"

namespace vxm::win32 {

using platform::Owned;

struct KernelHandle {
    // INVALID_HANDLE_VALUE and null alike are no handle.
    static HANDLE Adopt(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
    static bool Free(HANDLE h) { return CloseHandle(h) != FALSE; }
};
using UniqueHandle = Owned<HANDLE, KernelHandle>;

}  // namespace vxm::win32
