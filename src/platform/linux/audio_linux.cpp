#include "platform/linux/audio_linux.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <map>
#include <vector>

namespace vxm::linuxos {
namespace {

using platform::AudioEvent;
using platform::CaptureEndpoint;
using platform::MuteSetResult;

constexpr char kDefaultSource[] = "@DEFAULT_SOURCE@";
// How long a connection may take before the server counts as gone.
constexpr std::chrono::milliseconds kConnectLimit{5000};

pa_usec_t Microseconds(std::chrono::milliseconds ms) { return static_cast<pa_usec_t>(ms.count()) * PA_USEC_PER_MSEC; }

// Holds the loop's lock for a scope.
class Locked {
public:
    explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa_threaded_mainloop_lock(loop_); }
    ~Locked() { pa_threaded_mainloop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pa_threaded_mainloop* loop_;
};

CaptureEndpoint EndpointOf(const pa_source_info& info) {
    CaptureEndpoint e;
    e.id = Utf16(info.name ? info.name : "");
    e.name = Utf16(info.description ? info.description : "");
    e.muted = info.mute != 0;
    e.monitor = info.monitor_of_sink != PA_INVALID_INDEX;
    return e;
}

bool Same(const CaptureEndpoint& a, const CaptureEndpoint& b) {
    return a.id == b.id && a.name == b.name && a.muted == b.muted && a.monitor == b.monitor;
}

// One connection to the server with its own loop thread. Everything below
// the public calls runs with the loop's lock held, on the loop's thread
// unless it says otherwise.
class PulseSession final : public platform::ICaptureEndpoints {
public:
    static std::unique_ptr<PulseSession> Start(PulseTimeouts timeouts, std::function<void(const std::string&)> say,
                                               platform::AudioEventSink sink) {
        std::unique_ptr<PulseSession> s(new PulseSession(timeouts, std::move(say), std::move(sink)));
        if (!s->loop_ || pa_threaded_mainloop_start(s->loop_) < 0) return nullptr;
        s->running_ = true;
        Locked lock(s->loop_);
        s->ConnectLocked();
        return s;
    }

    ~PulseSession() override {
        if (!loop_) return;
        {
            // Waits for a report that runs; none starts afterwards.
            Locked lock(loop_);
            closing_ = true;
            if (retry_) pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
            retry_ = nullptr;
            DropContextLocked();
        }
        if (running_) pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    bool FollowsChanges() const override { return true; }

    // Main thread.
    bool Refresh() override {
        if (OnLoopThread()) return false;
        Locked lock(loop_);
        if (!ready_) return false;
        const std::uint64_t seen = snapshots_;
        const std::uint64_t connection = connection_;
        RequestSnapshotLocked();
        const bool answered = WaitLocked([&] { return snapshots_ > seen || !ready_ || connection_ != connection; });
        if (!answered) GiveUpLocked(connection);
        return snapshots_ > seen;
    }

    // Main thread.
    std::vector<MuteSetResult> SetMute(const std::vector<u16>& ids, bool muted) override {
        std::vector<MuteSetResult> results(ids.size(), MuteSetResult::NotConnected);
        if (OnLoopThread()) return results;
        Locked lock(loop_);
        if (!ready_) return results;
        struct Ack {
            pa_threaded_mainloop* loop = nullptr;
            bool finished = false;
            bool success = false;
        };
        std::vector<Ack> acks(ids.size());
        const std::uint64_t connection = connection_;
        std::vector<pa_operation*> ops;
        // All at once: one round trip however many.
        for (std::size_t i = 0; i < ids.size(); ++i) {
            acks[i].loop = loop_;
            const std::string name = ids[i] == platform::kDefaultCapture ? kDefaultSource : Utf8(ids[i]);
            ops.push_back(pa_context_set_source_mute_by_name(
                context_, name.c_str(), muted ? 1 : 0,
                [](pa_context*, int success, void* data) {
                    auto* a = static_cast<Ack*>(data);
                    a->finished = true;
                    a->success = success != 0;
                    pa_threaded_mainloop_signal(a->loop, 0);
                },
                &acks[i]));
        }
        const auto allFinished = [&] {
            for (std::size_t i = 0; i < ops.size(); ++i) {
                if (ops[i] && !acks[i].finished) return false;
            }
            return true;
        };
        const bool answered = WaitLocked([&] { return allFinished() || !ready_ || connection_ != connection; });
        for (std::size_t i = 0; i < ops.size(); ++i) {
            if (!ops[i]) {
                results[i] = MuteSetResult::Refused;
                continue;
            }
            // A request not answered never calls back later.
            if (pa_operation_get_state(ops[i]) == PA_OPERATION_RUNNING) pa_operation_cancel(ops[i]);
            pa_operation_unref(ops[i]);
            results[i] = acks[i].finished ? (acks[i].success ? MuteSetResult::Done : MuteSetResult::Refused)
                                          : MuteSetResult::NoAnswer;
        }
        if (!answered) GiveUpLocked(connection);
        return results;
    }

private:
    PulseSession(PulseTimeouts timeouts, std::function<void(const std::string&)> say, platform::AudioEventSink sink)
        : timeouts_(timeouts),
          say_(std::move(say)),
          sink_(std::move(sink)),
          loop_(pa_threaded_mainloop_new()),
          backoff_(timeouts.firstRetry) {}

    bool OnLoopThread() const { return !loop_ || pa_threaded_mainloop_in_thread(loop_); }

    void Say(const std::string& text) {
        if (say_ && !closing_) say_(text);
    }
    void Report(const AudioEvent& e) {
        if (sink_ && !closing_) sink_(e);
    }

    // Not on the loop's thread: waits (the lock held) until `done` answers
    // true or the bound passed; false when it passed.
    template <typename Done>
    bool WaitLocked(Done done) {
        struct Timer {
            pa_threaded_mainloop* loop = nullptr;
            bool expired = false;
        } timer{loop_};
        pa_time_event* event = pa_context_rttime_new(
            context_, pa_rtclock_now() + Microseconds(timeouts_.operation),
            [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
                auto* t = static_cast<Timer*>(data);
                t->expired = true;
                pa_threaded_mainloop_signal(t->loop, 0);
            },
            &timer);
        if (!event) return done();
        while (!done() && !timer.expired) pa_threaded_mainloop_wait(loop_);
        pa_threaded_mainloop_get_api(loop_)->time_free(event);
        return done();
    }

    void ConnectLocked() {
        ++connection_;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "vxmmon");
        if (!context_) return;  // out of memory: nothing to follow
        pa_context_set_state_callback(context_, &PulseSession::OnState, this);
        // Never start a server of our own: the user's session runs one or none.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            ConnectionFailedLocked(pa_strerror(pa_context_errno(context_)));
            return;
        }
        // A server that takes the connection and never answers counts as none.
        connecting_ = pa_context_rttime_new(
            context_, pa_rtclock_now() + Microseconds(kConnectLimit),
            [](pa_mainloop_api* api, pa_time_event* e, const struct timeval*, void* data) {
                auto* self = static_cast<PulseSession*>(data);
                api->time_free(e);
                self->connecting_ = nullptr;
                if (!self->ready_) self->ConnectionFailedLocked("it did not answer the connection");
            },
            this);
    }

    void StopConnectTimerLocked() {
        if (connecting_) pa_threaded_mainloop_get_api(loop_)->time_free(connecting_);
        connecting_ = nullptr;
    }

    void DropContextLocked() {
        StopConnectTimerLocked();
        if (!context_) return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
        snapshot_ = Pending{};
    }

    static void OnState(pa_context* c, void* data) {
        auto* self = static_cast<PulseSession*>(data);
        switch (pa_context_get_state(c)) {
            case PA_CONTEXT_READY: {
                pa_context_set_subscribe_callback(c, &PulseSession::OnEvent, self);
                const auto mask =
                    static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
                if (pa_operation* op = pa_context_subscribe(c, mask, nullptr, nullptr)) pa_operation_unref(op);
                // After the subscription: what changes from here on is reported after the snapshot.
                self->RequestSnapshotLocked();
                return;
            }
            case PA_CONTEXT_FAILED:
            case PA_CONTEXT_TERMINATED:
                self->ConnectionFailedLocked(pa_strerror(pa_context_errno(c)));
                return;
            default:
                return;
        }
    }

    // The connection failed or was lost: said and reported once, then made
    // again after the back-off. The context stays until then (its clock
    // times the retry).
    void ConnectionFailedLocked(const std::string& why) {
        StopConnectTimerLocked();
        ready_ = false;
        snapshot_ = Pending{};
        pa_context_set_state_callback(context_, nullptr, nullptr);
        if (!lostSaid_) {
            lostSaid_ = true;
            Say((connectedOnce_ ? "sound server gone: " : "no sound server: ") + why);
            AudioEvent lost;
            lost.kind = AudioEvent::Kind::Lost;
            lost.reason = Utf16(why);
            Report(lost);
        }
        ScheduleRetryLocked();
        pa_threaded_mainloop_signal(loop_, 0);
    }

    // Not on the loop's thread: the server did not answer in time. The
    // connection goes, so that nothing queued for it is carried out later.
    void GiveUpLocked(std::uint64_t connection) {
        if (!context_ || !ready_ || connection != connection_) return;
        const std::string why = "it did not answer within " + std::to_string(timeouts_.operation.count()) + " ms";
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        ConnectionFailedLocked(why);
    }

    void ScheduleRetryLocked() {
        if (retry_ || closing_ || !context_) return;
        retry_ = pa_context_rttime_new(
            context_, pa_rtclock_now() + Microseconds(backoff_),
            [](pa_mainloop_api* api, pa_time_event* e, const struct timeval*, void* data) {
                auto* self = static_cast<PulseSession*>(data);
                api->time_free(e);
                self->retry_ = nullptr;
                self->DropContextLocked();
                self->ConnectLocked();
            },
            this);
        backoff_ = std::min(backoff_ * 2, timeouts_.lastRetry);
    }

    // What a snapshot collects until both its answers are in.
    struct Pending {
        bool active = false;
        bool haveServer = false;
        bool haveSources = false;
        AudioEvent event;
    };

    void RequestSnapshotLocked() {
        if (snapshot_.active || !context_) return;
        snapshot_ = Pending{};
        snapshot_.active = true;
        snapshot_.event.kind = AudioEvent::Kind::Snapshot;
        snapshotIndexes_.clear();
        pa_operation* server = pa_context_get_server_info(
            context_,
            [](pa_context*, const pa_server_info* info, void* data) {
                auto* self = static_cast<PulseSession*>(data);
                if (!self->snapshot_.active) return;
                self->snapshot_.haveServer = true;
                if (info && info->default_source_name) self->snapshot_.event.defaultId = Utf16(info->default_source_name);
                self->FinishSnapshotLocked();
            },
            this);
        pa_operation* sources = pa_context_get_source_info_list(
            context_,
            [](pa_context*, const pa_source_info* info, int eol, void* data) {
                auto* self = static_cast<PulseSession*>(data);
                if (!self->snapshot_.active) return;
                if (eol < 0) {
                    self->snapshot_ = Pending{};
                    pa_threaded_mainloop_signal(self->loop_, 0);
                    return;
                }
                if (info) {
                    self->snapshot_.event.endpoints.push_back(EndpointOf(*info));
                    self->snapshotIndexes_.push_back(info->index);
                }
                if (eol > 0) {
                    self->snapshot_.haveSources = true;
                    self->FinishSnapshotLocked();
                }
            },
            this);
        if (!server || !sources) snapshot_ = Pending{};
        if (server) pa_operation_unref(server);
        if (sources) pa_operation_unref(sources);
    }

    void FinishSnapshotLocked() {
        if (!snapshot_.haveServer || !snapshot_.haveSources) return;
        const AudioEvent event = std::move(snapshot_.event);
        snapshot_ = Pending{};
        sources_.clear();
        for (std::size_t i = 0; i < event.endpoints.size() && i < snapshotIndexes_.size(); ++i) {
            sources_[snapshotIndexes_[i]] = event.endpoints[i];
        }
        defaultName_ = event.defaultId;
        StopConnectTimerLocked();
        if (lostSaid_) Say("sound server back");
        lostSaid_ = false;
        connectedOnce_ = true;
        ready_ = true;
        backoff_ = timeouts_.firstRetry;
        Report(event);
        ++snapshots_;
        pa_threaded_mainloop_signal(loop_, 0);
    }

    static void OnEvent(pa_context* c, pa_subscription_event_type_t type, std::uint32_t index, void* data) {
        auto* self = static_cast<PulseSession*>(data);
        const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SOURCE) {
            if (kind == PA_SUBSCRIPTION_EVENT_REMOVE) {
                const auto known = self->sources_.find(index);
                if (known == self->sources_.end()) return;
                AudioEvent removed;
                removed.kind = AudioEvent::Kind::Removed;
                removed.endpoint = known->second;
                self->sources_.erase(known);
                self->Report(removed);
                return;
            }
            // A new source, or a change of one (its mute, its state, its volume ...).
            pa_operation* op = pa_context_get_source_info_by_index(
                c, index,
                [](pa_context*, const pa_source_info* info, int, void* d) {
                    if (!info) return;
                    auto* s = static_cast<PulseSession*>(d);
                    const CaptureEndpoint e = EndpointOf(*info);
                    const auto known = s->sources_.find(info->index);
                    if (known != s->sources_.end() && Same(known->second, e)) return;
                    s->sources_[info->index] = e;
                    AudioEvent changed;
                    changed.kind = AudioEvent::Kind::Changed;
                    changed.endpoint = e;
                    s->Report(changed);
                },
                self);
            if (op) pa_operation_unref(op);
        } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
            // The default may have moved to another source.
            pa_operation* op = pa_context_get_server_info(
                c,
                [](pa_context*, const pa_server_info* info, void* d) {
                    if (!info) return;
                    auto* s = static_cast<PulseSession*>(d);
                    const u16 name = Utf16(info->default_source_name ? info->default_source_name : "");
                    if (name == s->defaultName_) return;
                    s->defaultName_ = name;
                    AudioEvent moved;
                    moved.kind = AudioEvent::Kind::DefaultChanged;
                    moved.defaultId = name;
                    s->Report(moved);
                },
                self);
            if (op) pa_operation_unref(op);
        }
    }

    PulseTimeouts timeouts_;
    std::function<void(const std::string&)> say_;
    platform::AudioEventSink sink_;
    pa_threaded_mainloop* loop_;
    bool running_ = false;
    bool closing_ = false;
    pa_context* context_ = nullptr;
    bool ready_ = false;          // connected, and the first snapshot reported
    bool connectedOnce_ = false;  // there was a server
    bool lostSaid_ = false;       // its loss was said and reported, and it is not back
    std::chrono::milliseconds backoff_;
    pa_time_event* retry_ = nullptr;
    pa_time_event* connecting_ = nullptr;
    std::uint64_t connection_ = 0;  // counts the connections made
    Pending snapshot_;
    std::vector<std::uint32_t> snapshotIndexes_;
    std::uint64_t snapshots_ = 0;
    // Each source as last reported, by its index (a removal names only that).
    std::map<std::uint32_t, CaptureEndpoint> sources_;
    u16 defaultName_;
};

}  // namespace

PulseAudio::PulseAudio(PulseTimeouts timeouts, std::function<void(const std::string&)> say)
    : timeouts_(timeouts), say_(std::move(say)) {}

PulseAudio::~PulseAudio() = default;

std::unique_ptr<platform::ICaptureEndpoints> PulseAudio::Open(platform::AudioEventSink sink) {
    return PulseSession::Start(timeouts_, say_, std::move(sink));
}

}  // namespace vxm::linuxos
