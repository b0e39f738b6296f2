#pragma once
// The calling thread's message loop.
#include <windows.h>

#include "platform/message_loop.h"

namespace vxm::win32 {

// A WM_TIMER that carries a timer procedure: never dispatched on a thread
// that made a MessageLoop, whichever loop takes it.
bool ForgedTimerMessage(const MSG& msg);

class MessageLoop final : public platform::IMessageLoop {
public:
    // Makes every message loop of the calling thread drop forged timer messages.
    MessageLoop();
    // Dispatches until Terminate on this thread, also when a loop nested in
    // a handler took the quit; a WM_QUIT that someone else posted is dropped.
    void Run();
    void ProcessMessages() override;
    void Terminate() override;
};

}  // namespace vxm::win32
