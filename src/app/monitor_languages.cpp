#include "app/monitor_languages.h"

#include "app/monitor_language_data.h"

namespace vxm::app {

MonitorLanguages::MonitorLanguages(LanguageDependencies deps) : languages_(nullptr, std::move(deps)) {
    // The built-in languages after those of "ui.local", as the window reads
    // them; nothing is applied to the translation state.
    try {
        languages_.ReadResources(kMonitorResourcesBin, kMonitorResourcesBinSize);
    } catch (const std::exception&) {
        // Built in and checked by the tests: never malformed.
    }
}

std::vector<u16> MonitorLanguages::Names() const {
    std::vector<u16> names;
    for (std::size_t i = 0; i < languages_.LanguageCount(); ++i) names.push_back(languages_.LanguageName(i));
    return names;
}

std::uint8_t MonitorLanguages::LocaleChoice() {
    const int index = IndexOf(languages_.GetUserLanguageCode() == u"ch" ? u"CH" : u"US");
    return index >= 0 && index <= 0xFF ? static_cast<std::uint8_t>(index) : 0;
}

}  // namespace vxm::app
