#include "platform/win32/timer_win32.h"

namespace vxm::win32 {

class Timers::Timer final : public platform::ITimer {
public:
    Timer(Timers& owner, unsigned intervalMs) : owner_(owner), interval_(intervalMs), id_(owner.nextId_++) {
        owner_.timers_[id_] = this;
    }
    ~Timer() override {
        SetEnabled(false);
        owner_.timers_.erase(id_);
    }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void SetEnabled(bool enabled) override {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        if (enabled) {
            SetTimer(owner_.window_, id_, interval_, nullptr);
        } else {
            KillTimer(owner_.window_, id_);
        }
    }
    bool Enabled() const override { return enabled_; }

private:
    Timers& owner_;
    unsigned interval_;
    UINT_PTR id_;
    bool enabled_ = false;
};

std::unique_ptr<platform::ITimer> Timers::Create(unsigned intervalMs) {
    return std::make_unique<Timer>(*this, intervalMs);
}

void Timers::Fire(UINT_PTR id) {
    const auto it = timers_.find(id);
    if (it != timers_.end() && it->second->Enabled() && it->second->OnTimer) it->second->OnTimer();
}

}  // namespace vxm::win32
