#pragma once
// National language support on Linux. Comparison follows the user's
// collation (LC_COLLATE as the environment sets it, through wcscoll_l). The
// supported locales are a fixed table of the common Windows locales, with
// Windows' own numbers, names and abbreviations, so a language's LANGID text
// ("0409") means the same on both systems; the user's locale (LC_ALL, else
// LC_MESSAGES, else LANG) and the system's (LANG in /etc/default/locale or
// /etc/locale.conf) map onto it by language and territory, else by language
// alone, else to English (United States).
#include <locale.h>

#include <string>

#include "platform/locale.h"

namespace vxm::linuxos {

struct LocaleSettings {
    std::string collation;  // a locale name for newlocale; "" takes the environment's
    std::string user;       // "de_DE.UTF-8" and the like
    std::string system;
    // What this process and this machine are set to.
    static LocaleSettings FromEnvironment();
};

class NationalLanguage final : public platform::INationalLanguage {
public:
    explicit NationalLanguage(const LocaleSettings& settings = LocaleSettings::FromEnvironment());
    ~NationalLanguage() override;
    NationalLanguage(const NationalLanguage&) = delete;
    NationalLanguage& operator=(const NationalLanguage&) = delete;

    int Compare(u16view a, u16view b, bool ignoreCase) override;
    std::vector<platform::LocaleEntry> SupportedLocales() override;
    std::uint32_t UserDefaultLCID() override { return userLcid_; }
    std::uint16_t SystemDefaultLangID() override { return static_cast<std::uint16_t>(systemLcid_ & 0xFFFF); }
    u16 LanguageAbbreviation(std::uint32_t lcid) override;

private:
    locale_t collation_ = static_cast<locale_t>(0);
    std::uint32_t userLcid_;
    std::uint32_t systemLcid_;
};

// The LCID of a POSIX locale name ("pt_BR.UTF-8@euro" and the like).
std::uint32_t LcidOfLocaleName(const std::string& name);

}  // namespace vxm::linuxos
