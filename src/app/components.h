#pragma once
// Component basics shared by the monitor shell and the subsystems it owns.
#include <cstdint>
#include <functional>

#include "common/text.h"

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

// What the main window asks of its language component.
class ILanguageComponent {
public:
    virtual ~ILanguageComponent() = default;
    virtual u16 Lang() const = 0;
    virtual int GetLanguageIndexByShortID(u16view shortId) const = 0;
    virtual u16 GetLanguageShortIDByIndex(int index) const = 0;
    virtual void SetLang(u16view shortId) = 0;
};

}  // namespace vxm::app
