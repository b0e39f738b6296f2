// The texts of keys and mouse buttons, and the rows behind them.
#include <gtest/gtest.h>

#include "hook/key_tables.h"

namespace vxm {
namespace {

TEST(KeyTables, TextsOfStandardAndExtendedKeys) {
    EXPECT_EQ(GetKeyDescription(0xA3, 1), u"R CTRL");
    EXPECT_EQ(GetKeyDescription(0x2D, 1), u"INS");
    EXPECT_EQ(GetKeyDescription(0x2D, 0), u"Keypad 0 Insert");
    EXPECT_EQ(GetKeyDescription(0x2D, 225), u"INS");
    EXPECT_EQ(GetKeyDescription(0x41, 0), u"A");
    EXPECT_EQ(GetKeyDescription(0x70, 0), u"F1");
    EXPECT_EQ(GetKeyDescription(0x87, 0), u"F24");
    EXPECT_EQ(GetKeyDescription(0x07, 0), u"Undefined");
    EXPECT_EQ(GetKeyDescription(0x41, 1), u"UNDEFINED_041") << "an extended key without an extended row";
    EXPECT_EQ(GetKeyDescription(0x12C, 0), u"");
    EXPECT_EQ(GetKeyDescription(-1, 0), u"");
    EXPECT_EQ(GetKeyDescription(0xC0, 0), u"~`");
    EXPECT_EQ(GetKeyDescription(0xDC, 0), u"\\|");
    const auto& std = KeyboardInfoTable();
    EXPECT_EQ(std[0x00].VKName, u"VK_NULL");
    EXPECT_EQ(std[0x5D].VKName, u"VK_APP");
    EXPECT_EQ(std[0xE0].VKName, u"VK_UNDEFINED_E0");
    EXPECT_EQ(std[299].VKName, u"VK_UNDEFINED_12B");
    EXPECT_EQ(std[0x41].HIDCode, 4);
    EXPECT_EQ(std[0x1B].HIDCode, 41);
    EXPECT_EQ(std[0x70].HIDCode, 58);
    EXPECT_EQ(std[0xAD].HIDCode, 226);
    EXPECT_EQ(std[0xB3].HIDCode, 205);
    EXPECT_EQ(std[0xB4].HIDCode, 394);
    EXPECT_EQ(std[0x21].HIDCode, 97);
    EXPECT_EQ(std[0xBA].ScanCode, 39);
    EXPECT_EQ(std[0xE2].ScanCode, 86);
    EXPECT_EQ(std[0xA3].Extended, 225);
    EXPECT_EQ(std[0xA2].Extended, 224);
    EXPECT_EQ(ExtendedKeyboardInfoTable()[0x2E].HIDCode, 76);
    EXPECT_EQ(GetMouseButtonDescription(TMouseButtons::XCLICK4), u"Backward(Mouse) ");
    EXPECT_EQ(GetMouseButtonDescription(TMouseButtons::BUTTONX1), u"");
}

}  // namespace
}  // namespace vxm
