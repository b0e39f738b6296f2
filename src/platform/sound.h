#pragma once
// Short system sounds that confirm an action; they play without waiting.
namespace vxm::platform {

enum class SoundCue { MicrophoneMuted, MicrophoneLive };

class ISoundCues {
public:
    virtual ~ISoundCues() = default;
    virtual void Play(SoundCue cue) = 0;
};

}  // namespace vxm::platform
