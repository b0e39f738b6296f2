#pragma once
// The capture endpoint through libpulse (PulseAudio, or PipeWire's pulse
// server): the endpoint is the server's default source ("@DEFAULT_SOURCE@"),
// so it follows the user's current microphone; its id is that source's name.
// GetMute asks the server, SetMute waits for the server's acknowledgement,
// and every change of the default source (its mute, or another source made
// the default) calls the change callback on libpulse's own thread
// (pa_threaded_mainloop). Each call is bounded: no server, a server that
// does not answer, or no source at all make the call fail, never hang. A
// connection the server dropped is made again by the next call.
#include <chrono>

#include "platform/audio.h"

namespace vxm::linuxos {

struct PulseTimeouts {
    std::chrono::milliseconds connect{2000};
    std::chrono::milliseconds operation{1000};
};

class PulseClient;

class PulseAudio final : public platform::ICoreAudio {
public:
    explicit PulseAudio(PulseTimeouts timeouts = {});
    ~PulseAudio() override;
    PulseAudio(const PulseAudio&) = delete;
    PulseAudio& operator=(const PulseAudio&) = delete;

    std::unique_ptr<platform::IAudioEndpoint> BindDefaultCapture(std::function<void(bool updating)> onNotify) override;
    u16 DefaultCaptureId() override;

private:
    PulseTimeouts timeouts_;
    std::unique_ptr<PulseClient> query_;  // for DefaultCaptureId, made on first use
};

}  // namespace vxm::linuxos
