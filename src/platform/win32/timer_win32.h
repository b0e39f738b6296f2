#pragma once
// Timers of a window (SetTimer, WM_TIMER) and the tick count.
#include <windows.h>

#include <map>
#include <memory>

#include "platform/timer.h"

namespace vxm::win32 {

// The timers of one window, which hands its WM_TIMER to Fire. It outlives
// every timer it created.
class Timers {
public:
    explicit Timers(HWND window) : window_(window) {}
    Timers(const Timers&) = delete;
    Timers& operator=(const Timers&) = delete;

    std::unique_ptr<platform::ITimer> Create(unsigned intervalMs);
    // A WM_TIMER: raises the timer's OnTimer when the id is one of these
    // timers and it is enabled; anything else is ignored.
    void Fire(UINT_PTR id);

private:
    class Timer;
    HWND window_;
    std::map<UINT_PTR, Timer*> timers_;
    UINT_PTR nextId_ = 1;
};

class Ticks final : public platform::ITicks {
public:
    std::uint32_t TickCount() override { return GetTickCount(); }
    void Sleep(unsigned ms) override { ::Sleep(ms); }
};

}  // namespace vxm::win32
