#pragma once
// Core Audio endpoint volume and the legacy mixer on Windows.
#include "platform/audio.h"

namespace vxm::win32 {

// The default capture endpoint for the multimedia role, through its
// IAudioEndpointVolume; its callback reports the endpoint's mute changes.
class CoreAudio final : public platform::ICoreAudio {
public:
    std::unique_ptr<platform::ICaptureEndpoints> Open(platform::AudioEventSink sink) override;
};

class Mixer final : public platform::IMixer {
public:
    ~Mixer() override { Close(); }
    unsigned GetNumDevs() override;
    unsigned Open() override;
    unsigned GetLineInfo(std::uint32_t componentType, std::uint32_t& lineId) override;
    unsigned GetMuteControl(std::uint32_t lineId, std::uint32_t& controlId) override;
    unsigned GetControlValue(std::uint32_t controlId, std::uint32_t& value) override;
    unsigned SetControlValue(std::uint32_t controlId, std::uint32_t value) override;
    void Close() override;

private:
    void* handle_ = nullptr;  // HMIXER
};

}  // namespace vxm::win32
