#pragma once
// What the monitor's main window reads from the profile manager and asks it
// to reload.
#include <cstdint>

#include "common/text.h"
#include "platform/hid.h"
#include "profile/records.h"

namespace vxm {

using platform::USAGE_AND_PAGE;

class IProfileSettings {
public:
    virtual ~IProfileSettings() = default;
    virtual std::uint8_t CurrentLanguage() const = 0;
    virtual USAGE_AND_PAGE DeviceUsageAndPage() const = 0;
    virtual const TMouseProfileInfo& CurrentProfile() const = 0;
    virtual u16 ProfileRegFolder() const = 0;
    // config.ini's MuteIndicator, MuteSound, MuteTarget and MuteOverlay.
    virtual bool MuteIndicator() const = 0;
    virtual bool MuteSound() const = 0;
    virtual u16 MuteTarget() const = 0;
    virtual int MuteOverlay() const = 0;
    virtual void LoadProfileGroupSettingInfoFromRegistry() = 0;
    virtual void LoadAllProfileInfoFromRegistry() = 0;
    virtual bool LoadCurrentProfileInfoFromRegistry() = 0;
};

}  // namespace vxm
