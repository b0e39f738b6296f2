#include "platform/linux/locale_linux.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <fstream>

namespace vxm::linuxos {
namespace {

struct KnownLocale {
    const char* posix;  // language_TERRITORY
    std::uint32_t lcid;
    const char16_t* name;     // LOCALE_SLANGUAGE
    const char16_t* country;  // LOCALE_SABBREVCTRYNAME
    const char16_t* language; // LOCALE_SABBREVLANGNAME
};

// The first entry of a language is the one its bare name ("de") stands for.
constexpr KnownLocale kLocales[] = {
    {"en_US", 0x0409, u"English (United States)", u"USA", u"ENU"},
    {"en_GB", 0x0809, u"English (United Kingdom)", u"GBR", u"ENG"},
    {"en_AU", 0x0C09, u"English (Australia)", u"AUS", u"ENA"},
    {"en_CA", 0x1009, u"English (Canada)", u"CAN", u"ENC"},
    {"en_NZ", 0x1409, u"English (New Zealand)", u"NZL", u"ENZ"},
    {"en_IE", 0x1809, u"English (Ireland)", u"IRL", u"ENI"},
    {"en_IN", 0x4009, u"English (India)", u"IND", u"ENN"},
    {"zh_CN", 0x0804, u"Chinese (Simplified, PRC)", u"CHN", u"CHS"},
    {"zh_TW", 0x0404, u"Chinese (Traditional, Taiwan)", u"TWN", u"CHT"},
    {"zh_HK", 0x0C04, u"Chinese (Traditional, Hong Kong S.A.R.)", u"HKG", u"ZHH"},
    {"zh_SG", 0x1004, u"Chinese (Simplified, Singapore)", u"SGP", u"ZHI"},
    {"ja_JP", 0x0411, u"Japanese (Japan)", u"JPN", u"JPN"},
    {"ko_KR", 0x0412, u"Korean (Korea)", u"KOR", u"KOR"},
    {"de_DE", 0x0407, u"German (Germany)", u"DEU", u"DEU"},
    {"de_AT", 0x0C07, u"German (Austria)", u"AUT", u"DEA"},
    {"de_CH", 0x0807, u"German (Switzerland)", u"CHE", u"DES"},
    {"fr_FR", 0x040C, u"French (France)", u"FRA", u"FRA"},
    {"fr_BE", 0x080C, u"French (Belgium)", u"BEL", u"FRB"},
    {"fr_CA", 0x0C0C, u"French (Canada)", u"CAN", u"FRC"},
    {"fr_CH", 0x100C, u"French (Switzerland)", u"CHE", u"FRS"},
    {"es_ES", 0x0C0A, u"Spanish (Spain, International Sort)", u"ESP", u"ESN"},
    {"es_MX", 0x080A, u"Spanish (Mexico)", u"MEX", u"ESM"},
    {"es_AR", 0x2C0A, u"Spanish (Argentina)", u"ARG", u"ESS"},
    {"it_IT", 0x0410, u"Italian (Italy)", u"ITA", u"ITA"},
    {"pt_BR", 0x0416, u"Portuguese (Brazil)", u"BRA", u"PTB"},
    {"pt_PT", 0x0816, u"Portuguese (Portugal)", u"PRT", u"PTG"},
    {"nl_NL", 0x0413, u"Dutch (Netherlands)", u"NLD", u"NLD"},
    {"nl_BE", 0x0813, u"Dutch (Belgium)", u"BEL", u"NLB"},
    {"ru_RU", 0x0419, u"Russian (Russia)", u"RUS", u"RUS"},
    {"uk_UA", 0x0422, u"Ukrainian (Ukraine)", u"UKR", u"UKR"},
    {"be_BY", 0x0423, u"Belarusian (Belarus)", u"BLR", u"BEL"},
    {"pl_PL", 0x0415, u"Polish (Poland)", u"POL", u"PLK"},
    {"cs_CZ", 0x0405, u"Czech (Czech Republic)", u"CZE", u"CSY"},
    {"sk_SK", 0x041B, u"Slovak (Slovakia)", u"SVK", u"SKY"},
    {"hu_HU", 0x040E, u"Hungarian (Hungary)", u"HUN", u"HUN"},
    {"ro_RO", 0x0418, u"Romanian (Romania)", u"ROM", u"ROM"},
    {"bg_BG", 0x0402, u"Bulgarian (Bulgaria)", u"BGR", u"BGR"},
    {"hr_HR", 0x041A, u"Croatian (Croatia)", u"HRV", u"HRV"},
    {"sl_SI", 0x0424, u"Slovenian (Slovenia)", u"SVN", u"SLV"},
    {"el_GR", 0x0408, u"Greek (Greece)", u"GRC", u"ELL"},
    {"tr_TR", 0x041F, u"Turkish (Turkey)", u"TUR", u"TRK"},
    {"sv_SE", 0x041D, u"Swedish (Sweden)", u"SWE", u"SVE"},
    {"da_DK", 0x0406, u"Danish (Denmark)", u"DNK", u"DAN"},
    {"nb_NO", 0x0414, u"Norwegian, Bokm\u00e5l (Norway)", u"NOR", u"NOR"},
    {"fi_FI", 0x040B, u"Finnish (Finland)", u"FIN", u"FIN"},
    {"et_EE", 0x0425, u"Estonian (Estonia)", u"EST", u"ETI"},
    {"lv_LV", 0x0426, u"Latvian (Latvia)", u"LVA", u"LVI"},
    {"lt_LT", 0x0427, u"Lithuanian (Lithuania)", u"LTU", u"LTH"},
    {"he_IL", 0x040D, u"Hebrew (Israel)", u"ISR", u"HEB"},
    {"ar_SA", 0x0401, u"Arabic (Saudi Arabia)", u"SAU", u"ARA"},
    {"hi_IN", 0x0439, u"Hindi (India)", u"IND", u"HIN"},
    {"th_TH", 0x041E, u"Thai (Thailand)", u"THA", u"THA"},
    {"vi_VN", 0x042A, u"Vietnamese (Vietnam)", u"VNM", u"VIT"},
    {"id_ID", 0x0421, u"Indonesian (Indonesia)", u"IDN", u"IND"},
    {"ms_MY", 0x043E, u"Malay (Malaysia)", u"MYS", u"MSL"},
};

constexpr std::uint32_t kEnglishUnitedStates = 0x0409;

u16 Hex4(std::uint32_t v) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    u16 out(4, u'0');
    for (int i = 3; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = kHex[v & 15];
        v >>= 4;
    }
    return out;
}

// LANG=... of a shell-style settings file; empty when it has none.
std::string LangOfFile(const char* path) {
    std::ifstream in(path);
    std::string line, found;
    for (int n = 0; n < 1000 && std::getline(in, line); ++n) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 5, "LANG=") != 0) continue;
        std::string value = line.substr(start + 5);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        found = value;
    }
    return found;
}

// UTF-32 of a UTF-16 text; unpaired surrogates become U+FFFD.
std::wstring Wide(u16view s, bool fold, locale_t loc) {
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        auto w = static_cast<wchar_t>(c);
        if (fold) w = loc ? static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(w), loc)) : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(w)));
        out.push_back(w);
    }
    return out;
}

}  // namespace

LocaleSettings LocaleSettings::FromEnvironment() {
    LocaleSettings s;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            s.user = v;
            break;
        }
    }
    s.system = LangOfFile("/etc/default/locale");
    if (s.system.empty()) s.system = LangOfFile("/etc/locale.conf");
    return s;
}

std::uint32_t LcidOfLocaleName(const std::string& name) {
    // "ll_TT.codeset@modifier": language and territory are what counts.
    const std::string base = name.substr(0, name.find_first_of(".@"));
    std::string language = base.substr(0, base.find('_'));
    const std::string territory = base.find('_') == std::string::npos ? std::string() : base.substr(base.find('_') + 1);
    for (char& c : language) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    // Older names of the same languages.
    if (language == "no" || language == "nn") language = "nb";
    if (language == "iw") language = "he";
    if (language == "in") language = "id";
    const std::string wanted = language + "_" + territory;
    for (const KnownLocale& l : kLocales) {
        if (wanted.size() == std::strlen(l.posix) && std::equal(wanted.begin(), wanted.end(), l.posix, [](char a, char b) {
                return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == (b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
            })) {
            return l.lcid;
        }
    }
    for (const KnownLocale& l : kLocales) {
        if (language.size() == 2 && std::strncmp(l.posix, language.c_str(), 2) == 0) return l.lcid;
    }
    return kEnglishUnitedStates;
}

NationalLanguage::NationalLanguage(const LocaleSettings& settings)
    : userLcid_(LcidOfLocaleName(settings.user)), systemLcid_(LcidOfLocaleName(settings.system)) {
    // A locale that is not installed falls back to code point order.
    for (const char* name : {settings.collation.c_str(), "C.UTF-8", "C"}) {
        collation_ = ::newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(0));
        if (collation_) break;
    }
}

NationalLanguage::~NationalLanguage() {
    if (collation_) ::freelocale(collation_);
}

int NationalLanguage::Compare(u16view a, u16view b, bool ignoreCase) {
    const std::wstring wa = Wide(a, ignoreCase, collation_);
    const std::wstring wb = Wide(b, ignoreCase, collation_);
    if (!collation_) return wa < wb ? -1 : (wa == wb ? 0 : 1);
    // wcscoll stops at a NUL: compare piece by piece.
    std::size_t ia = 0, ib = 0;
    for (;;) {
        const int r = ::wcscoll_l(wa.c_str() + ia, wb.c_str() + ib, collation_);
        if (r != 0) return r < 0 ? -1 : 1;
        ia += std::wcslen(wa.c_str() + ia);
        ib += std::wcslen(wb.c_str() + ib);
        const bool endA = ia >= wa.size(), endB = ib >= wb.size();
        if (endA || endB) return endA && endB ? 0 : (endA ? -1 : 1);
        ++ia;
        ++ib;
    }
}

std::vector<platform::LocaleEntry> NationalLanguage::SupportedLocales() {
    std::vector<platform::LocaleEntry> out;
    out.reserve(std::size(kLocales));
    for (const KnownLocale& l : kLocales) out.push_back({l.lcid, Hex4(l.lcid & 0xFFFF), l.name, u16(l.country)});
    return out;
}

u16 NationalLanguage::LanguageAbbreviation(std::uint32_t lcid) {
    for (const KnownLocale& l : kLocales) {
        if (l.lcid == lcid) return l.language;
    }
    return u16();
}

}  // namespace vxm::linuxos
