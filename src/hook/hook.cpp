#include "hook/hook.h"

#include <chrono>

#include "hook/mouse_messages.h"

namespace vxm {
namespace {

// The process-wide binding.
bool g_libraryLoaded = false;

}  // namespace

int TuiHook::LoadHookLibrary(platform::IHookLibrary& library, const std::function<void(u16view, u16view)>& showError) {
    if (g_libraryLoaded) return 1;
    switch (library.Load()) {
        case platform::HookLibraryLoad::Missing:
            if (showError) showError(u"uiHook.dll can not be found!", u"Error");
            return 0;
        case platform::HookLibraryLoad::IncompleteExports:
            library.Unload();
            return 0;
        case platform::HookLibraryLoad::NotOnThisSystem:
            return 0;
        case platform::HookLibraryLoad::Loaded:
            g_libraryLoaded = true;
            return 1;
    }
    return 0;
}

void TuiHook::UnloadHookLibrary(platform::IHookLibrary& library) {
    g_libraryLoaded = false;
    library.Unload();
}

bool TuiHook::HookLibraryBound() { return g_libraryLoaded; }

TuiHook::TuiHook(HookDependencies deps) : deps_(std::move(deps)) {
    if (deps_.designing) return;
    FDLLLoaded = LoadHookLibrary(deps_.library, deps_.showError) > 0;
    FIdThreadComponentDataEvent = std::thread([this] { DataEventThreadExecute(); });
}

TuiHook::~TuiHook() {
    if (deps_.designing) return;
    UnloadHookLibrary(deps_.library);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        FGlobalEvent = true;
    }
    signalled_.notify_all();
    if (FIdThreadComponentDataEvent.joinable()) FIdThreadComponentDataEvent.join();
}

void TuiHook::DataEventThreadExecute() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        signalled_.wait(lock, [this] { return FGlobalDataEvent || FGlobalEvent; });
        if (FGlobalDataEvent && !FGlobalEvent) {
            FGlobalDataEvent = false;
            lock.unlock();
            platform::HandOver result = platform::HandOver::NoMainThread;
            try {
                result = deps_.dispatcher.RunOnMainThread([this] { ProcessDataEvent(); },
                                                          [this] {
                                                              std::lock_guard<std::mutex> l(mutex_);
                                                              return FGlobalEvent;
                                                          });
            } catch (...) {
                // The hand-over itself failed: the records wait for the next one.
            }
            lock.lock();
            if (result == platform::HandOver::Refused && !FGlobalEvent) {
                // A full queue: the records stay listed and are offered again shortly.
                FGlobalDataEvent = true;
                signalled_.wait_for(lock, std::chrono::milliseconds(10), [this] { return FGlobalEvent; });
            }
            continue;
        }
        if (FGlobalEvent) return;
    }
}

void TuiHook::QueueRecord(std::uint8_t kind, const void* entry) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        FRecordDataToProcessList.emplace_back(kind, entry);
        FGlobalDataEvent = true;
    }
    signalled_.notify_all();
}

void TuiHook::ProcessDataEvent() {
    std::vector<std::pair<std::uint8_t, const void*>> items;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items.swap(FRecordDataToProcessList);
    }
    for (const auto& [kind, entry] : items) {
        // Each record on its own: a handler's exception goes to the owner,
        // never back to the worker thread (where it would end the program).
        try {
            ReportRecord(kind, entry);
        } catch (const std::exception& e) {
            ReportException(Utf16(e.what()));
        } catch (...) {
            ReportException(u"Unknown exception in a record handler");
        }
    }
}

void TuiHook::ReportException(u16view message) {
    if (!deps_.onException) return;
    try {
        deps_.onException(message);
    } catch (...) {
        // The owner's handler failed too; the next record is still reported.
    }
}

void TuiHook::ReportRecord(std::uint8_t kind, const void* entry) {
    if (kind == 1 && OnRecordKeyboardMacroKey) {
        const auto& m = static_cast<const TMacroKeyObject*>(entry)->FMacroKey;
        OnRecordKeyboardMacroKey(m.nKeyType, m.nKeyValue, m.nKeyState, m.nKeyValueExtended, m.Time,
                                 m.MacroKeyString, m.MacroKeyStateString, FMacroKeyList);
    } else if (kind == 0 && OnRecordMouseMacroKey) {
        const auto& m = static_cast<const TMOUSEMacroKeyObject*>(entry)->FMOUSEMacroKey;
        OnRecordMouseMacroKey(m.nKeyType, m.MouseButton, m.nKeyState, m.X, m.Y, m.Time, m.MacroKeyString,
                              m.MacroKeyStateString, FMouseMacroKeyList);
    }
}

void TuiHook::EnableKeyboard(void (TuiHook::*proc)(int, unsigned, const TKBDLLHOOKSTRUCT&, bool&)) {
    if (!FDLLLoaded) return;
    deps_.library.DisableKeyboardHook();
    deps_.library.EnableKeyboardHook(
        [this, proc](int code, unsigned msg, const TKBDLLHOOKSTRUCT& r, bool& blocked) { (this->*proc)(code, msg, r, blocked); });
}

void TuiHook::EnableMouse(void (TuiHook::*proc)(int, unsigned, const TMSLLHOOKSTRUCT&, bool&)) {
    if (!FDLLLoaded) return;
    deps_.library.DisableMouseHook();
    deps_.library.EnableMouseHook(
        [this, proc](int code, unsigned msg, const TMSLLHOOKSTRUCT& r, bool& blocked) { (this->*proc)(code, msg, r, blocked); });
}

void TuiHook::DisableKeyboard() {
    if (FDLLLoaded) deps_.library.DisableKeyboardHook();
}

void TuiHook::DisableMouse() {
    if (FDLLLoaded) deps_.library.DisableMouseHook();
}

void TuiHook::StartHookKeyboard() { EnableKeyboard(&TuiHook::KeyboardHookProc); }
void TuiHook::StartHookMouse() { EnableMouse(&TuiHook::MouseHookProc); }
void TuiHook::StopHookKeyboard() { DisableKeyboard(); }
void TuiHook::StopHookMouse() { DisableMouse(); }

void TuiHook::AddKeyboardHookObject(std::unique_ptr<TKeyBoardHookDetailObject> AObject) {
    if (deps_.designing || !AObject) return;
    const u16 name = ToU16(AObject->FKeyBoardHookDetail.KeyboardVKKey);
    FKeyboardHookObjectList.emplace_back(name, std::move(AObject));
}

void TuiHook::RemoveAllKeyboardHookObject() {
    if (!deps_.designing) FKeyboardHookObjectList.clear();
}

void TuiHook::AddMouseHookObject(std::unique_ptr<TMouseHookDetailObject> AObject) {
    if (deps_.designing || !AObject) return;
    const u16 name = ToU16(static_cast<int>(AObject->FMouseHookDetail.MouseButton));
    FMouseHookObjectList.emplace_back(name, std::move(AObject));
}

void TuiHook::RemoveAllMouseHookObject() {
    if (!deps_.designing) FMouseHookObjectList.clear();
}

void TuiHook::KeyboardHookProc(int code, unsigned, const TKBDLLHOOKSTRUCT& r, bool& blocked) {
    if (code != 0) return;
    const int key = static_cast<int>(r.vkCode);
    const int ext = static_cast<int>(r.flags & kExtended);
    const int state = (r.flags & kKeyUp) ? 0 : 1;
    if (OnHookKeyboardAllKey) OnHookKeyboardAllKey(key, state, ext, blocked, r.scanCode);
    if (!OnHookKeyboardKey) return;
    for (const auto& entry : FKeyboardHookObjectList) {
        const TKeyBoardHookDetail& d = entry.second->FKeyBoardHookDetail;
        if (d.KeyboardVKKey == -1) return;
        const bool match = d.KeyExtended == ext &&
                           ((d.KeyboardVKKey != 0 && d.KeyboardVKKey == key) ||
                            (d.KeyboardSCANKey != 0 && static_cast<std::uint32_t>(d.KeyboardSCANKey) == r.scanCode));
        if (!match) continue;
        if (d.block == 1) blocked = true;
        OnHookKeyboardKey(key, state, ext, blocked, r.scanCode);
        return;
    }
}

void TuiHook::MouseHookProc(int, unsigned msg, const TMSLLHOOKSTRUCT& r, bool& blocked) {
    const bool injected = (r.flags & kInjected) != 0;
    if (msg == kWmMouseMove) {
        if (OnHookMouseMove && !injected) {
            OnHookMouseMove(r.x, r.y, static_cast<double>(r.time));
            blocked = false;  // a move is never swallowed
        }
        return;
    }
    if (injected) return;
    const DecodedMouse d = DecodeMouse(msg, r.mouseData, false);
    if (OnHookMouseAllButton) OnHookMouseAllButton(d.button, d.state, d.extra, blocked);
    if (!OnHookMouseButton) return;
    const unsigned number = msg - kWmMouseMove;
    for (const auto& entry : FMouseHookObjectList) {
        const TMouseHookDetail& m = entry.second->FMouseHookDetail;
        const bool inSet = number <= 15 && (m.MouseStateSet & (1u << number)) != 0;
        if (!inSet || static_cast<int>(m.MouseButton) < static_cast<int>(d.button)) continue;
        if (m.ModifiedFunction != d.button) OnHookMouseButton(d.button, d.state, blocked);
        return;
    }
}

}  // namespace vxm
