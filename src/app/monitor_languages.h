#pragma once
// The languages as the monitor's language component lists them ("ui.local"
// in the program's folder first, then the built-in ones), for what chooses
// one without the monitor's window: the command line acting on the store,
// and the factory settings of a platform without a configuration
// application.
#include <cstdint>
#include <vector>

#include "lang/language.h"

namespace vxm::app {

class MonitorLanguages {
public:
    explicit MonitorLanguages(LanguageDependencies deps);

    std::vector<u16> Names() const;
    // The place of the language of that name (without regard to case), -1 when there is none.
    int IndexOf(u16view name) const { return languages_.GetLanguageIndexByShortID(name); }
    // The language a first start chooses from the user's locale where no
    // configuration application sets it: "CH" for a Chinese locale, "US" for
    // every other; the first language (the factory's) when the list lacks it.
    std::uint8_t LocaleChoice();

private:
    TuiLanguage languages_;
};

}  // namespace vxm::app
