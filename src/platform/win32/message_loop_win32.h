#pragma once
// The calling thread's message loop.
#include "platform/message_loop.h"

namespace vxm::win32 {

class MessageLoop final : public platform::IMessageLoop {
public:
    // Dispatches until Terminate on this thread; a WM_QUIT that someone
    // else posted is dropped.
    void Run();
    void ProcessMessages() override;
    void Terminate() override;
};

}  // namespace vxm::win32
