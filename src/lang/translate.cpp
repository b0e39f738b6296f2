#include "lang/translate.h"

namespace vxm {
namespace {
TranslateHookFn& Hook() {
    static TranslateHookFn hook;
    return hook;
}
}  // namespace

u16 TranslateText(u16view text) {
    if (const auto& hook = Hook()) return hook(text);
    return u16(text);
}

void SetTranslateHook(TranslateHookFn hook) { Hook() = std::move(hook); }

}  // namespace vxm
