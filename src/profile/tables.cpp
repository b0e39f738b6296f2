#include "profile/tables.h"

namespace vxm {
namespace {

constexpr std::array<TButtonFunctionRow, kButtonFunctionRows> MakeFunctionTable() {
    std::array<TButtonFunctionRow, kButtonFunctionRows> t{};
    constexpr std::int32_t fixed[][2] = {{1, 1}, {2, 2}, {3, 3}, {5, 4}, {4, 5}, {16, 6}, {15, 7}};
    for (int i = 0; i < 7; ++i) t[i] = {i, fixed[i][0], fixed[i][1]};
    for (int k = 0; k < 8; ++k) t[7 + k] = {7 + k, 15, 801 + k};
    for (int k = 0; k < 6; ++k) t[15 + k] = {15 + k, 15, 901 + k};
    for (int k = 0; k < 7; ++k) t[21 + k] = {21 + k, 14, 1001 + k};
    t[28] = {28, 19, 1008};
    t[29] = {29, 14, 1009};
    t[30] = {30, 17, 11};
    t[31] = {31, 18, 12};
    t[32] = {32, 8, 13};
    t[33] = {33, 10, 14};
    t[34] = {34, 9, 15};
    t[35] = {35, 13, 16};
    t[36] = {36, 14, 17};
    return t;
}

constexpr std::array<TButtonReportCode, kButtonReportCodeCount> MakeReportCodes() {
    std::array<TButtonReportCode, kButtonReportCodeCount> t{};
    for (int i = 0; i < kButtonReportCodeCount; ++i) {
        const std::uint32_t mask = 1u << i;
        t[i] = {7, static_cast<std::uint8_t>(mask & 0xFF), static_cast<std::uint8_t>((mask >> 8) & 0xFF),
                static_cast<std::uint8_t>((mask >> 16) & 0xFF)};
    }
    return t;
}

}  // namespace

const std::array<TButtonFunctionRow, kButtonFunctionRows> ButtonFunctionTable = MakeFunctionTable();
const std::array<TButtonReportCode, kButtonReportCodeCount> ButtonReportCodes = MakeReportCodes();

}  // namespace vxm
