#include "app/mute.h"

namespace vxm::app {

MicrophoneState MicrophoneMuteControl::ToggleMute() {
    busy_ = true;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{busy_};
    if (!deps_.os.GetOsVersion().IsNt6OrLater()) {
        const auto mute = static_cast<std::uint8_t>(GetLineMute(kLineMicrophone) ? 0 : 1);
        if (!WriteLineMute(kLineMicrophone, mute)) return MicrophoneState::Unknown;
        return mute ? MicrophoneState::Muted : MicrophoneState::Live;
    }
    // Follow the user's choice of default microphone: a changed default is
    // bound again, or the toggle would leave the new microphone live.
    if (FEndpoint) {
        const u16 current = deps_.coreAudio.DefaultCaptureId();
        if (!current.empty() && current != FEndpoint->Id()) {
            deps_.debug.DebugOutput(u"MicrophoneMute: default capture endpoint changed, binding it");
            CreateAudioEndpoint();
        }
    }
    if (!FEndpoint) CreateAudioEndpoint();
    if (!FEndpoint) return MicrophoneState::Unknown;
    bool muted = false;
    // Without the current state there is nothing safe to toggle to.
    if (!FEndpoint->GetMute(muted)) {
        deps_.debug.DebugOutput(u"MicrophoneMute: GetMute failed");
        return MicrophoneState::Unknown;
    }
    const bool set = FEndpoint->SetMute(!muted);
    deps_.debug.DebugOutput(muted ? u"MicrophoneMute: unmuted" : u"MicrophoneMute: muted");
    if (!set) return MicrophoneState::Unknown;
    return muted ? MicrophoneState::Live : MicrophoneState::Muted;
}

MicrophoneState MicrophoneMuteControl::ReadState() {
    if (!deps_.os.GetOsVersion().IsNt6OrLater()) {
        std::uint32_t control = 0;
        if (!FindMuteControl(kLineMicrophone, control, true)) return MicrophoneState::Unknown;
        std::uint32_t value = 0;
        const bool read = deps_.mixer.GetControlValue(control, value) == 0;
        deps_.mixer.Close();
        if (!read) return MicrophoneState::Unknown;
        return value != 0 ? MicrophoneState::Muted : MicrophoneState::Live;
    }
    bool muted = false;
    if (!FEndpoint || !FEndpoint->GetMute(muted)) return MicrophoneState::Unknown;
    return muted ? MicrophoneState::Muted : MicrophoneState::Live;
}

void MicrophoneMuteControl::CreateAudioEndpoint() {
    // On the audio system's thread: the flag, and at most one call out.
    auto bound = deps_.coreAudio.BindDefaultCapture([state = notify_](bool updating) {
        state->FVolumeUpdating = updating;
        if (updating && state->onNotified) state->onNotified();
    });
    if (bound) FEndpoint = std::move(bound);
}

bool MicrophoneMuteControl::FindMuteControl(std::uint8_t lineType, std::uint32_t& controlId, bool quiet) {
    if (lineType > 3) return false;
    platform::IMixer& m = deps_.mixer;
    if (m.GetNumDevs() < 1) return false;
    if (m.Open() != 0) return false;
    std::uint32_t lineId = 0;
    if (m.GetLineInfo(kMixerLineComponentTypes[lineType], lineId) != 0) {
        m.Close();
        return false;
    }
    if (m.GetMuteControl(lineId, controlId) != 0) {
        if (!quiet) deps_.messageBox.ShowMessage(u"GetLineInfo Error");
        m.Close();
        return false;
    }
    return true;
}

bool MicrophoneMuteControl::GetLineMute(std::uint8_t lineType) {
    std::uint32_t control = 0;
    // Stopping before a value was read gives "not muted".
    if (!FindMuteControl(lineType, control)) return false;
    std::uint32_t value = 0;
    bool result = false;
    if (deps_.mixer.GetControlValue(control, value) == 0) {
        result = value != 0;
    } else {
        deps_.messageBox.ShowMessage(u"SetControlDetails Error");
    }
    deps_.mixer.Close();
    return result;
}

void MicrophoneMuteControl::SetLineMute(std::uint8_t lineType, std::uint8_t mute) { WriteLineMute(lineType, mute); }

bool MicrophoneMuteControl::WriteLineMute(std::uint8_t lineType, std::uint8_t mute) {
    std::uint32_t control = 0;
    if (!FindMuteControl(lineType, control)) return false;
    const bool written = deps_.mixer.SetControlValue(control, mute) == 0;
    if (!written) deps_.messageBox.ShowMessage(u"SetControlDetails Error");
    deps_.mixer.Close();
    return written;
}

}  // namespace vxm::app
