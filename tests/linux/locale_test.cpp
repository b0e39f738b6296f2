// Locales on Linux: Windows' numbers for the user's language, and a
// comparison fit for sorted tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/linux/locale_linux.h"

namespace vxm::linuxos {
namespace {

TEST(Locale, PosixNamesMapToWindowsLocales) {
    EXPECT_EQ(LcidOfLocaleName("de_DE.UTF-8"), 0x0407u);
    EXPECT_EQ(LcidOfLocaleName("de_AT.UTF-8@euro"), 0x0C07u);
    EXPECT_EQ(LcidOfLocaleName("de"), 0x0407u);
    EXPECT_EQ(LcidOfLocaleName("de_LU.UTF-8"), 0x0407u);  // an unlisted territory: the language
    EXPECT_EQ(LcidOfLocaleName("zh_TW.UTF-8"), 0x0404u);
    EXPECT_EQ(LcidOfLocaleName("pt_PT"), 0x0816u);
    EXPECT_EQ(LcidOfLocaleName("nn_NO.UTF-8"), 0x0414u);
    for (const char* other : {"C", "C.UTF-8", "POSIX", "", "xx_YY", "e"}) EXPECT_EQ(LcidOfLocaleName(other), 0x0409u) << other;

    NationalLanguage nls({"C.UTF-8", "zh_CN.UTF-8", "es_ES.UTF-8"});
    EXPECT_EQ(nls.UserDefaultLCID(), 0x0804u);
    EXPECT_EQ(nls.LanguageAbbreviation(nls.UserDefaultLCID()), u"CHS");
    EXPECT_EQ(nls.SystemDefaultLangID(), 0x0C0A);
    EXPECT_EQ(nls.LanguageAbbreviation(0x7F), u"");

    std::set<std::uint32_t> seen;
    for (const platform::LocaleEntry& e : nls.SupportedLocales()) {
        EXPECT_TRUE(seen.insert(e.lcid).second) << e.lcid;
        ASSERT_EQ(e.langIdText.size(), 4u);
        EXPECT_TRUE(std::all_of(e.langIdText.begin(), e.langIdText.end(),
                                [](char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }));
        EXPECT_FALSE(e.displayName.empty());
        EXPECT_TRUE(e.AbbrevCountryFits(4));
        EXPECT_EQ(nls.LanguageAbbreviation(e.lcid).size(), 3u);
    }
    EXPECT_TRUE(seen.count(0x0409) && seen.count(0x0804));
}

TEST(Locale, ComparisonIsAnOrderOverWholeTexts) {
    NationalLanguage nls({"C.UTF-8", "", ""});
    EXPECT_LT(nls.Compare(u"abc", u"abd", false), 0);
    EXPECT_GT(nls.Compare(u"abd", u"abc", false), 0);
    EXPECT_EQ(nls.Compare(u"Config", u"Config", false), 0);
    EXPECT_NE(nls.Compare(u"Config", u"config", false), 0);
    EXPECT_EQ(nls.Compare(u"Config", u"CONFIG", true), 0);
    EXPECT_LT(nls.Compare(u"ab", u"abc", false), 0);
    // Texts that differ only after a NUL are still different.
    EXPECT_LT(nls.Compare(u16(u"a\0b", 3), u16(u"a\0c", 3), false), 0);
    EXPECT_LT(nls.Compare(u16(u"a", 1), u16(u"a\0", 2), false), 0);
    EXPECT_EQ(nls.Compare(u16(u"a\0b", 3), u16(u"A\0B", 3), true), 0);
    // Surrogate pairs and lone surrogates compare without harm.
    EXPECT_NE(nls.Compare(u"\U0001F600", u"\U0001F601", false), 0);
    EXPECT_EQ(nls.Compare(u16(1, char16_t(0xD800)), u16(1, char16_t(0xDC00)), false), 0);  // both unreadable
    std::vector<u16> words = {u"zeta", u"Alpha", u"beta", u"alpha", u"\u4e2d", u"", u"Beta"};
    std::sort(words.begin(), words.end(), [&](const u16& a, const u16& b) { return nls.Compare(a, b, false) < 0; });
    for (std::size_t i = 1; i < words.size(); ++i) EXPECT_LE(nls.Compare(words[i - 1], words[i], false), 0);
}

}  // namespace
}  // namespace vxm::linuxos
