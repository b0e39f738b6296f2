#pragma once
// What an object posts to the main loop for itself runs only while that
// object lives: it keeps a Lifetime and posts through it, and the posted call
// holds the lifetime weakly.
#include <functional>
#include <memory>

#include "platform/linux/main_loop_linux.h"

namespace vxm::linuxos {

class Lifetime {
public:
    // False, and `call` never runs, when the loop refused it.
    bool Post(MainLoop& loop, std::function<void()> call) const {
        std::weak_ptr<const char> alive = token_;
        return loop.Post([alive = std::move(alive), call = std::move(call)] {
            if (alive.lock()) call();
        });
    }
    // What was posted and has not run yet runs no more.
    void End() { token_.reset(); }

private:
    std::shared_ptr<const char> token_ = std::make_shared<const char>('\0');
};

}  // namespace vxm::linuxos
