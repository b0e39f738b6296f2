#pragma once
// TuiHook: system-wide keyboard and mouse input through the companion hook
// library: every event, registered keys and buttons that handlers may block,
// and the recording of single keys, combinations and macros.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "common/text.h"
#include "hook/key_tables.h"
#include "hook/recording.h"
#include "platform/dispatcher.h"
#include "platform/hook_library.h"

namespace vxm {

using platform::TKBDLLHOOKSTRUCT;
using platform::TMSLLHOOKSTRUCT;

struct TKeyBoardHookDetail {
    std::int32_t KeyboardVKKey = 0;  // -1 ends the usable entries
    std::int32_t KeyboardSCANKey = 0;
    std::int32_t KeyExtended = 0;
    std::int32_t block = 0;  // 1 presets the blocked flag on a match
};
struct TKeyBoardHookDetailObject {
    TKeyBoardHookDetail FKeyBoardHookDetail;
};

// A set of mouse message numbers (identifier - 0x200, 0 to 15).
using TMouseButtonStateSet = std::uint16_t;
enum class TMouseStatesToHook : std::uint8_t { HOOK_DOWN, HOOK_UP };
struct TMouseHookDetail {
    TMouseButtons MouseButton = TMouseButtons::BUTTON_NONE;
    TMouseButtonStateSet MouseStateSet = 0;
    TMouseButtons ModifiedFunction = TMouseButtons::BUTTON_NONE;
    TMouseStatesToHook MouseStateToHook = TMouseStatesToHook::HOOK_DOWN;
};
struct TMouseHookDetailObject {
    TMouseHookDetail FMouseHookDetail;
};

using TOnHookKeyboardKey = std::function<void(int Key, int AState, int AKeyExtended, bool& ABlocked, std::uint32_t AScanKey)>;
using TOnHookMouseButton = std::function<void(TMouseButtons AuiButton, int AState, bool& ABlocked)>;
using TOnHookAllMouseButton =
    std::function<void(TMouseButtons AuiButton, int AState, std::int16_t AExValue, bool& ABlocked)>;
using TOnHookMouseMove = std::function<void(int X, int Y, double Time)>;

struct HookDependencies {
    platform::IHookLibrary& library;
    platform::IMainThreadDispatcher& dispatcher;
    std::function<void(u16view text, u16view caption)> showError;
    bool designing = false;
    // Hears, on the main thread, of an exception a record handler raised;
    // the records after it are still reported.
    std::function<void(u16view message)> onException;
};

class TuiHook final {
public:
    explicit TuiHook(HookDependencies deps);
    ~TuiHook();
    TuiHook(const TuiHook&) = delete;
    TuiHook& operator=(const TuiHook&) = delete;

    bool DLLLoaded() const { return FDLLLoaded; }

    void StartHookKeyboard();
    void StartHookMouse();
    void StopHookKeyboard();
    void StopHookMouse();
    void AddKeyboardHookObject(std::unique_ptr<TKeyBoardHookDetailObject> AObject);
    void RemoveAllKeyboardHookObject();
    void AddMouseHookObject(std::unique_ptr<TMouseHookDetailObject> AObject);
    void RemoveAllMouseHookObject();
    void ProcessDataEvent();
    // Queues a macro entry to be reported on the main thread (kind 1 keyboard,
    // 0 mouse); the entry must stay alive until then.
    void QueueRecord(std::uint8_t kind, const void* entry);

    void RecordKeyboardSingleKey();
    void StopRecordKeyboardSingleKey();
    void RecordKeyboardComboKey();
    void StopRecordKeyboardComboKey();
    void RecordKeyboardMacroKey();
    void RecordKeyboardMacroKeyEx();
    void StopRecordKeyboardMacroKey();
    void StopRecordKeyboardMacroKeyEx() { StopRecordKeyboardMacroKey(); }
    void RecordMouseMacro();
    void StopRecordMouseMacro();

    // The procedures the library calls (public for tests that feed records).
    void KeyboardHookProc(int code, unsigned msg, const TKBDLLHOOKSTRUCT& r, bool& blocked);
    void MouseHookProc(int code, unsigned msg, const TMSLLHOOKSTRUCT& r, bool& blocked);
    void SingleKeyRecordProc(int code, unsigned msg, const TKBDLLHOOKSTRUCT& r, bool& blocked);
    void ComboKeyRecordProc(int code, unsigned msg, const TKBDLLHOOKSTRUCT& r, bool& blocked);
    void MacroKeyRecordProc(int code, unsigned msg, const TKBDLLHOOKSTRUCT& r, bool& blocked);
    void MacroKeyExRecordProc(int code, unsigned msg, const TKBDLLHOOKSTRUCT& r, bool& blocked);
    void MouseMacroRecordProc(int code, unsigned msg, const TMSLLHOOKSTRUCT& r, bool& blocked);

    // Process-wide binding of the library, shared by every instance.
    static int LoadHookLibrary(platform::IHookLibrary& library,
                               const std::function<void(u16view, u16view)>& showError);
    static void UnloadHookLibrary(platform::IHookLibrary& library);
    static bool HookLibraryBound();

    TOnRecordKeyboardSingleKey OnRecordKeyboardSingleKey;
    TOnRecordKeyboardComboKey OnRecordKeyboardComboKey;
    TOnRecordKeyboardComboKey2 OnRecordKeyboardComboKey2;
    TOnRecordKeyboardMacroKey OnRecordKeyboardMacroKey;
    TOnRecordKeyboardMacroKeyEx OnRecordKeyboardMacroKeyEx;
    TOnStopRecordKeyboardMacroKey OnStopRecordKeyboardMacroKey;
    TOnStopRecordMouseMacroKey OnStopRecordMouseMacroKey;
    TOnRecordMouseMacroKey OnRecordMouseMacroKey;
    TOnHookKeyboardKey OnHookKeyboardKey;
    TOnHookMouseButton OnHookMouseButton;
    TOnHookKeyboardKey OnHookKeyboardAllKey;
    TOnHookAllMouseButton OnHookMouseAllButton;
    TOnHookMouseMove OnHookMouseMove;

    const TCOMBOKEY& ComboKeyInfo() const { return FComboKeyInfo; }
    const TMacroKeyList& MacroKeyList() const { return FMacroKeyList; }
    const TMouseMacroKeyList& MouseMacroKeyList() const { return FMouseMacroKeyList; }

private:
    void ReportRecord(std::uint8_t kind, const void* entry);
    void ReportException(u16view message);
    void EnableKeyboard(void (TuiHook::*proc)(int, unsigned, const TKBDLLHOOKSTRUCT&, bool&));
    void EnableMouse(void (TuiHook::*proc)(int, unsigned, const TMSLLHOOKSTRUCT&, bool&));
    void DisableKeyboard();
    void DisableMouse();
    void DataEventThreadExecute();

    HookDependencies deps_;
    bool FDLLLoaded = false;
    TCOMBOKEY FComboKeyInfo;
    u16 FComboKeyString;
    TMacroKeyList FMacroKeyList;
    TMouseMacroKeyList FMouseMacroKeyList;
    TOwnedList<TKeyBoardHookDetailObject> FKeyboardHookObjectList;
    TOwnedList<TMouseHookDetailObject> FMouseHookObjectList;
    std::uint32_t FLastTimeKeyboardMacro = 0;
    std::uint32_t FLastTimeKeyboardCombo = 0;
    std::uint32_t FLastTimeMouseMacro = 0;
    std::uint32_t FTotalMacroTime = 0;
    TKBDLLHOOKSTRUCT FLastMacroKey;
    std::uint8_t FAllKeyState[256] = {};

    // The worker thread, its two events and the deferred record queue.
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool FGlobalEvent = false;      // stop
    bool FGlobalDataEvent = false;  // data
    std::vector<std::pair<std::uint8_t, const void*>> FRecordDataToProcessList;
    std::thread FIdThreadComponentDataEvent;
};

}  // namespace vxm
