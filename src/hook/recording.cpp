#include "hook/hook.h"

#include <algorithm>

#include "hook/mouse_messages.h"

// The recording of single keys, key combinations and keyboard and mouse
// macros through the hook component's procedures.
namespace vxm {
namespace {

// Positions beyond the 16-bit fields (negative ones on multi-monitor
// desktops) are clamped to the nearest value they can hold.
std::uint16_t Clamp16(std::int64_t v) { return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, 65535)); }

template <typename T>
void Append(TOwnedList<T>& list, std::unique_ptr<T> entry) {
    list.emplace_back(ToU16(static_cast<long long>(list.size())), std::move(entry));
}

const char16_t* DownUp(int state) { return state ? u"Down" : u"Up"; }

// A keyboard macro entry: type 0 (a delay in `value`) or 1 (a key).
std::unique_ptr<TMacroKeyObject> MacroEntry(int type, int state, std::uint32_t value, int extended) {
    auto entry = std::make_unique<TMacroKeyObject>();
    entry->FMacroKey.nKeyType = static_cast<std::uint16_t>(type);
    entry->FMacroKey.nKeyState = static_cast<std::uint16_t>(state);
    entry->FMacroKey.nKeyValue = static_cast<std::uint16_t>(value);
    entry->FMacroKey.nKeyValueExtended = static_cast<std::uint16_t>(extended);
    return entry;
}

}  // namespace

void TuiHook::RecordKeyboardSingleKey() { EnableKeyboard(&TuiHook::SingleKeyRecordProc); }
void TuiHook::StopRecordKeyboardSingleKey() { DisableKeyboard(); }

void TuiHook::RecordKeyboardComboKey() {
    EnableKeyboard(&TuiHook::ComboKeyRecordProc);
    FLastTimeKeyboardCombo = 0;
}

void TuiHook::StopRecordKeyboardComboKey() {
    DisableKeyboard();
    FLastTimeKeyboardCombo = 0;
}

void TuiHook::RecordKeyboardMacroKey() {
    FMacroKeyList.clear();
    EnableKeyboard(&TuiHook::MacroKeyRecordProc);
}

void TuiHook::RecordKeyboardMacroKeyEx() {
    FLastMacroKey = TKBDLLHOOKSTRUCT{};
    FTotalMacroTime = 0;
    std::fill(std::begin(FAllKeyState), std::end(FAllKeyState), std::uint8_t{0});
    FMacroKeyList.clear();
    EnableKeyboard(&TuiHook::MacroKeyExRecordProc);
}

void TuiHook::StopRecordKeyboardMacroKey() {
    DisableKeyboard();
    // The handler takes the entries it wants by moving them out; whatever it
    // leaves, or all of them when there is no handler, is freed here.
    if (OnStopRecordKeyboardMacroKey) OnStopRecordKeyboardMacroKey(FMacroKeyList);
    FMacroKeyList.clear();
}

void TuiHook::RecordMouseMacro() {
    if (deps_.designing) return;
    FMouseMacroKeyList.clear();
    EnableMouse(&TuiHook::MouseMacroRecordProc);
    FLastTimeMouseMacro = 0;
}

void TuiHook::StopRecordMouseMacro() {
    if (deps_.designing) return;
    DisableMouse();
    if (OnStopRecordMouseMacroKey) OnStopRecordMouseMacroKey(FMouseMacroKeyList);
}

void TuiHook::SingleKeyRecordProc(int, unsigned, const TKBDLLHOOKSTRUCT& r, bool& blocked) {
    if (!OnRecordKeyboardSingleKey) return;
    const int key = static_cast<int>(r.vkCode);
    const int ext = static_cast<int>(r.flags & kExtended);
    OnRecordKeyboardSingleKey(key, r.scanCode, (r.flags & kKeyUp) ? 0 : 1, ext, GetKeyDescription(key, ext), blocked);
}

void TuiHook::ComboKeyRecordProc(int, unsigned, const TKBDLLHOOKSTRUCT& r, bool& blocked) {
    const bool plain = static_cast<bool>(OnRecordKeyboardComboKey);
    if (!plain && !OnRecordKeyboardComboKey2) return;
    if (r.flags & kKeyUp) return;
    switch (r.vkCode) {
        case 0xA0: case 0xA1: case 0xA2: case 0xA3: case 0xA4: case 0xA5: case 0x5B: case 0x5C:
            return;  // modifiers pass through
        default:
            break;
    }
    TCOMBOKEY& c = FComboKeyInfo;
    FComboKeyString.clear();
    c.nModifier = 0;
    if (c.nKeyValue1 && c.nKeyValue2) {
        c.nKeyValue1 = c.nKeyValue2 = 0;
        if (!plain) c.nScanKey1 = c.nScanKey2 = 0;
    }
    // Left or right key of each modifier, always in this order.
    struct Modifier {
        int left, right;
        std::uint16_t bit;
        const char16_t* text;
    };
    static constexpr Modifier kModifiers[] = {
        {0xA2, 0xA3, 2, u"Ctrl+"}, {0xA4, 0xA5, 1, u"Alt+"}, {0x5B, 0x5C, 8, u"Win+"}, {0xA0, 0xA1, 4, u"Shift+"}};
    for (const Modifier& m : kModifiers) {
        if (!deps_.library.IsKeyDown(m.left) && !deps_.library.IsKeyDown(m.right)) continue;
        c.nModifier = static_cast<std::uint16_t>(c.nModifier | m.bit);
        FComboKeyString += m.text;
    }
    const auto code = static_cast<std::uint16_t>(r.vkCode);
    const auto ext = static_cast<std::uint16_t>(r.flags & kExtended);
    auto asKey1 = [&] {
        c.nKeyValue1 = code;
        c.nKeyValue1Extended = ext;
        if (!plain) c.nScanKey1 = r.scanCode;
    };
    // Wrap-safe: the difference of two 32-bit millisecond counters.
    const bool fresh = FLastTimeKeyboardCombo == 0 || r.time - FLastTimeKeyboardCombo > 100;
    if (fresh) {
        asKey1();
        c.nKeyValue2 = 0;
        c.nKeyValue2Extended = 0;
        if (!plain) c.nScanKey2 = 0;
    } else if (c.nKeyValue1 == 0) {
        asKey1();
    } else if (c.nKeyValue2 == 0) {
        if (code == c.nKeyValue1) {
            asKey1();
        } else {
            c.nKeyValue2 = code;
            c.nKeyValue2Extended = ext;
            if (!plain) c.nScanKey2 = r.scanCode;
        }
    }
    FLastTimeKeyboardCombo = r.time;
    if (c.nKeyValue1) {
        u16 text = GetKeyDescription(c.nKeyValue1, c.nKeyValue1Extended);
        if (c.nKeyValue2) text += u"+" + GetKeyDescription(c.nKeyValue2, c.nKeyValue2Extended);
        if (!text.empty()) {
            FComboKeyString += text;
            if (plain) {
                OnRecordKeyboardComboKey(c.nKeyValue1, c.nKeyValue1Extended, c.nKeyValue2, c.nKeyValue2Extended,
                                         c.nModifier, FComboKeyString);
            } else {
                OnRecordKeyboardComboKey2(c.nKeyValue1, c.nScanKey1, c.nKeyValue1Extended, c.nKeyValue2, c.nScanKey2,
                                          c.nKeyValue2Extended, c.nModifier, FComboKeyString);
            }
        }
    }
    blocked = true;
}

void TuiHook::MacroKeyRecordProc(int, unsigned, const TKBDLLHOOKSTRUCT& r, bool& blocked) {
    if (!OnRecordKeyboardMacroKey) return;
    const int state = (r.flags & kKeyUp) ? 0 : 1;
    const int ext = static_cast<int>(r.flags & kExtended);
    const double time = static_cast<double>(r.time);
    if (FLastTimeKeyboardMacro == 0) {
        FLastTimeKeyboardMacro = r.time;
    } else {
        const std::uint32_t delay = r.time - FLastTimeKeyboardMacro;  // wrap-safe
        if (delay > 10 && delay < 2000) {
            Append(FMacroKeyList, MacroEntry(0, 0, delay, 0));
            OnRecordKeyboardMacroKey(0, static_cast<int>(delay), 0, 0, time, ToU16(delay), u"ms", FMacroKeyList);
        }
        FLastTimeKeyboardMacro = r.time;
    }
    // Every key gets its entry, whatever the delay before it was.
    Append(FMacroKeyList, MacroEntry(1, state, r.vkCode, ext));
    OnRecordKeyboardMacroKey(1, static_cast<int>(r.vkCode), state, ext, time,
                             GetKeyDescription(static_cast<int>(r.vkCode), ext), DownUp(state), FMacroKeyList);
    blocked = true;
}

void TuiHook::MacroKeyExRecordProc(int, unsigned, const TKBDLLHOOKSTRUCT& r, bool& blocked) {
    if (!OnRecordKeyboardMacroKeyEx) return;
    if (FMacroKeyList.size() > 500) return;  // full: recording and blocking stop
    if (r.vkCode > 255) return;               // no key-state slot for it
    const int state = (r.flags & kKeyUp) ? 0 : 1;
    const int ext = static_cast<int>(r.flags & kExtended);
    bool delayDue = false;
    if (FLastMacroKey.vkCode == 0) {
        FLastMacroKey = r;
        FTotalMacroTime = 0;
    } else if (r.vkCode == FLastMacroKey.vkCode && (r.flags & kExtended) == (FLastMacroKey.flags & kExtended) &&
               (r.flags & kKeyUp) == (FLastMacroKey.flags & kKeyUp) && state == 1) {
        FTotalMacroTime = r.time - FLastMacroKey.time;  // auto-repeat
    } else {
        FTotalMacroTime = r.time - FLastMacroKey.time;
        FLastMacroKey = r;
        if (state == 0) FAllKeyState[r.vkCode] = 0;
        delayDue = true;
    }
    if (delayDue && FTotalMacroTime > 0) {
        FTotalMacroTime = std::min<std::uint32_t>(FTotalMacroTime, 65535);
        Append(FMacroKeyList, MacroEntry(0, 0, FTotalMacroTime, 0));
    }
    if (FAllKeyState[r.vkCode] == 0) {
        if (state == 1) FAllKeyState[r.vkCode] = 1;
        Append(FMacroKeyList, MacroEntry(1, state, r.vkCode, ext));
        OnRecordKeyboardMacroKeyEx(1, static_cast<int>(r.vkCode), state, ext, static_cast<double>(r.time),
                                   FTotalMacroTime, GetKeyDescription(static_cast<int>(r.vkCode), ext), DownUp(state),
                                   FMacroKeyList);
    }
    blocked = true;
}

void TuiHook::MouseMacroRecordProc(int, unsigned msg, const TMSLLHOOKSTRUCT& r, bool&) {
    if (!OnRecordMouseMacroKey || (r.flags & kInjected)) return;
    const DecodedMouse d = msg == kWmMouseMove ? DecodedMouse{} : DecodeMouse(msg, r.mouseData, true);
    const std::uint16_t x = Clamp16(r.x), y = Clamp16(r.y);
    const double time = static_cast<double>(r.time);
    if (FLastTimeMouseMacro == 0) {
        FLastTimeMouseMacro = r.time;
    } else if (FLastTimeMouseMacro > r.time) {
        FLastTimeMouseMacro = r.time;  // the clock went back: timing starts again
        return;
    } else {
        const std::uint32_t delay = r.time - FLastTimeMouseMacro;
        FLastTimeMouseMacro = r.time;
        auto entry = std::make_unique<TMOUSEMacroKeyObject>();
        entry->FMOUSEMacroKey.X = x;
        entry->FMOUSEMacroKey.Y = y;
        entry->FMOUSEMacroKey.TimeValue = static_cast<std::uint16_t>(std::min<std::uint32_t>(delay, 65535));
        const TMouseButtons button = entry->FMOUSEMacroKey.MouseButton;
        Append(FMouseMacroKeyList, std::move(entry));
        OnRecordMouseMacroKey(0, button, 0, x, y, time, ToU16(delay), u"ms", FMouseMacroKeyList);
    }
    if (d.button == TMouseButtons::BUTTON_NONE) return;
    auto entry = std::make_unique<TMOUSEMacroKeyObject>();
    entry->FMOUSEMacroKey.nKeyType = 1;
    entry->FMOUSEMacroKey.nKeyState = static_cast<std::uint16_t>(d.state);
    entry->FMOUSEMacroKey.X = x;
    entry->FMOUSEMacroKey.Y = y;
    entry->FMOUSEMacroKey.MouseButton = d.button;
    Append(FMouseMacroKeyList, std::move(entry));
    OnRecordMouseMacroKey(1, d.button, d.state, x, y, time, GetMouseButtonDescription(d.button), DownUp(d.state),
                          FMouseMacroKeyList);
}

}  // namespace vxm
