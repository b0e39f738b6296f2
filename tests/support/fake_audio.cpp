#include "support/fake_audio.h"

namespace vxm::fake {
namespace {

class BoundEndpoint final : public platform::IAudioEndpoint {
public:
    BoundEndpoint(u16 id, std::shared_ptr<FakeCoreAudio::Endpoint> state, std::function<void(bool)> notify)
        : id_(std::move(id)), state_(std::move(state)), notify_(std::move(notify)) {}
    u16 Id() const override { return id_; }
    bool GetMute(bool& muted) override {
        ++state_->getMuteCalls;
        if (state_->getMuteFails) return false;
        muted = state_->muted;
        return true;
    }
    bool SetMute(bool muted) override {
        ++state_->setMuteCalls;
        if (state_->setMuteFails) return false;
        if (notify_) notify_(true);
        state_->muted = muted;
        if (notify_) notify_(false);
        return true;
    }

private:
    u16 id_;
    std::shared_ptr<FakeCoreAudio::Endpoint> state_;
    std::function<void(bool)> notify_;
};

}  // namespace

std::unique_ptr<platform::IAudioEndpoint> FakeCoreAudio::BindDefaultCapture(std::function<void(bool)> onNotify) {
    ++binds;
    if (defaultId.empty()) return nullptr;
    notify = onNotify;
    return std::make_unique<BoundEndpoint>(defaultId, endpoints.at(defaultId), std::move(onNotify));
}

}  // namespace vxm::fake
