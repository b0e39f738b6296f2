#pragma once
// The microphone mute toggle: Core Audio on NT 6 and later, the legacy mixer
// before, chosen by the OS version each time.
#include <atomic>
#include <functional>
#include <memory>

#include "platform/audio.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/os.h"

namespace vxm::app {

// Mixer line types: the component type of the line each selects.
inline constexpr std::uint32_t kMixerLineComponentTypes[4] = {4, 0x1003, 0x1008, 0x1004};
inline constexpr std::uint8_t kLineMicrophone = 1;

// The microphone's mute state as read from the system; Unknown when it
// cannot be read.
enum class MicrophoneState { Unknown, Live, Muted };

class MicrophoneMuteControl {
public:
    struct Deps {
        platform::ICoreAudio& coreAudio;
        platform::IMixer& mixer;
        platform::IMessageBox& messageBox;
        platform::IDebugOutput& debug;
        platform::IOsVersion& os;  // asked at every toggle
    };
    // `onNotified` (may be empty) runs on the audio system's thread once per
    // notification of the bound endpoint, while VolumeUpdating is true.
    explicit MicrophoneMuteControl(Deps deps, std::function<void()> onNotified = {})
        : deps_(deps), notify_(std::make_shared<NotifyState>()) {
        notify_->onNotified = std::move(onNotified);
    }

    void MicrophoneMute() { ToggleMute(); }
    // The toggle, saying what it set: Unknown when it set nothing.
    MicrophoneState ToggleMute();
    // The state of the bound endpoint, or of the microphone line before NT 6;
    // never binds, and shows no message.
    MicrophoneState ReadState();
    void CreateAudioEndpoint();
    bool GetLineMute(std::uint8_t lineType);
    void SetLineMute(std::uint8_t lineType, std::uint8_t mute);
    // A toggle is running: a message box it shows lets other messages in.
    bool Busy() const { return busy_; }
    bool VolumeUpdating() const { return notify_->FVolumeUpdating.load(); }
    bool Bound() const { return FEndpoint != nullptr; }

private:
    // Opens device 0 and finds the line's mute control; unless `quiet`, shows
    // the message of a missing control. False when the caller must stop.
    bool FindMuteControl(std::uint8_t lineType, std::uint32_t& controlId, bool quiet = false);
    bool WriteLineMute(std::uint8_t lineType, std::uint8_t mute);

    // What the endpoint's callback reaches. The endpoint keeps the callback,
    // which may run while or after this control goes, so it shares this
    // instead of pointing at the control; `onNotified` is set before any
    // binding and never changed.
    struct NotifyState {
        std::atomic<bool> FVolumeUpdating{false};
        std::function<void()> onNotified;
    };

    Deps deps_;
    bool busy_ = false;
    std::shared_ptr<NotifyState> notify_;
    std::unique_ptr<platform::IAudioEndpoint> FEndpoint;
};

}  // namespace vxm::app
