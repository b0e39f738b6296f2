#pragma once
// The sound cues as the user's sound scheme has them.
#include "platform/sound.h"

namespace vxm::win32 {

class SoundCues final : public platform::ISoundCues {
public:
    void Play(platform::SoundCue cue) override;
};

}  // namespace vxm::win32
