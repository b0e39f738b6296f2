// The language tables: where a list text breaks, and a list read at once
// against one added text by text.
#include <gtest/gtest.h>

#include <random>

#include "lang/lang_table.h"
#include "unit/lang_rig.h"

namespace vxm {
namespace {

using namespace lang_rig;

TEST_F(Lang, ListTextsBreakAtEveryLineSeparatorAndEndAtNul) {
    TuiLanguage a(nullptr, Deps());
    const u16 text = u"a\r\nb\rc\nd\ve\ff\u2028g\u2029h\r\nh";
    const u16 withNul = text + u16(1, u'\0') + u"ignored";
    const auto s = Stream({{u"", withNul}});
    a.ReadResources(s.data(), s.size());
    EXPECT_EQ(a.Original().Items(), (std::vector<u16>{u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h"}));
    EXPECT_EQ(a.LanguageCount(), 0u) << "a count of 0 loads the source list only";
}


// Equal texts that differ in their code units, as a locale-aware comparison has them.
class CaseFoldingNls final : public platform::INationalLanguage {
public:
    int Compare(u16view a, u16view b, bool) override { return inner.Compare(a, b, true); }
    std::vector<platform::LocaleEntry> SupportedLocales() override { return {}; }
    std::uint32_t UserDefaultLCID() override { return 0x0409; }
    std::uint16_t SystemDefaultLangID() override { return 0x0409; }
    u16 LanguageAbbreviation(std::uint32_t) override { return u"ENU"; }
    fake::FakeNationalLanguage inner;
};
TEST_F(Lang, AListReadAtOnceHoldsWhatAddingOneByOneGives) {
    CaseFoldingNls folding;
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::vector<u16> pieces;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            u16 t;
            for (unsigned k = rng() % 4; k > 0; --k) t += u"aAbB"[rng() % 4];
            pieces.push_back(t);
        }
        TStringList present(folding), oneByOne(folding);
        for (const char16_t* t : {u"a", u"AB", u"b"}) {
            present.Add(t);
            oneByOne.Add(t);
        }
        u16 text;
        for (const auto& t : pieces) {
            oneByOne.Add(t);
            text += t + u"\r\n";
        }
        oneByOne.Add(u"");  // the piece after the last line break
        present.AddText(text);
        ASSERT_EQ(present.Items(), oneByOne.Items()) << "the first of equal texts wins, and what was there";
    }
}

}  // namespace
}  // namespace vxm
