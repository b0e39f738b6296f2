#include "platform/win32/locale_win32.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

thread_local std::vector<LCID>* g_enumerated = nullptr;

BOOL CALLBACK EnumLocaleProc(LPWSTR text) {
    if (g_enumerated && text) g_enumerated->push_back(static_cast<LCID>(wcstoul(text, nullptr, 16)));
    return TRUE;
}

u16 LocaleString(LCID lcid, LCTYPE type, int capacity, bool& ok) {
    std::wstring buffer(static_cast<std::size_t>(capacity), L'\0');
    const int n = GetLocaleInfoW(lcid, type, buffer.data(), capacity);
    ok = n > 0;
    if (!ok) return u16();
    buffer.resize(static_cast<std::size_t>(n - 1));
    return U(buffer);
}

}  // namespace

int NationalLanguage::Compare(u16view a, u16view b, bool ignoreCase) {
    const int r = CompareStringW(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0,
                                 reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                                 reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()));
    if (r == 0) return a < b ? -1 : (a == b ? 0 : 1);  // no comparison: fall back to code units
    return r - CSTR_EQUAL;
}

std::vector<platform::LocaleEntry> NationalLanguage::SupportedLocales() {
    std::vector<LCID> ids;
    g_enumerated = &ids;
    EnumSystemLocalesW(EnumLocaleProc, LCID_SUPPORTED);
    g_enumerated = nullptr;
    std::vector<platform::LocaleEntry> out;
    for (LCID id : ids) {
        bool ok = false;
        platform::LocaleEntry e;
        e.lcid = id;
        e.langIdText = LocaleString(id, LOCALE_ILANGUAGE, 1024, ok);
        e.displayName = LocaleString(id, LOCALE_SLANGUAGE, 1024, ok);
        bool readable = false;
        u16 country = LocaleString(id, LOCALE_SABBREVCTRYNAME, 1024, readable);
        if (readable) e.abbrevCountry = std::move(country);
        out.push_back(std::move(e));
    }
    return out;
}

std::uint32_t NationalLanguage::UserDefaultLCID() { return GetUserDefaultLCID(); }
std::uint16_t NationalLanguage::SystemDefaultLangID() { return GetSystemDefaultLangID(); }

u16 NationalLanguage::LanguageAbbreviation(std::uint32_t lcid) {
    bool ok = false;
    return LocaleString(lcid, LOCALE_SABBREVLANGNAME, 4, ok);
}

}  // namespace vxm::win32
