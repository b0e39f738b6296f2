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
    // Where no configuration application sets them: the mute button (0 to
    // 18, or -1 for none) of the current profile, and setting it in all five
    // profiles or the language (an index of the language component's list)
    // in the store. A refusal (a damaged record, a store that cannot be
    // written) raises StoreError or RangeError and writes nothing.
    virtual int MuteButton() const = 0;
    virtual void SetMuteButton(int button) = 0;
    virtual void SetCurrentLanguage(std::uint8_t language) = 0;
    virtual u16 MuteTarget() const = 0;
    virtual int MuteOverlay() const = 0;
    virtual void LoadProfileGroupSettingInfoFromRegistry() = 0;
    virtual void LoadAllProfileInfoFromRegistry() = 0;
    virtual bool LoadCurrentProfileInfoFromRegistry() = 0;
    // What the user is told when start-up could not load the stored
    // settings; empty when it loaded them.
    virtual u16 StartupErrorText() const = 0;
};

}  // namespace vxm
