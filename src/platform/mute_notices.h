#pragma once
// Where the user sees the microphone besides the tray: its state over a
// full-screen program (MuteOverlay: an on-screen mark on Windows, a desktop
// notification on Linux), and a press that changed nothing. Main thread;
// nothing here waits on another program.
#include "common/text.h"

namespace vxm::platform {

class IMuteNotices {
public:
    virtual ~IMuteNotices() = default;
    // Shows the state with its translated text, replacing whatever this
    // shows; for `forMs` milliseconds (0: until HideState). HideState still
    // comes at the end.
    virtual void ShowState(bool muted, u16view text, unsigned forMs) = 0;
    virtual void HideState() = 0;
    // A press that changed nothing: `text` (translated) for the user,
    // `detail` (English) for the program's diagnostics.
    virtual void TellFailure(u16view text, u16view detail) = 0;
};

}  // namespace vxm::platform
