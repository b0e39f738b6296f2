// uiHook.dll: see uihook_api.h.
#define UIHOOK_BUILDING
#include "platform/win32/uihook_api.h"

namespace {

HINSTANCE g_module = nullptr;

struct Slot {
    HHOOK hook = nullptr;
    UIHOOK_PROC proc = nullptr;
    void* context = nullptr;
};
Slot g_keyboard;
Slot g_mouse;

LRESULT Deliver(Slot& slot, int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && slot.proc) {
        BOOL blocked = FALSE;
        slot.proc(slot.context, code, wParam, reinterpret_cast<void*>(lParam), &blocked);
        if (blocked) return 1;  // swallowed
    }
    return CallNextHookEx(slot.hook, code, wParam, lParam);
}

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) { return Deliver(g_keyboard, code, wParam, lParam); }
LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam) { return Deliver(g_mouse, code, wParam, lParam); }

BOOL Disable(Slot& slot) {
    if (slot.hook) UnhookWindowsHookEx(slot.hook);
    slot = Slot{};
    return TRUE;
}

BOOL Enable(Slot& slot, int type, HOOKPROC hookProc, UIHOOK_PROC proc, void* context) {
    Disable(slot);
    if (!proc) return FALSE;
    slot.proc = proc;
    slot.context = context;
    slot.hook = SetWindowsHookExW(type, hookProc, g_module, 0);
    if (!slot.hook) slot = Slot{};
    return slot.hook != nullptr;
}

}  // namespace

extern "C" {

BOOL WINAPI EnableKeyboardHook(UIHOOK_PROC proc, void* context, DWORD) {
    return Enable(g_keyboard, WH_KEYBOARD_LL, KeyboardProc, proc, context);
}
BOOL WINAPI DisableKeyboardHook(void) { return Disable(g_keyboard); }
BOOL WINAPI EnableMouseHook(UIHOOK_PROC proc, void* context, DWORD) {
    return Enable(g_mouse, WH_MOUSE_LL, MouseProc, proc, context);
}
BOOL WINAPI DisableMouseHook(void) { return Disable(g_mouse); }

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Unloading removes whatever is still installed.
        Disable(g_keyboard);
        Disable(g_mouse);
    }
    return TRUE;
}

}  // extern "C"
