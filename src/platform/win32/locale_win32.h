#pragma once
// National language support on Windows.
#include "platform/locale.h"

namespace vxm::win32 {

class NationalLanguage final : public platform::INationalLanguage {
public:
    int Compare(u16view a, u16view b, bool ignoreCase) override;
    std::vector<platform::LocaleEntry> SupportedLocales() override;
    std::uint32_t UserDefaultLCID() override;
    std::uint16_t SystemDefaultLangID() override;
    u16 LanguageAbbreviation(std::uint32_t lcid) override;
};

}  // namespace vxm::win32
