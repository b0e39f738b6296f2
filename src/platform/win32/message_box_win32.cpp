#include "platform/win32/message_box_win32.h"

#include "platform/win32/wide.h"

namespace vxm::win32 {

void MessageBoxes::ShowMessage(u16view text) { MessageBoxW(owner_, W(text).c_str(), W(caption_).c_str(), MB_OK); }

void MessageBoxes::ShowError(u16view text, u16view caption) {
    debug_.DebugOutput(u"message box: " + u16(caption) + u": " + u16(text));
    MessageBoxW(nullptr, W(text).c_str(), W(caption).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace vxm::win32
