#pragma once
// The hook records' flags and the mouse messages as the hook procedures and
// the recorders read them.
#include <cstdint>

#include "hook/key_tables.h"

namespace vxm {

inline constexpr unsigned kWmMouseMove = 0x200;
inline constexpr std::uint32_t kKeyUp = 0x80;       // keyboard record: key released
inline constexpr std::uint32_t kExtended = 0x01;    // keyboard record: extended key
inline constexpr std::uint32_t kInjected = 0x01;    // mouse record: not from a device

struct DecodedMouse {
    int state = 1;  // 1 down, 0 up
    TMouseButtons button = TMouseButtons::BUTTON_NONE;
    std::int16_t extra = 0;  // the high word of mouseData: X button or wheel delta
};

// Mouse messages other than moves; the macro recorder (`recorderWheel`)
// reads the wheel the other way round.
DecodedMouse DecodeMouse(unsigned msg, std::uint32_t mouseData, bool recorderWheel);

}  // namespace vxm
