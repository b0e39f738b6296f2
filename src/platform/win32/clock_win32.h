#pragma once
// The local date and time from GetLocalTime.
#include "platform/clock.h"

namespace vxm::win32 {

class Clock final : public platform::IClock {
public:
    double LocalDateTime() override;
};

}  // namespace vxm::win32
