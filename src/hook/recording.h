#pragma once
// What the recorders of the hook component produce: a key combination, the
// entries of keyboard and mouse macros, and the events that report them.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "common/text.h"
#include "hook/key_tables.h"

namespace vxm {

struct TCOMBOKEY {
    std::uint16_t nKeyValue1 = 0;
    std::uint16_t nKeyValue1Extended = 0;
    std::uint16_t nKeyValue2 = 0;
    std::uint16_t nKeyValue2Extended = 0;
    std::uint16_t nModifier = 0;  // 1 Alt, 2 Ctrl, 4 Shift, 8 Win
    std::uint32_t nScanKey1 = 0;
    std::uint32_t nScanKey2 = 0;
};

struct TMACROKEYHOOK {
    std::uint16_t nKeyType = 0;  // 0 delay, 1 key
    std::uint16_t nKeyState = 0;
    std::uint16_t nKeyValue = 0;  // key code, or the delay in ms
    std::uint16_t nKeyValueExtended = 0;
    double Time = 0;
    u16 MacroKeyString;
    u16 MacroKeyStateString;
};

struct TMOUSEMACROKEY {
    std::uint16_t nKeyType = 0;  // 0 delay, 1 button
    std::uint16_t nKeyState = 0;
    TMouseButtons MouseButton = TMouseButtons::BUTTON_NONE;
    std::uint16_t X = 0;
    std::uint16_t Y = 0;
    std::uint16_t TimeValue = 0;
    double Time = 0;
    u16 MacroKeyString;
    u16 MacroKeyStateString;
};

struct TMacroKeyObject {
    TMACROKEYHOOK FMacroKey;
};
struct TMOUSEMacroKeyObject {
    TMOUSEMACROKEY FMOUSEMacroKey;
};

// String lists owning their entries: (name, entry).
template <typename T>
using TOwnedList = std::vector<std::pair<u16, std::unique_ptr<T>>>;
using TMacroKeyList = TOwnedList<TMacroKeyObject>;
using TMouseMacroKeyList = TOwnedList<TMOUSEMacroKeyObject>;

using TOnRecordKeyboardSingleKey = std::function<void(int Key, std::uint32_t ScanKey, int AState, int AKeyExtended,
                                                      const u16& SingleKeyString, bool& ABlocked)>;
using TOnRecordKeyboardComboKey = std::function<void(int Key1, int Key1Extended, int Key2, int Key2Extended,
                                                     int Modifier, const u16& ComboKeyString)>;
using TOnRecordKeyboardComboKey2 =
    std::function<void(int Key1, std::uint32_t ScanKey1, int Key1Extended, int Key2, std::uint32_t ScanKey2,
                       int Key2Extended, int Modifier, const u16& ComboKeyString)>;
using TOnRecordKeyboardMacroKey =
    std::function<void(int MacroType, int Key1, int AState, int Extended, double Time, const u16& MacroKeyString,
                       const u16& MacroKeyStateString, TMacroKeyList& KeyList)>;
using TOnRecordKeyboardMacroKeyEx =
    std::function<void(int MacroType, int Key1, int AState, int Extended, double Time, std::uint32_t TotalTime,
                       const u16& MacroKeyString, const u16& MacroKeyStateString, TMacroKeyList& KeyList)>;
using TOnRecordMouseMacroKey =
    std::function<void(int MacroType, TMouseButtons AButton, int AState, std::uint16_t X, std::uint16_t Y,
                       double Time, const u16& MacroKeyString, const u16& MacroKeyStateString,
                       TMouseMacroKeyList& MouseRecordList)>;
// The handler may move entries out of the list; what it leaves is freed.
using TOnStopRecordKeyboardMacroKey = std::function<void(TMacroKeyList& KeyoboardRecordList)>;
using TOnStopRecordMouseMacroKey = std::function<void(TMouseMacroKeyList& MouseRecordList)>;

}  // namespace vxm
