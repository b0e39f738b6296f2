#include "platform/win32/debug_output_win32.h"

#include <windows.h>

namespace vxm::win32 {

void DebuggerOutput::DebugOutput(u16view text) { OutputDebugStringA((Utf8(text) + "\n").c_str()); }

}  // namespace vxm::win32
