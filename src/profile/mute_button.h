#pragma once
// Which button of a profile toggles the microphone, and the one edit of the
// button layout that the monitor makes itself where no configuration
// application does: moving that function to another button.
#include "profile/records.h"

namespace vxm {

inline constexpr int kNoMuteButton = -1;

// The first button (0 to 18) assigned the microphone mute; kNoMuteButton
// when none is.
int MuteButtonOf(const TMouseProfileInfo& profile);

// Makes `button` (0 to 18, or kNoMuteButton) the profile's only mute
// button: it gets the microphone mute's row of ButtonFunctionTable, and every
// other button that had it gets its factory function back. A button that
// already mutes keeps its entry as it is. RangeError for another `button`.
void AssignMuteButton(TMouseProfileInfo& profile, int button);

}  // namespace vxm
