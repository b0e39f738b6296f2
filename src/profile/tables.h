#pragma once
// Fixed tables shared with the configuration application and the mouse.
#include <array>
#include <cstdint>

namespace vxm {

struct TButtonFunctionRow {
    std::int32_t FunctionIndex;
    std::int32_t FunctionType;
    std::int32_t FunctionCode;
};

inline constexpr int kButtonFunctionRows = 37;
inline constexpr int kMicrophoneMuteFunction = 28;
inline constexpr int kKeyboardKeyFunction = 5;

// Assignable functions; a button stores the row index and copies its type and code.
extern const std::array<TButtonFunctionRow, kButtonFunctionRows> ButtonFunctionTable;

// Key report codes: report ID 7, then the 24-bit mask with only bit i set,
// least significant byte first.
inline constexpr int kButtonReportCodeCount = 24;
using TButtonReportCode = std::array<std::uint8_t, 4>;
extern const std::array<TButtonReportCode, kButtonReportCodeCount> ButtonReportCodes;

}  // namespace vxm
