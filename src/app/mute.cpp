#include "app/mute.h"

namespace vxm::app {

void MicrophoneMuteControl::MicrophoneMute() {
    if (!deps_.os.GetOsVersion().IsNt6OrLater()) {
        SetLineMute(kLineMicrophone, static_cast<std::uint8_t>(GetLineMute(kLineMicrophone) ? 0 : 1));
        return;
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
    if (!FEndpoint) return;
    bool muted = false;
    // Without the current state there is nothing safe to toggle to.
    if (!FEndpoint->GetMute(muted)) {
        deps_.debug.DebugOutput(u"MicrophoneMute: GetMute failed");
        return;
    }
    FEndpoint->SetMute(!muted);
    deps_.debug.DebugOutput(muted ? u"MicrophoneMute: unmuted" : u"MicrophoneMute: muted");
}

void MicrophoneMuteControl::CreateAudioEndpoint() {
    auto bound = deps_.coreAudio.BindDefaultCapture([this](bool updating) { FVolumeUpdating = updating; });
    if (bound) FEndpoint = std::move(bound);
}

bool MicrophoneMuteControl::FindMuteControl(std::uint8_t lineType, std::uint32_t& controlId) {
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
        deps_.messageBox.ShowMessage(u"GetLineInfo Error");
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

void MicrophoneMuteControl::SetLineMute(std::uint8_t lineType, std::uint8_t mute) {
    std::uint32_t control = 0;
    if (!FindMuteControl(lineType, control)) return;
    if (deps_.mixer.SetControlValue(control, mute) != 0) deps_.messageBox.ShowMessage(u"SetControlDetails Error");
    deps_.mixer.Close();
}

}  // namespace vxm::app
