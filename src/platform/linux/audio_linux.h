#pragma once
// The capture endpoints through libpulse (PulseAudio, or PipeWire's pulse
// server): each source is an endpoint (its id the source's name, its name
// the description; a sink's monitor source is marked), the default is the
// server's default source, and a set for the default goes to
// "@DEFAULT_SOURCE@", so that the server itself picks the microphone in use.
//
// A session is one connection with its own loop thread
// (pa_threaded_mainloop). It connects in the background and reports what
// the server tells, on that thread: a Snapshot once connected, every source
// that appears, changes (its mute, its description) or goes, every change
// of the default, and Lost when the server goes. It then connects again
// with a bounded back-off (from 0.2 s, doubling, at most 3 s), and reports
// a new Snapshot once back. The loss is said once on standard error
// ("sound server gone: ..."), and the return too.
//
// Refresh and SetMute run on the main thread and wait at most `operation`
// (0.5 s) for the server: without a connection they fail at once, and a
// server that does not answer in time is given up (the connection dropped,
// so that nothing queued for it goes out later, and made again in the
// background); the next calls then fail at once until it is back.
#include <chrono>
#include <functional>
#include <string>

#include "platform/audio.h"

namespace vxm::linuxos {

struct PulseTimeouts {
    std::chrono::milliseconds operation{500};
    std::chrono::milliseconds firstRetry{200};
    std::chrono::milliseconds lastRetry{3000};
};

class PulseAudio final : public platform::ICoreAudio {
public:
    // `say` (may be empty) tells the user on standard error; it is called
    // on the session's thread.
    explicit PulseAudio(PulseTimeouts timeouts = {}, std::function<void(const std::string&)> say = {});
    ~PulseAudio() override;
    PulseAudio(const PulseAudio&) = delete;
    PulseAudio& operator=(const PulseAudio&) = delete;

    // Null only when the session's thread cannot start.
    std::unique_ptr<platform::ICaptureEndpoints> Open(platform::AudioEventSink sink) override;

private:
    PulseTimeouts timeouts_;
    std::function<void(const std::string&)> say_;
};

}  // namespace vxm::linuxos
