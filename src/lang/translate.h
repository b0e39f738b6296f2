#pragma once
// The process-wide translate function through which every visible text passes.
#include <functional>

#include "common/text.h"

namespace vxm {

using TranslateHookFn = std::function<u16(u16view)>;

// Text in, text out. Returns the text unchanged while no language is active.
u16 TranslateText(u16view text);

// Optional replacement of the lookup; empty removes it.
void SetTranslateHook(TranslateHookFn hook);

}  // namespace vxm
