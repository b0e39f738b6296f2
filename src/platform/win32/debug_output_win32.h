#pragma once
// The debugger output through OutputDebugStringA, in UTF-8, so that a
// debugger sees every character whatever the ANSI code page.
#include "platform/debug_output.h"

namespace vxm::win32 {

class DebuggerOutput final : public platform::IDebugOutput {
public:
    void DebugOutput(u16view text) override;
};

}  // namespace vxm::win32
