// Factory defaults the configuration application relies on.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>

#include "profile/defaults.h"

namespace vxm {
namespace {

TEST(ProfileDefaults, GameProfilesShareButtonsAndDifferInCpiAndColour) {
    auto a = std::make_unique<TMouseProfileInfo>();
    TMemoryStream streams[5];
    for (int i = 0; i < 5; ++i) RestoreGameProfileDefaults(streams[i], i, 1.0);
    const int expected[19] = {0, 1, 2, 35, 33, 34, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 0};
    LoadRecordImage(*a, streams[0].data(), streams[0].size());
    for (int b = 0; b < 19; ++b) EXPECT_EQ(ButtonFunctionIndex(*a, b), expected[b]) << b;
    for (int k = 0; k < 9; ++k) EXPECT_EQ(a->ConfigInfo.ButtonFuncInfo[6 + k].KeyValue, 0x31 + k);
    EXPECT_EQ(a->ConfigInfo.ButtonFuncInfo[15].KeyValue, 0x30);
    EXPECT_EQ(a->ConfigInfo.ButtonFuncInfo[17].KeyValue, 0x6D);
    EXPECT_EQ(a->ConfigInfo.ButtonFuncInfo[18].FunctionKind, 0);
    EXPECT_EQ(a->ConfigInfo.ButtonFuncInfo[18].FunctionType, 13);
    EXPECT_EQ(a->ConfigInfo.CPIState[4].X, 16400);
    EXPECT_EQ(a->ConfigInfo.ButtonCount, 18);
    EXPECT_EQ(streams[0][0], 0x03);
    EXPECT_EQ(streams[0][1], 0x01);
    const std::size_t cpi = offsetof(TMouseProfileInfo, ConfigInfo) + offsetof(TMOUSECONFIGINFO, CurrentCPIIndex);
    const std::size_t led = offsetof(TMouseProfileInfo, ConfigInfo) + offsetof(TMOUSECONFIGINFO, LEDConfig);
    for (int i = 1; i < 5; ++i) {
        for (std::size_t byte = 0; byte < streams[0].size(); ++byte) {
            if (byte >= cpi && byte < cpi + 4) continue;
            if (byte >= led && byte < led + 3) continue;
            ASSERT_EQ(streams[i][byte], streams[0][byte]) << "profile " << i << " byte " << byte;
        }
        EXPECT_EQ(streams[i][cpi], i);
    }
}

}  // namespace
}  // namespace vxm
