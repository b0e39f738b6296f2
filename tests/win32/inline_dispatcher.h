#pragma once
// Runs hand-overs at once on the calling thread: for test programs whose
// reports may be handled on the read thread.
#include "platform/dispatcher.h"

namespace vxm::testing {

struct InlineDispatcher final : platform::IMainThreadDispatcher {
    platform::HandOver RunOnMainThread(const std::function<void()>& call, const std::function<bool()>&) override {
        call();
        return platform::HandOver::Ran;
    }
};

}  // namespace vxm::testing
