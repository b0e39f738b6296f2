#include "platform/linux/audio_linux.h"

#include <pulse/pulseaudio.h>

#include <string>

namespace vxm::linuxos {
namespace {

constexpr char kDefaultSource[] = "@DEFAULT_SOURCE@";

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

struct SourceState {
    bool found = false;
    std::uint32_t index = PA_INVALID_INDEX;
    std::string name;
    bool mute = false;
};

}  // namespace

// One connection to the server with its own loop thread.
class PulseClient {
public:
    static std::unique_ptr<PulseClient> Create(PulseTimeouts timeouts) {
        std::unique_ptr<PulseClient> client(new PulseClient(timeouts));
        if (!client->loop_ || pa_threaded_mainloop_start(client->loop_) < 0) return nullptr;
        client->running_ = true;
        return client;
    }

    ~PulseClient() {
        if (loop_) {
            {
                Locked lock(loop_);
                listener_ = nullptr;
                DropContext();  // cancels what is pending: no callback reaches us afterwards
            }
            if (running_) pa_threaded_mainloop_stop(loop_);
            pa_threaded_mainloop_free(loop_);
        }
    }
    PulseClient(const PulseClient&) = delete;
    PulseClient& operator=(const PulseClient&) = delete;

    // The default source as the server names it now.
    bool QueryDefault(SourceState& out) {
        if (OnLoopThread()) return false;
        Locked lock(loop_);
        if (!ReadyLocked()) return false;
        struct Request {
            explicit Request(pa_threaded_mainloop* l) : loop(l) {}
            pa_threaded_mainloop* loop;
            bool finished = false;
            SourceState state;
        } request(loop_);
        auto callback = [](pa_context*, const pa_source_info* info, int eol, void* data) {
            auto* r = static_cast<Request*>(data);
            if (info && !r->state.found) {
                r->state.found = true;
                r->state.index = info->index;
                r->state.name = info->name ? info->name : "";
                r->state.mute = info->mute != 0;
            }
            if (eol != 0) r->finished = true;
            pa_threaded_mainloop_signal(r->loop, 0);
        };
        if (!Run(pa_context_get_source_info_by_name(context_, kDefaultSource, callback, &request), request.finished) ||
            !request.state.found) {
            return false;
        }
        defaultIndex_ = request.state.index;
        defaultName_ = request.state.name;
        out = request.state;
        return true;
    }

    bool SetDefaultMute(bool mute) {
        if (OnLoopThread()) return false;
        Locked lock(loop_);
        if (!ReadyLocked()) return false;
        Ack ack(loop_);
        return Run(pa_context_set_source_mute_by_name(context_, kDefaultSource, mute ? 1 : 0, &Ack::Done, &ack),
                   ack.finished) &&
               ack.success;
    }

    // Calls `listener` (on the loop thread) for each change of the default source.
    bool Listen(std::function<void(bool)> listener) {
        if (OnLoopThread()) return false;
        Locked lock(loop_);
        listener_ = std::move(listener);
        return ReadyLocked() && SubscribeLocked();
    }

    std::string DefaultName() const {
        Locked lock(loop_);
        return defaultName_;
    }

private:
    struct Ack {
        explicit Ack(pa_threaded_mainloop* l) : loop(l) {}
        pa_threaded_mainloop* loop;
        bool finished = false;
        bool success = false;
        static void Done(pa_context*, int success, void* data) {
            auto* a = static_cast<Ack*>(data);
            a->finished = true;
            a->success = success != 0;
            pa_threaded_mainloop_signal(a->loop, 0);
        }
    };

    explicit PulseClient(PulseTimeouts timeouts) : timeouts_(timeouts), loop_(pa_threaded_mainloop_new()) {}

    bool OnLoopThread() const { return !loop_ || pa_threaded_mainloop_in_thread(loop_); }

    // Waits (the lock held) until `done` answers true or `limit` passed.
    template <typename Done>
    bool WaitLocked(Done done, std::chrono::milliseconds limit) {
        struct Timer {
            explicit Timer(pa_threaded_mainloop* l) : loop(l) {}
            pa_threaded_mainloop* loop;
            bool expired = false;
        } timer(loop_);
        auto fire = [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
            auto* t = static_cast<Timer*>(data);
            t->expired = true;
            pa_threaded_mainloop_signal(t->loop, 0);
        };
        pa_time_event* event = pa_context_rttime_new(context_, pa_rtclock_now() + Microseconds(limit), fire, &timer);
        if (!event) return done();
        while (!done() && !timer.expired) pa_threaded_mainloop_wait(loop_);
        pa_threaded_mainloop_get_api(loop_)->time_free(event);
        return done();
    }

    // Waits for an operation's callback to set `finished`; an operation not
    // finished in time is cancelled, so its callback never runs later.
    bool Run(pa_operation* op, const bool& finished) {
        if (!op) return false;
        WaitLocked(
            [&] {
                return finished || pa_operation_get_state(op) != PA_OPERATION_RUNNING ||
                       !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_));
            },
            timeouts_.operation);
        if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
        pa_operation_unref(op);
        return finished;
    }

    bool ReadyLocked() {
        if (context_ && pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
        DropContext();
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "vxmmon");
        if (!context_) return false;
        pa_context_set_state_callback(
            context_, [](pa_context*, void* data) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(data), 0); },
            loop_);
        // Never start a server of our own: the user's session runs one or none.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            DropContext();
            return false;
        }
        WaitLocked(
            [this] {
                const pa_context_state_t s = pa_context_get_state(context_);
                return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
            },
            timeouts_.connect);
        if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
            DropContext();
            return false;
        }
        // A connection made again keeps following the default source.
        if (listener_) SubscribeLocked();
        return true;
    }

    bool SubscribeLocked() {
        pa_context_set_subscribe_callback(context_, &PulseClient::OnEvent, this);
        Ack ack(loop_);
        const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
        return Run(pa_context_subscribe(context_, mask, &Ack::Done, &ack), ack.finished) && ack.success;
    }

    void DropContext() {
        if (!context_) return;
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }

    void Notify() {
        if (!listener_) return;
        listener_(true);
        if (listener_) listener_(false);
    }

    // On the loop thread, with the lock held.
    static void OnEvent(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index, void* data) {
        auto* self = static_cast<PulseClient*>(data);
        const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SOURCE && kind == PA_SUBSCRIPTION_EVENT_CHANGE &&
            index == self->defaultIndex_) {
            self->Notify();
        } else if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
            // The default may have moved to another source: ask which it is now.
            if (pa_operation* op = pa_context_get_source_info_by_name(context, kDefaultSource, &PulseClient::OnDefault, self)) {
                pa_operation_unref(op);
            }
        }
    }

    static void OnDefault(pa_context*, const pa_source_info* info, int, void* data) {
        auto* self = static_cast<PulseClient*>(data);
        if (!info) return;
        const std::string name = info->name ? info->name : "";
        if (info->index == self->defaultIndex_ && name == self->defaultName_) return;
        self->defaultIndex_ = info->index;
        self->defaultName_ = name;
        self->Notify();
    }

    PulseTimeouts timeouts_;
    pa_threaded_mainloop* loop_;
    bool running_ = false;
    pa_context* context_ = nullptr;
    std::function<void(bool)> listener_;
    std::uint32_t defaultIndex_ = PA_INVALID_INDEX;
    std::string defaultName_;
};

namespace {

class Endpoint final : public platform::IAudioEndpoint {
public:
    explicit Endpoint(std::unique_ptr<PulseClient> client) : client_(std::move(client)) {}
    u16 Id() const override { return Utf16(client_->DefaultName()); }
    bool GetMute(bool& muted) override {
        SourceState state;
        if (!client_->QueryDefault(state)) return false;
        muted = state.mute;
        return true;
    }
    bool SetMute(bool muted) override { return client_->SetDefaultMute(muted); }

private:
    std::unique_ptr<PulseClient> client_;
};

}  // namespace

PulseAudio::PulseAudio(PulseTimeouts timeouts) : timeouts_(timeouts) {}

PulseAudio::~PulseAudio() = default;

std::unique_ptr<platform::IAudioEndpoint> PulseAudio::BindDefaultCapture(std::function<void(bool)> onNotify) {
    std::unique_ptr<PulseClient> client = PulseClient::Create(timeouts_);
    SourceState state;
    if (!client || !client->QueryDefault(state)) return nullptr;
    // As with the Windows callback, a registration that fails is not an error.
    client->Listen(std::move(onNotify));
    return std::make_unique<Endpoint>(std::move(client));
}

u16 PulseAudio::DefaultCaptureId() {
    if (!query_) query_ = PulseClient::Create(timeouts_);
    SourceState state;
    if (!query_ || !query_->QueryDefault(state)) return u16();
    return Utf16(state.name);
}

}  // namespace vxm::linuxos
