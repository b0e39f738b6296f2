#pragma once
// The key tables behind the texts of recorded keys, and the mouse button texts.
#include <cstdint>
#include <vector>

#include "common/text.h"

namespace vxm {

struct TKeyboardInfoTable {
    u16 VKName;
    int VKCode = 0;
    int ScanCode = 0;
    int Extended = 224;  // 224 standard key, 225 extended key
    int HIDCode = -1;
    u16 KeyDescription;
};

const std::vector<TKeyboardInfoTable>& KeyboardInfoTable();
const std::vector<TKeyboardInfoTable>& ExtendedKeyboardInfoTable();
void BuildKeyboardInfoTables();

// The text of a key: `extended` is the flags bit (0/1) or 224/225.
u16 GetKeyDescription(int code, int extended);

enum class TMouseButtons : std::uint8_t {
    BUTTON_NONE = 0,
    LCLICK = 1,
    RCLICK = 2,
    MCLICK = 3,
    XCLICK4 = 4,
    XCLICK5 = 5,
    WHEELUP = 6,
    WHEELDOWN = 7,
    BUTTONX1 = 8,
    BUTTONX2 = 9,
    BUTTONX3 = 10,
};

struct TMouseButtonString {
    TMouseButtons MouseButton;
    const char16_t* ButtonDescription;
};

extern const TMouseButtonString MouseButtonDescriptions[7];
u16 GetMouseButtonDescription(TMouseButtons button);

}  // namespace vxm
