// The language data stream: its byte layout, malformed streams refused whole,
// and every stream the writer produces read back equal.
#include <gtest/gtest.h>

#include <random>

#include "lang/language_stream.h"
#include "unit/lang_rig.h"

namespace vxm {
namespace {

using namespace lang_rig;

TEST_F(Lang, StreamRoundTripAndByteLayout) {
    TuiLanguage a(nullptr, Deps());
    a.ReadResources(Stream({{u"", u"OK\r\nExit\r\n"}, {u"CH", u"OK=确定\r\n"}, {u"US", u"OK=OK\r\n"}}).data(),
                    Stream({{u"", u"OK\r\nExit\r\n"}, {u"CH", u"OK=确定\r\n"}, {u"US", u"OK=OK\r\n"}}).size());
    const auto bytes = a.WriteResources();
    // Sorted source list with its empty piece: "", "Exit", "OK", each + CR LF.
    const u16 expectedSource = u"\r\nExit\r\nOK\r\n";
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], expectedSource.size());
    EXPECT_EQ(bytes[4], 0x0D);
    EXPECT_EQ(bytes[6], 0x0A);
    TuiLanguage b(nullptr, Deps());
    b.ReadResources(bytes.data(), bytes.size());
    EXPECT_EQ(b.Original().Items(), a.Original().Items());
    ASSERT_EQ(b.LanguageCount(), 2u);
    EXPECT_EQ(b.LanguageName(0), u"CH");
    EXPECT_EQ(b.LanguageTableAt(0).Items(), a.LanguageTableAt(0).Items());
    EXPECT_EQ(b.WriteResources(), bytes);
}


TEST_F(Lang, MalformedStreamsAreRejectedAndChangeNothing) {
    TuiLanguage a(nullptr, Deps());
    const auto good = Stream({{u"", u"OK\r\n"}, {u"CH", u"OK=确定\r\n"}});
    a.ReadResources(good.data(), good.size());
    const auto before = a.WriteResources();

    std::vector<std::vector<std::uint8_t>> bad;
    auto negative = good;
    negative[3] = 0x80;  // source length < 0
    bad.push_back(negative);
    auto oversized = good;
    oversized[2] = 0x7F;  // millions of characters announced
    bad.push_back(oversized);
    bad.push_back(Stream({{u"", u"OK\r\n"}, {u"CH", u"x"}}, 0xFFFFFFF0u));  // count beyond the stream
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.end() - 3));  // ends early
    bad.push_back(std::vector<std::uint8_t>(good.begin(), good.begin() + 2));
    bad.push_back(Stream({{u"", u"OK\r\n"}, {u"A", u"a=b\r\n"}, {u"B", u"c=d\r\n"}}, 3));  // third record missing
    for (const auto& s : bad) {
        EXPECT_THROW(a.ReadResources(s.data(), s.size()), LanguageDataError);
        EXPECT_EQ(a.WriteResources(), before) << "no half-loaded languages";
    }
}


// Random language sets: empty and repeated names, empty tables, many languages.
TEST_F(Lang, EveryStreamTheWriterProducesReadsBackEqual) {
    std::mt19937 rng(2024);
    auto text = [&](std::size_t maxLength) {
        // No line breaks and no NUL: a list text is cut there.
        static const char16_t alphabet[] = {u'a', u'Z', u'=', u'0', u' ', u'.', u'\u786e', u'\u5b9a',
                                            u'\u00e9', u'\t', 0x0001, 0xD800, 0xFFFF};
        u16 t;
        for (std::size_t k = rng() % (maxLength + 1); k > 0; --k) t += alphabet[rng() % std::size(alphabet)];
        return t;
    };
    for (int round = 0; round < 300; ++round) {
        TuiLanguage a(nullptr, Deps());
        for (std::size_t n = rng() % 6; n > 0; --n) a.Original().Add(text(8));
        const std::size_t languages = round % 50 == 0 ? 1000 + rng() % 1000 : rng() % 8;
        for (std::size_t l = 0; l < languages; ++l) {
            const u16 name = rng() % 4 == 0 ? u16() : text(5);
            a.AddLang(name);  // an equal name adds nothing
            TStringList* table = a.LanguageTable(name);
            for (std::size_t n = rng() % 3 == 0 ? 0 : rng() % 6; n > 0; --n) table->Add(text(12));
        }
        const auto bytes = a.WriteResources();
        TuiLanguage b(nullptr, Deps());
        ASSERT_NO_THROW(b.ReadResources(bytes.data(), bytes.size())) << "round " << round;
        // A list read back has the empty piece after its last line break, and nothing else new.
        auto withEmptyPiece = [](const TStringList& list) {
            TStringList expected = list;
            expected.Add(u"");
            return expected.Items();
        };
        EXPECT_EQ(b.Original().Items(), withEmptyPiece(a.Original()));
        ASSERT_EQ(b.LanguageCount(), a.LanguageCount());
        for (std::size_t l = 0; l < a.LanguageCount(); ++l) {
            ASSERT_EQ(b.LanguageName(l), a.LanguageName(l));
            ASSERT_EQ(b.LanguageTableAt(l).Items(), withEmptyPiece(a.LanguageTableAt(l))) << "round " << round;
        }
        // Read twice: every name occurs twice; that too writes and reads back as it is.
        b.ReadResources(bytes.data(), bytes.size());
        const auto twice = b.WriteResources();
        TuiLanguage c(nullptr, Deps());
        c.ReadResources(twice.data(), twice.size());
        ASSERT_EQ(c.LanguageCount(), 2 * a.LanguageCount());
        EXPECT_EQ(c.WriteResources(), twice);
    }
}

}  // namespace
}  // namespace vxm
