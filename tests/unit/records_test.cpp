// The byte layout shared with the configuration application: offsets that its
// readers depend on and byte-image round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <numeric>

#include "common/fixed_text.h"
#include "profile/records.h"

namespace vxm {
namespace {

template <typename T>
std::unique_ptr<T> Zeroed() {
    auto p = std::make_unique<T>();
    std::memset(p.get(), 0, sizeof(T));
    return p;
}

std::uint16_t WordAt(const std::vector<Byte>& image, std::size_t offset) {
    return static_cast<std::uint16_t>(image.at(offset) | (image.at(offset + 1) << 8));
}

TEST(RecordLayout, ButtonFunctionIndexLiesWhereTheConfigurationApplicationReadsIt) {
    auto profile = Zeroed<TMouseProfileInfo>();
    for (int b = 0; b < kButtonCount; ++b) {
        profile->ConfigInfo.ButtonFuncInfo[b].FunctionIndex = static_cast<Word>(100 + b);
    }
    const auto image = SaveRecordImage(*profile);
    ASSERT_EQ(image.size(), 140072u);
    for (int b = 0; b < kButtonCount; ++b) {
        EXPECT_EQ(WordAt(image, 4934 + 4080 * static_cast<std::size_t>(b)), 100 + b) << "button " << b;
        EXPECT_EQ(ButtonFunctionIndex(*profile, b), 100 + b);
    }
    EXPECT_EQ(WordAt(image, 78374), 118);
    EXPECT_THROW(ButtonFunctionIndex(*profile, 19), RangeError);
    EXPECT_THROW(ButtonFunctionIndex(*profile, -1), RangeError);
}

TEST(RecordLayout, ProfileBeginsWithVersionAndCarriesItsStampAt64) {
    auto profile = Zeroed<TMouseProfileInfo>();
    profile->ProfileHeader.FFileVersion = 259;
    profile->ProfileHeader.FProfileUID.DataTime = 46364.5;  // a date in 2026, noon
    profile->ConfigInfo.LEDConfig.R = 0xAB;
    profile->ConfigInfo.ButtonCount = 18;
    const auto image = SaveRecordImage(*profile);
    EXPECT_EQ(image[0], 0x03);
    EXPECT_EQ(image[1], 0x01);
    EXPECT_EQ(image[2], 0x00);
    EXPECT_EQ(image[3], 0x00);
    double stamp = 0;
    std::memcpy(&stamp, image.data() + 64, 8);
    EXPECT_EQ(stamp, 46364.5);
    EXPECT_EQ(image[105142], 0xAB);
    EXPECT_EQ(image[105152], 18);
}

TEST(RecordLayout, GroupAndGlobalRecordsPlaceTheirFieldsAsStored) {
    auto group = Zeroed<TProfileSettingGroup>();
    group->CurrentProfileGroup = 1;
    group->ProfileIndexOfProfileGroup[1] = 4;
    group->ProfileSettingList[2].StoreInFile = 1;
    WriteFixedText(group->ProfileSettingList[4].FileName, u"ZRNProfile5.pfd");
    auto g = SaveRecordImage(*group);
    ASSERT_EQ(g.size(), 30964u);
    EXPECT_EQ(g[0], 1);
    EXPECT_EQ(g[8], 4);
    EXPECT_EQ(g[12 + 2 * 6190 + 6188], 1);
    EXPECT_EQ(WordAt(g, 12 + 4 * 6190 + 4098), u'Z');
    EXPECT_EQ(WordAt(g, 12 + 4 * 6190 + 4098 + 2 * 15), 0);

    auto all = Zeroed<TALLGAMESINFO>();
    all->CurrentGame = 3;
    all->CurrentLanguage = 1;
    all->Allgameset[0].SettingFlag = 1;
    auto a = SaveRecordImage(*all);
    ASSERT_EQ(a.size(), 30954u);
    EXPECT_EQ(WordAt(a, 30950), 3);
    EXPECT_EQ(a[30952], 1);
    EXPECT_EQ(a[0], 1);
}

TEST(RecordImage, RoundTripKeepsEveryByteIncludingPaddingAndOpaqueAreas) {
    std::vector<Byte> stored(sizeof(TMouseProfileInfo));
    std::iota(stored.begin(), stored.end(), Byte{7});  // no byte left at zero
    auto profile = std::make_unique<TMouseProfileInfo>();
    EXPECT_EQ(LoadRecordImage(*profile, stored.data(), stored.size()), stored.size());
    // Touch one interpreted field, as the monitor would.
    EXPECT_EQ(ButtonFunctionIndex(*profile, 0), WordAt(stored, 4934));
    EXPECT_EQ(SaveRecordImage(*profile), stored);

    std::vector<Byte> groupBytes(sizeof(TProfileSettingGroup), 0xEE);
    auto group = std::make_unique<TProfileSettingGroup>();
    LoadRecordImage(*group, groupBytes.data(), groupBytes.size());
    EXPECT_EQ(SaveRecordImage(*group), groupBytes);
}

TEST(RecordImage, ShortOrLongImagesNeverReachPastTheRecord) {
    auto all = Zeroed<TALLGAMESINFO>();
    all->CurrentGame = 4;
    const std::vector<Byte> shortImage(10, 0x55);
    EXPECT_EQ(LoadRecordImage(*all, shortImage.data(), shortImage.size()), 10u);
    EXPECT_EQ(all->CurrentGame, 4) << "bytes past a short image keep their value";
    EXPECT_EQ(all->Allgameset[0].SettingFlag, 0x5555);

    const std::vector<Byte> longImage(sizeof(TMACROKEYINFO) + 100, 0x11);
    TMACROKEYINFO macro{};
    EXPECT_EQ(LoadRecordImage(macro, longImage.data(), longImage.size()), sizeof(TMACROKEYINFO));
    EXPECT_EQ(macro.ErrorCount, 0x11111111);
}

}  // namespace
}  // namespace vxm
