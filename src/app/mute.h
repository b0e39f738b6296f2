#pragma once
// The microphone mute toggle: the sound system's capture endpoints on NT 6
// and later (Core Audio; libpulse on Linux), the legacy mixer before.
//
// The control keeps what it knows of the capture endpoints (their mutes,
// the default) from what the session reports, and decides a toggle from
// that: one call to the sound system per press while the state is known
// and followed, a read first only when it is not.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "platform/os.h"

namespace vxm::app {

// Mixer line types: the component type of the line each selects.
inline constexpr std::uint32_t kMixerLineComponentTypes[4] = {4, 0x1003, 0x1008, 0x1004};
inline constexpr std::uint8_t kLineMicrophone = 1;

// The targeted microphones as the monitor knows them: Muted only when every
// one is muted; Unknown when their state cannot be told (no sound system,
// nothing read yet); NoMicrophone when there is none to act on.
enum class MicrophoneState { Unknown, Live, Muted, NoMicrophone };

// Why a toggle changed nothing.
enum class MuteFailure { None, NoMicrophone, NoSoundSystem, Unreadable, NoAnswer, Refused };

struct MuteToggleResult {
    MicrophoneState set = MicrophoneState::Unknown;  // Muted or Live when the toggle set that
    MuteFailure failure = MuteFailure::None;
    bool Changed() const { return failure == MuteFailure::None; }
};

// config.ini's MuteTarget: "default", "all" (any case), or an endpoint's id
// or name (exactly).
struct MuteTargetChoice {
    enum class Kind { Default, All, Named };
    Kind kind = Kind::Default;
    u16 name;
    static MuteTargetChoice Parse(u16view text);
};

class MicrophoneMuteControl {
public:
    struct Deps {
        platform::ICoreAudio& coreAudio;
        platform::IMixer& mixer;
        platform::IMessageBox& messageBox;
        platform::IDebugOutput& debug;
        platform::IOsVersion& os;  // asked once, when the control is made
        MuteTargetChoice target = {};
    };
    // `onNotified` (may be empty) runs on the thread the sound system
    // reports on, once for the reports that wait for the main thread (it
    // posts the message that makes the main thread call Update).
    explicit MicrophoneMuteControl(Deps deps, std::function<void()> onNotified = {});
    ~MicrophoneMuteControl();
    MicrophoneMuteControl(const MicrophoneMuteControl&) = delete;
    MicrophoneMuteControl& operator=(const MicrophoneMuteControl&) = delete;

    void MicrophoneMute() { ToggleMute(); }
    MuteToggleResult ToggleMute();
    // Takes in what the sound system reported; a targeted microphone that
    // appeared while every other was muted is muted too. Never reads.
    void Update();
    // Update, then the state. Reads only what is neither known nor followed
    // (a session that does not report changes, before its first read);
    // never opens a session. Before NT 6: the microphone line, read without
    // its messages.
    MicrophoneState ReadState();
    void CreateAudioEndpoint();
    bool GetLineMute(std::uint8_t lineType);
    void SetLineMute(std::uint8_t lineType, std::uint8_t mute);
    // A toggle is running: a message box it shows lets other messages in.
    bool Busy() const { return busy_; }
    bool VolumeUpdating() const { return inbox_->FVolumeUpdating.load(); }
    bool Bound() const { return FEndpoint != nullptr; }

private:
    enum class LineResult { Found, NoLine, NoControl };
    // Opens device 0 and finds the line's mute control; unless `quiet`, shows
    // the message of a missing control.
    LineResult FindMuteControl(std::uint8_t lineType, std::uint32_t& controlId, bool quiet = false);
    LineResult WriteLineMute(std::uint8_t lineType, std::uint8_t mute, bool& written);
    MuteToggleResult ToggleLine();
    MuteToggleResult ToggleEndpoints();
    void Apply(const platform::AudioEvent& e);
    MicrophoneState Aggregate() const;
    std::vector<u16> Targets() const;
    // Records the accepted ones; the failure of the first that was not.
    MuteFailure Record(const std::vector<u16>& ids, const std::vector<platform::MuteSetResult>& results, bool muted);

    // What the sound system's thread reaches. The session may report while
    // or after this control goes, so it shares this instead of pointing at
    // the control; `closed` (under the lock) ends every post.
    struct Inbox {
        std::mutex mutex;
        std::vector<platform::AudioEvent> events;
        bool overflowed = false;  // reports were dropped: what is known is stale
        bool posted = false;      // a post waits for the main thread's Update
        bool closed = false;
        std::atomic<bool> FVolumeUpdating{false};
        std::function<void()> onNotified;
    };
    // What the reports said, on the main thread.
    struct Known {
        bool known = false;  // a Snapshot came, and no Lost since
        bool lost = false;   // the sound system is gone
        std::map<u16, platform::CaptureEndpoint> endpoints;
        u16 defaultId;
    };

    Deps deps_;
    const bool nt6_;
    bool busy_ = false;
    std::shared_ptr<Inbox> inbox_;
    Known known_;
    std::unique_ptr<platform::ICaptureEndpoints> FEndpoint;
};

}  // namespace vxm::app
