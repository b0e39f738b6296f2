#include "support/fake_audio.h"

namespace vxm::fake {
namespace {

using platform::AudioEvent;
using platform::MuteSetResult;

class Session final : public platform::ICaptureEndpoints {
public:
    explicit Session(FakeCoreAudio& system) : system_(system) {}
    ~Session() override { system_.sink = nullptr; }
    bool FollowsChanges() const override { return system_.follows; }
    bool Refresh() override {
        ++system_.calls;
        ++system_.refreshes;
        if (!system_.available || system_.refreshFails) return false;
        system_.Report(system_.Snapshot(), true);
        return true;
    }
    std::vector<MuteSetResult> SetMute(const std::vector<u16>& ids, bool muted) override {
        ++system_.calls;
        std::vector<MuteSetResult> results;
        for (const u16& asked : ids) {
            const u16 id = asked == platform::kDefaultCapture ? system_.defaultId : asked;
            const auto e = system_.endpoints.find(id);
            if (!system_.available) {
                results.push_back(MuteSetResult::NotConnected);
            } else if (system_.noAnswer) {
                results.push_back(MuteSetResult::NoAnswer);
            } else if (e == system_.endpoints.end()) {
                results.push_back(MuteSetResult::Refused);
            } else {
                ++e->second->setMuteCalls;
                if (e->second->setMuteFails) {
                    results.push_back(MuteSetResult::Refused);
                    continue;
                }
                e->second->muted = muted;
                results.push_back(MuteSetResult::Done);
                // The change is reported, the toggle's own too.
                AudioEvent changed;
                changed.kind = AudioEvent::Kind::Changed;
                changed.endpoint = system_.Info(id);
                system_.Report(changed, true);
            }
        }
        return results;
    }

private:
    FakeCoreAudio& system_;
};

}  // namespace

platform::CaptureEndpoint FakeCoreAudio::Info(const u16& id) const {
    const Endpoint& e = *endpoints.at(id);
    return platform::CaptureEndpoint{id, e.name, e.muted, e.monitor};
}

AudioEvent FakeCoreAudio::Snapshot() const {
    AudioEvent e;
    e.kind = AudioEvent::Kind::Snapshot;
    for (const auto& [id, state] : endpoints) e.endpoints.push_back(Info(id));
    e.defaultId = defaultId;
    return e;
}

void FakeCoreAudio::Report(const AudioEvent& e, bool evenUnfollowed) {
    if (!sink || !(follows || evenUnfollowed)) return;
    const platform::AudioEventSink report = sink;
    report(e);
    if (duringReport) duringReport();
}

void FakeCoreAudio::AddMicrophone(u16 id, bool makeDefault, u16 name, bool monitor) {
    auto e = std::make_shared<Endpoint>();
    e->name = std::move(name);
    e->monitor = monitor;
    endpoints[id] = e;
    AudioEvent added;
    added.kind = AudioEvent::Kind::Changed;
    added.endpoint = Info(id);
    Report(added);
    if (makeDefault) MakeDefault(id);
}

void FakeCoreAudio::SetMuted(const u16& id, bool muted) {
    Of(id).muted = muted;
    AudioEvent changed;
    changed.kind = AudioEvent::Kind::Changed;
    changed.endpoint = Info(id);
    // A mute change is reported even without the other notifications.
    Report(changed, true);
}

void FakeCoreAudio::Remove(const u16& id) {
    endpoints.erase(id);
    AudioEvent removed;
    removed.kind = AudioEvent::Kind::Removed;
    removed.endpoint.id = id;
    Report(removed);
    if (defaultId == id) MakeDefault(u"");
}

void FakeCoreAudio::MakeDefault(const u16& id) {
    defaultId = id;
    AudioEvent e;
    e.kind = AudioEvent::Kind::DefaultChanged;
    e.defaultId = id;
    Report(e);
}

void FakeCoreAudio::Lose() {
    available = false;
    AudioEvent e;
    e.kind = AudioEvent::Kind::Lost;
    e.reason = u"Connection terminated";
    Report(e);
}

void FakeCoreAudio::Restart() {
    available = true;
    Report(Snapshot());
}

std::unique_ptr<platform::ICaptureEndpoints> FakeCoreAudio::Open(platform::AudioEventSink onEvent) {
    // Core Audio binds the default endpoint; the sound server's session
    // opens in any case and reports what it finds.
    if (!follows && (defaultId.empty() || !available)) return nullptr;
    ++opens;
    sink = std::move(onEvent);
    auto session = std::make_unique<Session>(*this);
    if (follows) {
        if (available) {
            Report(Snapshot());
        } else {
            AudioEvent lost;
            lost.kind = AudioEvent::Kind::Lost;
            lost.reason = u"Connection refused";
            Report(lost);
        }
    }
    return session;
}

}  // namespace vxm::fake
