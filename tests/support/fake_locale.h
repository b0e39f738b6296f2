#pragma once
// National language support with ordinal comparison and a few locales.
#include <algorithm>

#include "platform/locale.h"

namespace vxm::fake {

class FakeNationalLanguage final : public platform::INationalLanguage {
public:
    int Compare(u16view a, u16view b, bool ignoreCase) override {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const char16_t x = ignoreCase ? AsciiLower(a[i]) : a[i];
            const char16_t y = ignoreCase ? AsciiLower(b[i]) : b[i];
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    std::vector<platform::LocaleEntry> SupportedLocales() override { return locales; }
    std::uint32_t UserDefaultLCID() override { return userLcid; }
    std::uint16_t SystemDefaultLangID() override { return systemLangId; }
    u16 LanguageAbbreviation(std::uint32_t lcid) override {
        for (const auto& [id, abbrev] : abbreviations) {
            if (id == lcid) return abbrev;
        }
        return u16();
    }

    std::vector<platform::LocaleEntry> locales = {
        {0x0409, u"0409", u"English (United States)", u"USA"},
        {0x0804, u"0804", u"Chinese (Simplified, PRC)", u"CHN"},
        {0x040A, u"040a", u"Spanish (Traditional Sort)", u"ESP"},
        {0x007F, u"007f", u"Invariant Language", std::nullopt}};
    std::vector<std::pair<std::uint32_t, u16>> abbreviations = {{0x0409, u"ENU"}, {0x0804, u"CHS"}, {0x040A, u"ESP"}};
    std::uint32_t userLcid = 0x0409;
    std::uint16_t systemLangId = 0x040A;
};

}  // namespace vxm::fake
