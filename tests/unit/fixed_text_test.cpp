// Fixed UTF-16 fields of the records: what fits, what is refused, what is read.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/fixed_text.h"
#include "profile/records.h"

namespace vxm {
namespace {

TEST(FixedText, FileNameHoldsTwentyCharactersAndRefusesTwentyOne) {
    TGAMESETTINGINFO entry{};
    std::fill(std::begin(entry.FileName), std::end(entry.FileName), u'x');
    entry.MacroPath[0] = u'M';

    const u16 twenty(20, u'a');
    WriteFixedText(entry.FileName, twenty);
    EXPECT_EQ(ReadFixedText(entry.FileName), twenty);
    EXPECT_EQ(entry.FileName[20], u'\0');

    const u16 before = ReadFixedText(entry.FileName);
    EXPECT_THROW(WriteFixedText(entry.FileName, u16(21, u'b')), TextTooLongError);
    EXPECT_EQ(ReadFixedText(entry.FileName), before) << "a refused text writes nothing";
    EXPECT_EQ(entry.MacroPath[0], u'M') << "nothing is written past the field";

    WriteFixedTextCut(entry.FileName, u16(30, u'c'));
    EXPECT_EQ(ReadFixedText(entry.FileName), u16(20, u'c'));
    EXPECT_EQ(entry.MacroPath[0], u'M');
}

TEST(FixedText, ReadStopsAtNulOrAtTheEndOfAnUnterminatedArray) {
    TGAMESETTINGINFO entry{};
    std::fill(std::begin(entry.FileName), std::end(entry.FileName), u'z');
    entry.MacroPath[0] = u'!';  // must not be read as part of the name
    EXPECT_EQ(ReadFixedText(entry.FileName), u16(21, u'z'));
    entry.FileName[3] = u'\0';
    EXPECT_EQ(ReadFixedText(entry.FileName), u"zzz");
}

}  // namespace
}  // namespace vxm
