#pragma once
// Audio seam: the sound system's capture endpoints (Core Audio on Windows,
// the PulseAudio or PipeWire server on Linux) and the legacy mixer.
//
// The mute logic keeps what it knows of every capture endpoint (its mute,
// which one is the default) from what a session reports, and decides a
// toggle from that, so that a press costs one call when the state is known.
// What a backend must do:
//
//  ICoreAudio::Open(sink)
//    Starts a session with the sound system and returns it, or null when
//    there is nothing to follow now (Windows: no default capture endpoint;
//    the logic asks again at the next press). Called on the main thread.
//    A session that connects in the background may return at once and
//    report its first Snapshot later.
//
//  The sink (AudioEvent)
//    Gets what the sound system tells, in the order it told it: a Snapshot
//    once the session knows the endpoints (and after every reconnection),
//    then Changed / Removed / DefaultChanged as they happen, Lost when the
//    system went away. It may be called on any thread: the backend's own
//    (libpulse's loop thread, a Core Audio callback thread) or the calling
//    thread inside Refresh and SetMute. It only queues the event and posts
//    to the main thread; it never calls back into the session. No call of
//    the sink starts after the session's destructor began, and the
//    destructor waits for one that runs.
//
//  ICaptureEndpoints::FollowsChanges()
//    True when every change is reported as it happens (the default, the
//    endpoints coming and going, their mutes): then the logic never asks
//    again while it knows the state. False when only some are (Windows
//    before endpoint notifications: the volume callback of the bound
//    endpoint), or none; then it calls Refresh at every press.
//
//  ICaptureEndpoints::Refresh()
//    Asks the system for everything now and reports it through the sink
//    as one Snapshot, in order with the other events, before returning
//    true. False (nothing reported) when the system cannot be asked now.
//    Main thread; bounded (it never waits on a hung system for more than
//    the backend's short bound).
//
//  ICaptureEndpoints::SetMute(ids, muted)
//    Sets the mute of each endpoint named (ids as reported, or
//    kDefaultCapture: the default endpoint as the system has it when the
//    request arrives). All requests go out at once and are awaited
//    together, so that the call costs one round trip however many there
//    are; one result per id, in order. Main thread; bounded like Refresh.
//    A request never goes out later than the call: one the system does not
//    acknowledge in time is given up (NoAnswer), and nothing is sent again.
//    The change the system then reports comes through the sink as usual.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

// One capture endpoint as the sound system reports it.
struct CaptureEndpoint {
    u16 id;    // what SetMute takes: the endpoint id (Windows), the source's name (PulseAudio)
    u16 name;  // what a user reads: the friendly name (Windows), the source's description (PulseAudio)
    bool muted = false;
    bool monitor = false;  // the monitor of an output (a sink's monitor source): not a microphone
};

// The id SetMute takes for the default capture endpoint, whichever it is.
inline constexpr char16_t kDefaultCapture[] = u"";

struct AudioEvent {
    enum class Kind {
        Snapshot,        // `endpoints` are all there are, `defaultId` the default ("" for none)
        Changed,         // `endpoint` appeared, or its mute or name changed
        Removed,         // `endpoint.id` is gone
        DefaultChanged,  // `defaultId` is the default now ("" for none)
        Lost,            // the sound system went away (`reason`); nothing is known until a Snapshot
    };
    Kind kind = Kind::Snapshot;
    CaptureEndpoint endpoint;
    std::vector<CaptureEndpoint> endpoints;
    u16 defaultId;
    u16 reason;
};

using AudioEventSink = std::function<void(const AudioEvent&)>;

enum class MuteSetResult {
    Done,          // acknowledged
    Refused,       // the system said no (no such endpoint, not allowed)
    NoAnswer,      // no acknowledgement within the bound; given up
    NotConnected,  // not sent: the system is not there now
};

class ICaptureEndpoints {
public:
    virtual ~ICaptureEndpoints() = default;
    virtual bool FollowsChanges() const = 0;
    virtual bool Refresh() = 0;
    virtual std::vector<MuteSetResult> SetMute(const std::vector<u16>& ids, bool muted) = 0;
};

class ICoreAudio {
public:
    virtual ~ICoreAudio() = default;
    virtual std::unique_ptr<ICaptureEndpoints> Open(AudioEventSink sink) = 0;
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
