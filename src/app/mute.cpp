#include "app/mute.h"

#include <algorithm>
#include <set>

namespace vxm::app {

namespace {

// Reports that may wait for the main thread; a flood beyond them is dropped
// and what is known read again.
constexpr std::size_t kMaxWaitingReports = 1024;

MuteFailure FailureOf(platform::MuteSetResult r) {
    switch (r) {
        case platform::MuteSetResult::Done:
            return MuteFailure::None;
        case platform::MuteSetResult::Refused:
            return MuteFailure::Refused;
        case platform::MuteSetResult::NoAnswer:
            return MuteFailure::NoAnswer;
        case platform::MuteSetResult::NotConnected:
            return MuteFailure::NoSoundSystem;
    }
    return MuteFailure::Refused;
}

const char16_t* FailureText(MuteFailure f) {
    switch (f) {
        case MuteFailure::None:
            return u"";
        case MuteFailure::NoMicrophone:
            return u"no microphone";
        case MuteFailure::NoSoundSystem:
            return u"no sound server";
        case MuteFailure::Unreadable:
            return u"the state cannot be read";
        case MuteFailure::NoAnswer:
            return u"the sound server did not answer in time";
        case MuteFailure::Refused:
            return u"the sound system refused the change";
    }
    return u"";
}

}  // namespace

MuteTargetChoice MuteTargetChoice::Parse(u16view text) {
    MuteTargetChoice c;
    if (text.empty() || EqualsNoCase(text, u"default")) return c;
    if (EqualsNoCase(text, u"all")) {
        c.kind = Kind::All;
        return c;
    }
    c.kind = Kind::Named;
    c.name = u16(text);
    return c;
}

MicrophoneMuteControl::MicrophoneMuteControl(Deps deps, std::function<void()> onNotified)
    : deps_(std::move(deps)), nt6_(deps_.os.GetOsVersion().IsNt6OrLater()), inbox_(std::make_shared<Inbox>()) {
    inbox_->onNotified = std::move(onNotified);
}

MicrophoneMuteControl::~MicrophoneMuteControl() {
    std::lock_guard<std::mutex> lock(inbox_->mutex);
    inbox_->closed = true;
}

void MicrophoneMuteControl::CreateAudioEndpoint() {
    // On the sound system's thread: the flag, the report queued, and at most
    // one post until the main thread takes what waits.
    auto session = deps_.coreAudio.Open([inbox = inbox_](const platform::AudioEvent& e) {
        inbox->FVolumeUpdating = true;
        {
            std::lock_guard<std::mutex> lock(inbox->mutex);
            if (!inbox->closed) {
                if (inbox->events.size() < kMaxWaitingReports) {
                    inbox->events.push_back(e);
                } else {
                    inbox->events.clear();
                    inbox->overflowed = true;
                }
                if (!inbox->posted) {
                    inbox->posted = true;
                    // Under the lock, so that no post outlives the control.
                    if (inbox->onNotified) inbox->onNotified();
                }
            }
        }
        inbox->FVolumeUpdating = false;
    });
    if (session) FEndpoint = std::move(session);
}

void MicrophoneMuteControl::Apply(const platform::AudioEvent& e) {
    using Kind = platform::AudioEvent::Kind;
    switch (e.kind) {
        case Kind::Snapshot:
            known_.endpoints.clear();
            for (const platform::CaptureEndpoint& p : e.endpoints) known_.endpoints[p.id] = p;
            known_.defaultId = e.defaultId;
            known_.known = true;
            known_.lost = false;
            return;
        case Kind::Changed: {
            platform::CaptureEndpoint& p = known_.endpoints[e.endpoint.id];
            const u16 name = p.name;
            p = e.endpoint;
            // A report of its mute alone (Core Audio's volume callback) keeps the name.
            if (p.name.empty()) p.name = name;
            return;
        }
        case Kind::Removed:
            known_.endpoints.erase(e.endpoint.id);
            return;
        case Kind::DefaultChanged:
            if (e.defaultId != known_.defaultId) {
                deps_.debug.DebugOutput(u"default microphone: " + (e.defaultId.empty() ? u16(u"none") : e.defaultId));
            }
            known_.defaultId = e.defaultId;
            return;
        case Kind::Lost:
            deps_.debug.DebugOutput(u"sound system gone: " + e.reason);
            known_ = Known{};
            known_.lost = true;
            return;
    }
}

void MicrophoneMuteControl::Update() {
    std::vector<platform::AudioEvent> events;
    bool overflowed = false;
    {
        std::lock_guard<std::mutex> lock(inbox_->mutex);
        events.swap(inbox_->events);
        overflowed = inbox_->overflowed;
        inbox_->overflowed = false;
        inbox_->posted = false;
    }
    if (events.empty() && !overflowed) return;
    const bool wasMuted = Aggregate() == MicrophoneState::Muted;
    std::set<u16> before;
    for (const auto& [id, p] : known_.endpoints) before.insert(id);
    for (const platform::AudioEvent& e : events) Apply(e);
    if (overflowed) {
        deps_.debug.DebugOutput(u"MicrophoneMute: too many reports at once; the state is read again");
        known_.known = false;
    }
    // A microphone plugged in while the monitor says "muted" is muted too,
    // unless the toggle follows the default alone, which shows the new
    // default's own state.
    if (!wasMuted || !known_.known || deps_.target.kind == MuteTargetChoice::Kind::Default || !FEndpoint) return;
    std::vector<u16> appeared;
    for (const u16& id : Targets()) {
        if (!before.count(id) && !known_.endpoints.at(id).muted) appeared.push_back(id);
    }
    if (appeared.empty()) return;
    for (const u16& id : appeared) deps_.debug.DebugOutput(u"MicrophoneMute: muting a new microphone: " + id);
    const std::vector<platform::MuteSetResult> results = FEndpoint->SetMute(appeared, true);
    Update();
    Record(appeared, results, true);
}

std::vector<u16> MicrophoneMuteControl::Targets() const {
    std::vector<u16> ids;
    switch (deps_.target.kind) {
        case MuteTargetChoice::Kind::Default:
            if (known_.endpoints.count(known_.defaultId)) ids.push_back(known_.defaultId);
            break;
        case MuteTargetChoice::Kind::All:
            for (const auto& [id, p] : known_.endpoints) {
                if (!p.monitor) ids.push_back(id);
            }
            break;
        case MuteTargetChoice::Kind::Named:
            for (const auto& [id, p] : known_.endpoints) {
                if (id == deps_.target.name || p.name == deps_.target.name) ids.push_back(id);
            }
            break;
    }
    return ids;
}

MicrophoneState MicrophoneMuteControl::Aggregate() const {
    if (!FEndpoint) return MicrophoneState::NoMicrophone;
    if (!known_.known) return MicrophoneState::Unknown;
    const std::vector<u16> ids = Targets();
    if (ids.empty()) return MicrophoneState::NoMicrophone;
    const bool allMuted =
        std::all_of(ids.begin(), ids.end(), [this](const u16& id) { return known_.endpoints.at(id).muted; });
    return allMuted ? MicrophoneState::Muted : MicrophoneState::Live;
}

MuteFailure MicrophoneMuteControl::Record(const std::vector<u16>& ids,
                                          const std::vector<platform::MuteSetResult>& results, bool muted) {
    MuteFailure failure = ids.size() == results.size() ? MuteFailure::None : MuteFailure::Refused;
    for (std::size_t i = 0; i < ids.size() && i < results.size(); ++i) {
        if (results[i] != platform::MuteSetResult::Done) {
            if (failure == MuteFailure::None) failure = FailureOf(results[i]);
            continue;
        }
        const u16& id = ids[i] == platform::kDefaultCapture ? known_.defaultId : ids[i];
        const auto p = known_.endpoints.find(id);
        if (p != known_.endpoints.end()) p->second.muted = muted;
    }
    return failure;
}

MicrophoneState MicrophoneMuteControl::ReadState() {
    if (!nt6_) {
        std::uint32_t control = 0;
        const LineResult found = FindMuteControl(kLineMicrophone, control, true);
        if (found == LineResult::NoLine) return MicrophoneState::NoMicrophone;
        if (found != LineResult::Found) return MicrophoneState::Unknown;
        std::uint32_t value = 0;
        const bool read = deps_.mixer.GetControlValue(control, value) == 0;
        deps_.mixer.Close();
        if (!read) return MicrophoneState::Unknown;
        return value != 0 ? MicrophoneState::Muted : MicrophoneState::Live;
    }
    Update();
    if (FEndpoint && !known_.known && !FEndpoint->FollowsChanges() && FEndpoint->Refresh()) Update();
    return Aggregate();
}

MuteToggleResult MicrophoneMuteControl::ToggleMute() {
    busy_ = true;
    struct Running {
        bool& flag;
        ~Running() { flag = false; }
    } running{busy_};
    MuteToggleResult result = nt6_ ? ToggleEndpoints() : ToggleLine();
    if (!result.Changed()) {
        deps_.debug.DebugOutput(u"MicrophoneMute: not changed: " + u16(FailureText(result.failure)));
    }
    return result;
}

MuteToggleResult MicrophoneMuteControl::ToggleLine() {
    const auto mute = static_cast<std::uint8_t>(GetLineMute(kLineMicrophone) ? 0 : 1);
    bool written = false;
    const LineResult found = WriteLineMute(kLineMicrophone, mute, written);
    if (found == LineResult::NoLine) return {MicrophoneState::NoMicrophone, MuteFailure::NoMicrophone};
    if (!written) return {MicrophoneState::Unknown, MuteFailure::Refused};
    return {mute ? MicrophoneState::Muted : MicrophoneState::Live, MuteFailure::None};
}

MuteToggleResult MicrophoneMuteControl::ToggleEndpoints() {
    if (!FEndpoint) CreateAudioEndpoint();
    if (!FEndpoint) return {MicrophoneState::NoMicrophone, MuteFailure::NoMicrophone};
    Update();
    // Without the current state there is nothing safe to toggle to: read it
    // when it is not known, or when the session does not report changes
    // (then the default may have moved since the last press).
    if (!known_.known || !FEndpoint->FollowsChanges()) {
        if (!FEndpoint->Refresh()) {
            return {MicrophoneState::Unknown, known_.lost ? MuteFailure::NoSoundSystem : MuteFailure::Unreadable};
        }
        Update();
        if (!known_.known) return {MicrophoneState::Unknown, MuteFailure::Unreadable};
    }
    const std::vector<u16> targets = Targets();
    if (targets.empty()) return {MicrophoneState::NoMicrophone, MuteFailure::NoMicrophone};
    // Any live one: all are muted; all muted: all are unmuted.
    const bool mute = Aggregate() != MicrophoneState::Muted;
    std::vector<u16> ids;
    if (deps_.target.kind == MuteTargetChoice::Kind::Default) {
        // The default as the system has it when the request arrives.
        ids.push_back(platform::kDefaultCapture);
    } else {
        for (const u16& id : targets) {
            if (known_.endpoints.at(id).muted != mute) ids.push_back(id);
        }
    }
    const std::vector<platform::MuteSetResult> results = FEndpoint->SetMute(ids, mute);
    // What the system reported before it answered comes first; its answer
    // is the newer word.
    Update();
    const MuteFailure failure = Record(ids, results, mute);
    if (failure != MuteFailure::None) return {MicrophoneState::Unknown, failure};
    deps_.debug.DebugOutput(mute ? u"MicrophoneMute: muted" : u"MicrophoneMute: unmuted");
    return {mute ? MicrophoneState::Muted : MicrophoneState::Live, MuteFailure::None};
}

MicrophoneMuteControl::LineResult MicrophoneMuteControl::FindMuteControl(std::uint8_t lineType,
                                                                           std::uint32_t& controlId, bool quiet) {
    if (lineType > 3) return LineResult::NoLine;
    platform::IMixer& m = deps_.mixer;
    if (m.GetNumDevs() < 1) return LineResult::NoLine;
    if (m.Open() != 0) return LineResult::NoLine;
    std::uint32_t lineId = 0;
    if (m.GetLineInfo(kMixerLineComponentTypes[lineType], lineId) != 0) {
        m.Close();
        return LineResult::NoLine;
    }
    if (m.GetMuteControl(lineId, controlId) != 0) {
        if (!quiet) deps_.messageBox.ShowMessage(u"GetLineInfo Error");
        m.Close();
        return LineResult::NoControl;
    }
    return LineResult::Found;
}

bool MicrophoneMuteControl::GetLineMute(std::uint8_t lineType) {
    std::uint32_t control = 0;
    // Stopping before a value was read gives "not muted".
    if (FindMuteControl(lineType, control) != LineResult::Found) return false;
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
    bool written = false;
    WriteLineMute(lineType, mute, written);
}

MicrophoneMuteControl::LineResult MicrophoneMuteControl::WriteLineMute(std::uint8_t lineType, std::uint8_t mute,
                                                                         bool& written) {
    std::uint32_t control = 0;
    const LineResult found = FindMuteControl(lineType, control);
    if (found != LineResult::Found) return found;
    written = deps_.mixer.SetControlValue(control, mute) == 0;
    if (!written) deps_.messageBox.ShowMessage(u"SetControlDetails Error");
    deps_.mixer.Close();
    return found;
}

}  // namespace vxm::app
