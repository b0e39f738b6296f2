#pragma once
// The main thread's message loop, as the logic running inside it sees it.
namespace vxm::platform {

class IMessageLoop {
public:
    virtual ~IMessageLoop() = default;
    // Handles what is waiting now and returns; a request to end the loop
    // stays for the loop itself.
    virtual void ProcessMessages() = 0;
    // Ends the loop once the current message has been handled.
    virtual void Terminate() = 0;
};

}  // namespace vxm::platform
