// The fixed tables: the button functions and the key-report codes.
#include <gtest/gtest.h>

#include "profile/tables.h"

namespace vxm {
namespace {

TEST(Tables, ButtonFunctionTableRows) {
    ASSERT_EQ(ButtonFunctionTable.size(), 37u);
    for (int i = 0; i < 37; ++i) EXPECT_EQ(ButtonFunctionTable[i].FunctionIndex, i);
    const std::int32_t expected[37][2] = {
        {1, 1},     {2, 2},     {3, 3},     {5, 4},     {4, 5},     {16, 6},    {15, 7},    {15, 801},
        {15, 802},  {15, 803},  {15, 804},  {15, 805},  {15, 806},  {15, 807},  {15, 808},  {15, 901},
        {15, 902},  {15, 903},  {15, 904},  {15, 905},  {15, 906},  {14, 1001}, {14, 1002}, {14, 1003},
        {14, 1004}, {14, 1005}, {14, 1006}, {14, 1007}, {19, 1008}, {14, 1009}, {17, 11},   {18, 12},
        {8, 13},    {10, 14},   {9, 15},    {13, 16},   {14, 17}};
    for (int i = 0; i < 37; ++i) {
        EXPECT_EQ(ButtonFunctionTable[i].FunctionType, expected[i][0]) << "row " << i;
        EXPECT_EQ(ButtonFunctionTable[i].FunctionCode, expected[i][1]) << "row " << i;
    }
    EXPECT_EQ(ButtonFunctionTable[kMicrophoneMuteFunction].FunctionCode, 1008);
}

TEST(Tables, ButtonReportCodesAreReportSevenWithOneBitEach) {
    ASSERT_EQ(ButtonReportCodes.size(), 24u);
    EXPECT_EQ(ButtonReportCodes[0], (TButtonReportCode{7, 0x01, 0, 0}));
    EXPECT_EQ(ButtonReportCodes[7], (TButtonReportCode{7, 0x80, 0, 0}));
    EXPECT_EQ(ButtonReportCodes[10], (TButtonReportCode{7, 0, 0x04, 0}));
    EXPECT_EQ(ButtonReportCodes[16], (TButtonReportCode{7, 0, 0, 0x01}));
    EXPECT_EQ(ButtonReportCodes[23], (TButtonReportCode{7, 0, 0, 0x80}));
    for (int i = 0; i < 24; ++i) {
        const auto& c = ButtonReportCodes[i];
        const std::uint32_t mask = c[1] | (c[2] << 8) | (c[3] << 16);
        EXPECT_EQ(c[0], 7);
        EXPECT_EQ(mask, 1u << i) << "entry " << i;
    }
}

}  // namespace
}  // namespace vxm
