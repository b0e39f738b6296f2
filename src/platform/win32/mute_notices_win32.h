#pragma once
// Where the user sees the microphone besides the tray, on Windows. A press
// that changed nothing is told by the tray's hint line and the error cue
// (and the debugger output); the on-screen mark over full-screen programs
// is not drawn yet, so MuteOverlay shows nothing here.
#include "platform/mute_notices.h"

namespace vxm::win32 {

class MuteNotices final : public platform::IMuteNotices {
public:
    void ShowState(bool, u16view, unsigned) override {}
    void HideState() override {}
    void TellFailure(u16view, u16view) override {}
};

}  // namespace vxm::win32
