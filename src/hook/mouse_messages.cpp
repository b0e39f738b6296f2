#include "hook/mouse_messages.h"

namespace vxm {

DecodedMouse DecodeMouse(unsigned msg, std::uint32_t mouseData, bool recorderWheel) {
    DecodedMouse d;
    const auto high = static_cast<std::int16_t>(mouseData >> 16);
    switch (msg) {
        case 0x201: case 0x202:
            d.state = msg == 0x201 ? 1 : 0;
            d.button = TMouseButtons::LCLICK;
            break;
        case 0x204: case 0x205:
            d.state = msg == 0x204 ? 1 : 0;
            d.button = TMouseButtons::RCLICK;
            break;
        case 0x207: case 0x208:
            d.state = msg == 0x207 ? 1 : 0;
            d.button = TMouseButtons::MCLICK;
            break;
        case 0x20B: case 0x20C:
            d.state = msg == 0x20B ? 1 : 0;
            d.button = high == 1 ? TMouseButtons::XCLICK4 : high == 2 ? TMouseButtons::XCLICK5 : TMouseButtons::BUTTON_NONE;
            d.extra = high;
            break;
        case 0x20A:
            d.extra = high;
            if (high > 0) d.button = recorderWheel ? TMouseButtons::WHEELDOWN : TMouseButtons::WHEELUP;
            if (high < 0) d.button = recorderWheel ? TMouseButtons::WHEELUP : TMouseButtons::WHEELDOWN;
            break;
        default:
            break;
    }
    return d;
}

}  // namespace vxm
