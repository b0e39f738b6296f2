#pragma once
// Short system sounds that confirm an action; they play without waiting.
namespace vxm::platform {

// Error: a press of the mute button that changed nothing.
enum class SoundCue { MicrophoneMuted, MicrophoneLive, Error };

class ISoundCues {
public:
    virtual ~ISoundCues() = default;
    virtual void Play(SoundCue cue) = 0;
};

}  // namespace vxm::platform
