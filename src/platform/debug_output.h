#pragma once
// The debugger output: the program's only diagnostics. One call is one line;
// it may come from any thread.
#include "common/text.h"

namespace vxm::platform {

class IDebugOutput {
public:
    virtual ~IDebugOutput() = default;
    virtual void DebugOutput(u16view text) = 0;
};

}  // namespace vxm::platform
