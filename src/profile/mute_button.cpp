#include "profile/mute_button.h"

#include <string>

#include "common/errors.h"
#include "profile/defaults.h"
#include "profile/tables.h"

namespace vxm {

namespace {

// The kind the factory test profile gives its functions of the mute's type;
// the mute itself needs no parameter in the entry's body.
constexpr Byte kMuteFunctionKind = 11;

}  // namespace

int MuteButtonOf(const TMouseProfileInfo& profile) {
    for (int i = 0; i < kButtonCount; ++i) {
        if (profile.ConfigInfo.ButtonFuncInfo[i].FunctionIndex == kMicrophoneMuteFunction) return i;
    }
    return kNoMuteButton;
}

void AssignMuteButton(TMouseProfileInfo& profile, int button) {
    if (button != kNoMuteButton && (button < 0 || button >= kButtonCount)) {
        throw RangeError("button " + std::to_string(button) + " is out of range 0 to 18");
    }
    for (int i = 0; i < kButtonCount; ++i) {
        TBUTTONFUNCINFO& b = profile.ConfigInfo.ButtonFuncInfo[i];
        const bool mutes = b.FunctionIndex == kMicrophoneMuteFunction;
        if (i == button && !mutes) {
            const TButtonFunctionRow& row = ButtonFunctionTable[kMicrophoneMuteFunction];
            b.ButtonIndex = static_cast<Word>(i);
            b.FunctionIndex = static_cast<Word>(row.FunctionIndex);
            b.FunctionType = row.FunctionType;
            b.FunctionCode = row.FunctionCode;
            b.FunctionKind = kMuteFunctionKind;
        } else if (i != button && mutes) {
            RestoreFactoryButtonFunction(b, i);
        }
    }
}

}  // namespace vxm
