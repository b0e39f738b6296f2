#pragma once
// National language support: locale-aware comparison, the supported locales,
// the user's and the system's defaults.
#include <cstdint>
#include <optional>
#include <vector>

#include "common/text.h"

namespace vxm::platform {

struct LocaleEntry {
    std::uint32_t lcid = 0;
    u16 langIdText;   // LOCALE_ILANGUAGE as the platform writes it, e.g. "0409", "040a"
    u16 displayName;  // LOCALE_SLANGUAGE
    // LOCALE_SABBREVCTRYNAME ("USA"), none when it cannot be read at all.
    std::optional<u16> abbrevCountry;

    // Whether the abbreviated country name, with its terminating NUL, can be
    // read into a buffer of `capacity` characters.
    bool AbbrevCountryFits(std::size_t capacity) const {
        return abbrevCountry && abbrevCountry->size() < capacity;
    }
};

class INationalLanguage {
public:
    virtual ~INationalLanguage() = default;
    // CompareStringW for the user's default locale: <0, 0, >0.
    virtual int Compare(u16view a, u16view b, bool ignoreCase) = 0;
    virtual std::vector<LocaleEntry> SupportedLocales() = 0;
    virtual std::uint32_t UserDefaultLCID() = 0;
    virtual std::uint16_t SystemDefaultLangID() = 0;
    // LOCALE_SABBREVLANGNAME read into 4 characters ("ENU", "CHS"); empty on failure.
    virtual u16 LanguageAbbreviation(std::uint32_t lcid) = 0;
};

}  // namespace vxm::platform
