#pragma once
// Audio seam: the Core Audio capture endpoint and the legacy mixer, each at
// the level where the mute logic depends on the individual calls.
#include <cstdint>
#include <functional>
#include <memory>

#include "common/text.h"

namespace vxm::platform {

// IAudioEndpointVolume of one bound endpoint (with its change callback
// registered); releasing it unregisters nothing, as the endpoint keeps it.
class IAudioEndpoint {
public:
    virtual ~IAudioEndpoint() = default;
    virtual u16 Id() const = 0;
    virtual bool GetMute(bool& muted) = 0;  // false: the state is unknown
    virtual bool SetMute(bool muted) = 0;
};

class ICoreAudio {
public:
    virtual ~ICoreAudio() = default;
    // COM apartment, device enumerator, default capture endpoint (eCapture,
    // eMultimedia), IAudioEndpointVolume, callback registered. Null when any
    // step fails. `onNotify` runs on the audio system's thread.
    virtual std::unique_ptr<IAudioEndpoint> BindDefaultCapture(std::function<void(bool updating)> onNotify) = 0;
    // Id of the current default capture endpoint; empty when there is none.
    virtual u16 DefaultCaptureId() = 0;
};

// mixerXxx on mixer device 0; results are MMRESULT codes (0 = success).
class IMixer {
public:
    virtual ~IMixer() = default;
    virtual unsigned GetNumDevs() = 0;
    virtual unsigned Open() = 0;
    virtual unsigned GetLineInfo(std::uint32_t componentType, std::uint32_t& lineId) = 0;
    virtual unsigned GetMuteControl(std::uint32_t lineId, std::uint32_t& controlId) = 0;
    virtual unsigned GetControlValue(std::uint32_t controlId, std::uint32_t& value) = 0;
    virtual unsigned SetControlValue(std::uint32_t controlId, std::uint32_t value) = 0;
    virtual void Close() = 0;
};

}  // namespace vxm::platform
