#include "hook/key_tables.h"

#include <mutex>

namespace vxm {
namespace {

std::vector<TKeyboardInfoTable> g_standard;
std::vector<TKeyboardInfoTable> g_extended;
std::once_flag g_built;

u16 Hex(int v, int digits) {
    static const char d[] = "0123456789ABCDEF";
    u16 s(static_cast<std::size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i) {
        s[static_cast<std::size_t>(i)] = static_cast<char16_t>(d[v & 0xF]);
        v >>= 4;
    }
    return s;
}

struct Row {
    int code;
    const char* name;  // Windows constant name
    const char* text;
    int hid;
};

// Standard keys (codes not listed are "Undefined" or keep the generated row).
const Row kStandard[] = {
    {0x00, "VK_NULL", "", -1},
    {0x01, "VK_LBUTTON", "Mouse Left Click", -1},
    {0x02, "VK_RBUTTON", "Mouse Right Click", -1},
    {0x03, "VK_CANCEL", "Control Break", -1},
    {0x04, "VK_MBUTTON", "Mouse Middle Click", -1},
    {0x08, "VK_BACK", "BACKSPACE", 42},
    {0x09, "VK_TAB", "TAB", 43},
    {0x0C, "VK_CLEAR", "CLEAR", 156},
    {0x0D, "VK_RETURN", "ENTER", 40},
    {0x10, "VK_SHIFT", "SHIFT", -1},
    {0x11, "VK_CONTROL", "CTRL", -1},
    {0x12, "VK_MENU", "ALT", -1},
    {0x13, "VK_PAUSE", "PAUSE", 72},
    {0x14, "VK_CAPITAL", "CAPS LOCK", 57},
    {0x1B, "VK_ESCAPE", "ESC", 41},
    {0x20, "VK_SPACE", "SPACEBAR", 44},
    {0x21, "VK_PRIOR", "PAGE UP", 97},
    {0x22, "VK_NEXT", "PAGE DOWN", 91},
    {0x23, "VK_END", "END", 89},
    {0x24, "VK_HOME", "HOME", 95},
    {0x25, "VK_LEFT", "LEFT ARROW", 92},
    {0x26, "VK_UP", "UP ARROW", 96},
    {0x27, "VK_RIGHT", "RIGHT ARROW", 94},
    {0x28, "VK_DOWN", "DOWN ARROW", 90},
    {0x29, "VK_SELECT", "SELECT", -1},
    {0x2A, "VK_PRINT", "PRINT", -1},
    {0x2B, "VK_EXECUTE", "EXECUTE", -1},
    {0x2C, "VK_SNAPSHOT", "PRINT SCREEN", 70},
    {0x2D, "VK_NUMPAD0_INSERT", "Keypad 0 Insert", 98},
    {0x2E, "VK_DELETE", "Keypad DEL", 99},
    {0x2F, "VK_HELP", "HELP", -1},
    {0x5B, "VK_LWIN", "L WIN", 227},
    {0x5C, "VK_RWIN", "R WIN", 231},
    {0x5D, "VK_APP", "APP", 101},
    {0x6A, "VK_MULTIPLY", "*", 85},
    {0x6B, "VK_ADD", "+", 87},
    {0x6C, "VK_SEPARATOR", "Separator", 159},
    {0x6D, "VK_SUBTRACT", "-", 86},
    {0x6E, "VK_DECIMAL", "Decimal", 99},
    {0x6F, "VK_DIVIDE", "/", 84},
    {0x90, "VK_NUMLOCK", "NUM LOCK", 83},
    {0x91, "VK_SCROLL", "Scroll Lock", 71},
    {0xA0, "VK_LSHIFT", "L SHIFT", 225},
    {0xA1, "VK_RSHIFT", "R SHIFT", 229},
    {0xA2, "VK_LCONTROL", "L CTRL", 224},
    {0xA3, "VK_RCONTROL", "R CTRL", 228},
    {0xA4, "VK_LMENU", "L ALT", 226},
    {0xA5, "VK_RMENU", "R ALT", 230},
    {0xBA, "VK_OEM_1", ";:", 51},
    {0xBB, "VK_OEM_PLUS", "=", 46},
    {0xBC, "VK_OEM_COMMA", ",<", 54},
    {0xBD, "VK_OEM_MINUS", "-_", 45},
    {0xBE, "VK_OEM_PERIOD", ".", 55},
    {0xBF, "VK_OEM_2", "/?", 56},
    {0xC0, "VK_OEM_3", "~`", 53},
    {0xDB, "VK_OEM_4", "[{", 47},
    {0xDC, "VK_OEM_5", "\\|", 49},
    {0xDD, "VK_OEM_6", "]}", 48},
    {0xDE, "VK_OEM_7", "'\"", 52},
    {0xDF, "VK_OEM_8", "None", -1},
    {0xE1, "VK_OEM_AX", "AX", -1},
    {0xE2, "VK_OEM_102", "Europe 2 (Note 2)", 100},
};

// Browser, volume, media and launch keys: consumer-page usages.
const Row kConsumer[] = {
    {0xA6, "VK_BROWSER_BACK", "BROWSER_BACK", 548},
    {0xA7, "VK_BROWSER_FORWARD", "BROWSER_FORWARD", 549},
    {0xA8, "VK_BROWSER_REFRESH", "BROWSER_REFRESH", 551},
    {0xA9, "VK_BROWSER_STOP", "BROWSER_STOP", 550},
    {0xAA, "VK_BROWSER_SEARCH", "BROWSER_SEARCH", 545},
    {0xAB, "VK_BROWSER_FAVORITES", "BROWSER_FAVORITES", 554},
    {0xAC, "VK_BROWSER_HOME", "BROWSER_HOME", 547},
    {0xAD, "VK_VOLUME_MUTE", "VOLUME_MUTE", 226},
    {0xAE, "VK_VOLUME_DOWN", "VOLUME_DOWN", 234},
    {0xAF, "VK_VOLUME_UP", "VOLUME_UP", 233},
    {0xB0, "VK_MEDIA_NEXT_TRACK", "MEDIA_NEXT_TRACK", 181},
    {0xB1, "VK_MEDIA_PREV_TRACK", "MEDIA_PREV_TRACK", 182},
    {0xB2, "VK_MEDIA_STOP", "MEDIA_STOP", 183},
    {0xB3, "VK_MEDIA_PLAY_PAUSE", "MEDIA_PLAY_PAUSE", 205},
    {0xB4, "VK_LAUNCH_MAIL", "LAUNCH_MAIL", 394},
    {0xB5, "VK_LAUNCH_MEDIA_SELECT", "LAUNCH_MEDIA_SELECT", 387},
    {0xB6, "VK_LAUNCH_APP1", "LAUNCH_APP1", 404},
    {0xB7, "VK_LAUNCH_APP2", "LAUNCH_APP2", 402},
};

const Row kExtended[] = {
    {0x0D, "VK_RETURN", "ENTER", 88},  {0x21, "VK_PRIOR", "PAGE UP", 75},     {0x22, "VK_NEXT", "PAGE DOWN", 78},
    {0x23, "VK_END", "END", 77},       {0x24, "VK_HOME", "HOME", 74},         {0x25, "VK_LEFT", "LEFT ARROW", 80},
    {0x26, "VK_UP", "UP ARROW", 82},   {0x27, "VK_RIGHT", "RIGHT ARROW", 79}, {0x28, "VK_DOWN", "DOWN ARROW", 81},
    {0x2D, "VK_INSERT", "INS", 73},    {0x2E, "VK_DELETE", "DEL", 76},
};

// Standard keys that are extended ones on the keyboard.
bool StandardIsExtended(int code) {
    switch (code) {
        case 0x2C: case 0x5B: case 0x5C: case 0x5D: case 0x6F: case 0x90: case 0xA1: case 0xA3: case 0xA5:
            return true;
        default:
            return code >= 0xA6 && code <= 0xB7;
    }
}

bool Undefined(int c) {
    return c == 0x05 || c == 0x06 || c == 0x07 || c == 0x0A || c == 0x0B || c == 0x0E || c == 0x0F ||
           (c >= 0x15 && c <= 0x1A) || (c >= 0x1C && c <= 0x1F) || (c >= 0x3A && c <= 0x40) || c == 0x5E ||
           c == 0x5F || (c >= 0x88 && c <= 0x8F) || (c >= 0x92 && c <= 0x9F) || c == 0xE0;
}

void Put(std::vector<TKeyboardInfoTable>& t, int code, u16 name, u16 text, int hid, int extended) {
    TKeyboardInfoTable& row = t[static_cast<std::size_t>(code)];
    row.VKName = std::move(name);
    row.KeyDescription = std::move(text);
    row.HIDCode = hid;
    row.Extended = extended;
}

void Put(std::vector<TKeyboardInfoTable>& t, const Row& r, int extended) {
    Put(t, r.code, Utf16(r.name), Utf16(r.text), r.hid, extended);
}

void Build() {
    g_standard.assign(300, {});
    g_extended.assign(300, {});
    for (int i = 0; i < 300; ++i) {
        for (auto* t : {&g_standard, &g_extended}) {
            auto& row = (*t)[static_cast<std::size_t>(i)];
            row.VKName = u"VK_UNDEFINED_" + Hex(i, 3);
            row.VKCode = i;
            row.KeyDescription = u"UNDEFINED_" + Hex(i, 3);
            row.Extended = t == &g_standard ? 224 : 225;
        }
    }
    for (int c = 0; c < 0x100; ++c) {
        if (!Undefined(c)) continue;
        auto& row = g_standard[static_cast<std::size_t>(c)];
        row.VKName = u"VK_UNDEFINED_" + Hex(c, 2);
        row.KeyDescription = u"Undefined";
    }
    for (int d = 0; d <= 9; ++d) {
        const u16 digit(1, static_cast<char16_t>(u'0' + d));
        Put(g_standard, 0x30 + d, u"VK_" + digit, digit, d == 0 ? 39 : 29 + d, 224);
        Put(g_standard, 0x60 + d, u"VK_NUMPAD" + digit, u"NUMPAD " + digit, d == 0 ? 98 : 88 + d, 224);
    }
    for (int l = 0; l < 26; ++l) {
        const u16 letter(1, static_cast<char16_t>(u'A' + l));
        Put(g_standard, 0x41 + l, u"VK_" + letter, letter, 4 + l, 224);
    }
    for (int f = 1; f <= 24; ++f) {
        const u16 name = u"F" + ToU16(f);
        Put(g_standard, 0x6F + f, u"VK_" + name, name, f <= 12 ? 57 + f : 91 + f, 224);
    }
    for (const Row& r : kStandard) Put(g_standard, r, StandardIsExtended(r.code) ? 225 : 224);
    for (const Row& r : kConsumer) Put(g_standard, r, 225);
    static const std::pair<int, int> kScan[] = {{0xBA, 39}, {0xBB, 13}, {0xBC, 51}, {0xBD, 12}, {0xBE, 52}, {0xBF, 53},
                                                {0xC0, 41}, {0xDB, 26}, {0xDC, 43}, {0xDD, 27}, {0xDE, 40}, {0xE2, 86}};
    for (const auto& [code, scan] : kScan) g_standard[static_cast<std::size_t>(code)].ScanCode = scan;
    for (const Row& r : kExtended) Put(g_extended, r, 225);
    // The power key's row repeats the Delete row's text and usage.
    Put(g_extended, {0xFF, "VK_POWER", "DEL", 76}, 225);
    g_extended[0xFF].ScanCode = 94;
}

}  // namespace

void BuildKeyboardInfoTables() { std::call_once(g_built, Build); }

const std::vector<TKeyboardInfoTable>& KeyboardInfoTable() {
    BuildKeyboardInfoTables();
    return g_standard;
}

const std::vector<TKeyboardInfoTable>& ExtendedKeyboardInfoTable() {
    BuildKeyboardInfoTables();
    return g_extended;
}

u16 GetKeyDescription(int code, int extended) {
    if (extended == 224) extended = 0;
    if (extended == 225) extended = 1;
    BuildKeyboardInfoTables();
    if (code < 0 || code > 299) return u16();
    const auto i = static_cast<std::size_t>(code);
    if (extended == 0) return g_standard[i].KeyDescription;
    if (extended == 1 && g_standard[i].Extended == 225) return g_standard[i].KeyDescription;
    return g_extended[i].KeyDescription;
}

const TMouseButtonString MouseButtonDescriptions[7] = {
    {TMouseButtons::LCLICK, u"Mouse Click"},
    {TMouseButtons::RCLICK, u"Mouse Right Click"},
    {TMouseButtons::MCLICK, u"Mouse Middle Click"},
    {TMouseButtons::XCLICK4, u"Backward(Mouse) "},
    {TMouseButtons::XCLICK5, u"Forward(Mouse)"},
    {TMouseButtons::WHEELUP, u"Wheel up(Mouse)"},
    {TMouseButtons::WHEELDOWN, u"Wheel Down(Mouse)"},
};

u16 GetMouseButtonDescription(TMouseButtons button) {
    for (const auto& row : MouseButtonDescriptions) {
        if (row.MouseButton == button) return row.ButtonDescription;
    }
    return u16();
}

}  // namespace vxm
