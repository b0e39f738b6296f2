#pragma once
// uiHook.dll, bound at run time from the program's own folder only.
#include <windows.h>

#include <string>

#include "platform/hook_library.h"
#include "platform/win32/library_win32.h"
#include "platform/win32/uihook_api.h"

namespace vxm::win32 {

class HookLibrary final : public platform::IHookLibrary {
public:
    explicit HookLibrary(std::wstring path) : path_(std::move(path)) {}
    ~HookLibrary() override { Unload(); }
    HookLibrary(const HookLibrary&) = delete;
    HookLibrary& operator=(const HookLibrary&) = delete;

    platform::HookLibraryLoad Load() override;
    void Unload() override;
    void EnableKeyboardHook(platform::KeyboardProc proc) override;
    void DisableKeyboardHook() override;
    void EnableMouseHook(platform::MouseProc proc) override;
    void DisableMouseHook() override;
    bool IsKeyDown(int vk) override;

private:
    static void WINAPI KeyboardTrampoline(void* context, int code, WPARAM msg, void* record, BOOL* blocked);
    static void WINAPI MouseTrampoline(void* context, int code, WPARAM msg, void* record, BOOL* blocked);

    std::wstring path_;
    Library module_;
    UIHOOK_ENABLE enableKeyboard_ = nullptr;
    UIHOOK_DISABLE disableKeyboard_ = nullptr;
    UIHOOK_ENABLE enableMouse_ = nullptr;
    UIHOOK_DISABLE disableMouse_ = nullptr;
    platform::KeyboardProc keyboard_;
    platform::MouseProc mouse_;
};

}  // namespace vxm::win32
