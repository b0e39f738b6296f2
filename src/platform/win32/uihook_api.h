/* uiHook.dll: low-level keyboard and mouse hooks for the gaming mouse monitor.
 *
 * Shared by the library and the programs that bind it at run time by name.
 * Every export and the hook procedure use the Windows API calling convention
 * (WINAPI, which is __stdcall on 32-bit Windows); the exports are undecorated.
 *
 * Enable installs a WH_KEYBOARD_LL or WH_MOUSE_LL hook on the calling thread,
 * which must run a message loop: the system calls the hook, and the library
 * calls `proc` on that thread for every input event, with
 *   context  the value given to Enable,
 *   code     the hook code (HC_ACTION),
 *   message  the message identifier (WM_KEYDOWN ..., WM_MOUSEMOVE ...),
 *   record   a KBDLLHOOKSTRUCT* or MSLLHOOKSTRUCT*,
 *   blocked  a flag set to FALSE before the call; TRUE swallows the event.
 * Enable replaces a procedure enabled before. Disable removes the hook and
 * may be called any number of times. Unloading the library removes any hook
 * still installed. `reserved` is 0. The results are TRUE on success.
 */
#ifndef UIHOOK_API_H
#define UIHOOK_API_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void(WINAPI* UIHOOK_PROC)(void* context, int code, WPARAM message, void* record, BOOL* blocked);

typedef BOOL(WINAPI* UIHOOK_ENABLE)(UIHOOK_PROC proc, void* context, DWORD reserved);
typedef BOOL(WINAPI* UIHOOK_DISABLE)(void);

#ifdef UIHOOK_BUILDING
#define UIHOOK_EXPORT __declspec(dllexport)
#else
#define UIHOOK_EXPORT __declspec(dllimport)
#endif

UIHOOK_EXPORT BOOL WINAPI EnableKeyboardHook(UIHOOK_PROC proc, void* context, DWORD reserved);
UIHOOK_EXPORT BOOL WINAPI DisableKeyboardHook(void);
UIHOOK_EXPORT BOOL WINAPI EnableMouseHook(UIHOOK_PROC proc, void* context, DWORD reserved);
UIHOOK_EXPORT BOOL WINAPI DisableMouseHook(void);

#ifdef __cplusplus
}
#endif

#endif
