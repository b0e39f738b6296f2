#pragma once
// The microphone mute toggle: Core Audio on NT 6 and later, the legacy mixer
// before, chosen by the OS version each time.
#include <atomic>
#include <memory>

#include "platform/audio.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/os.h"

namespace vxm::app {

// Mixer line types: the component type of the line each selects.
inline constexpr std::uint32_t kMixerLineComponentTypes[4] = {4, 0x1003, 0x1008, 0x1004};
inline constexpr std::uint8_t kLineMicrophone = 1;

class MicrophoneMuteControl {
public:
    struct Deps {
        platform::ICoreAudio& coreAudio;
        platform::IMixer& mixer;
        platform::IMessageBox& messageBox;
        platform::IDebugOutput& debug;
        platform::IOsVersion& os;  // asked at every toggle
    };
    explicit MicrophoneMuteControl(Deps deps) : deps_(deps) {}

    void MicrophoneMute();
    void CreateAudioEndpoint();
    bool GetLineMute(std::uint8_t lineType);
    void SetLineMute(std::uint8_t lineType, std::uint8_t mute);
    bool VolumeUpdating() const { return FVolumeUpdating.load(); }
    bool Bound() const { return FEndpoint != nullptr; }

private:
    // Opens device 0 and finds the line's mute control; shows the message of
    // a missing control. False when the caller must stop.
    bool FindMuteControl(std::uint8_t lineType, std::uint32_t& controlId);

    Deps deps_;
    std::unique_ptr<platform::IAudioEndpoint> FEndpoint;
    std::atomic<bool> FVolumeUpdating{false};
};

}  // namespace vxm::app
