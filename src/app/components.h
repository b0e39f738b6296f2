#pragma once
// Component basics shared by the monitor shell and the subsystems it owns.
#include <cstdint>
#include <functional>

namespace vxm::app {

class IComponent {
public:
    virtual ~IComponent() = default;
};

struct USAGE_AND_PAGE {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
};

class ITimer : public IComponent {
public:
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    std::function<void()> OnTimer;
};

}  // namespace vxm::app
