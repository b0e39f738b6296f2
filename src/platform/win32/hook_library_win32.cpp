#include "platform/win32/hook_library_win32.h"

namespace vxm::win32 {

platform::HookLibraryLoad HookLibrary::Load() {
    if (module_) return platform::HookLibraryLoad::Loaded;
    // By its full path: a file of that name in the current folder or on the
    // search path is never loaded.
    const DWORD attributes = GetFileAttributesW(path_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return platform::HookLibraryLoad::Missing;
    }
    module_ = Library::FromPath(path_);
    if (!module_) return platform::HookLibraryLoad::Missing;
    enableKeyboard_ = module_.Bind<UIHOOK_ENABLE>("EnableKeyboardHook");
    disableKeyboard_ = module_.Bind<UIHOOK_DISABLE>("DisableKeyboardHook");
    enableMouse_ = module_.Bind<UIHOOK_ENABLE>("EnableMouseHook");
    disableMouse_ = module_.Bind<UIHOOK_DISABLE>("DisableMouseHook");
    if (!enableKeyboard_ || !disableKeyboard_ || !enableMouse_ || !disableMouse_) {
        return platform::HookLibraryLoad::IncompleteExports;
    }
    return platform::HookLibraryLoad::Loaded;
}

void HookLibrary::Unload() {
    // The library removes its own hooks when it goes.
    module_.Reset();
    enableKeyboard_ = enableMouse_ = nullptr;
    disableKeyboard_ = disableMouse_ = nullptr;
    keyboard_ = nullptr;
    mouse_ = nullptr;
}

void HookLibrary::EnableKeyboardHook(platform::KeyboardProc proc) {
    if (!enableKeyboard_) return;
    keyboard_ = std::move(proc);
    enableKeyboard_(&HookLibrary::KeyboardTrampoline, this, 0);
}

void HookLibrary::DisableKeyboardHook() {
    if (disableKeyboard_) disableKeyboard_();
    keyboard_ = nullptr;
}

void HookLibrary::EnableMouseHook(platform::MouseProc proc) {
    if (!enableMouse_) return;
    mouse_ = std::move(proc);
    enableMouse_(&HookLibrary::MouseTrampoline, this, 0);
}

void HookLibrary::DisableMouseHook() {
    if (disableMouse_) disableMouse_();
    mouse_ = nullptr;
}

bool HookLibrary::IsKeyDown(int vk) { return (GetKeyState(vk) & 0x80) != 0; }

void WINAPI HookLibrary::KeyboardTrampoline(void* context, int code, WPARAM msg, void* record, BOOL* blocked) {
    auto* self = static_cast<HookLibrary*>(context);
    if (!self || !self->keyboard_ || !record || !blocked) return;
    const auto* k = static_cast<const KBDLLHOOKSTRUCT*>(record);
    platform::TKBDLLHOOKSTRUCT r{k->vkCode, k->scanCode, k->flags, k->time, static_cast<std::uintptr_t>(k->dwExtraInfo)};
    bool b = *blocked != FALSE;
    self->keyboard_(code, static_cast<unsigned>(msg), r, b);
    *blocked = b ? TRUE : FALSE;
}

void WINAPI HookLibrary::MouseTrampoline(void* context, int code, WPARAM msg, void* record, BOOL* blocked) {
    auto* self = static_cast<HookLibrary*>(context);
    if (!self || !self->mouse_ || !record || !blocked) return;
    const auto* m = static_cast<const MSLLHOOKSTRUCT*>(record);
    platform::TMSLLHOOKSTRUCT r{m->pt.x, m->pt.y, m->mouseData, m->flags, m->time,
                                static_cast<std::uintptr_t>(m->dwExtraInfo)};
    bool b = *blocked != FALSE;
    self->mouse_(code, static_cast<unsigned>(msg), r, b);
    *blocked = b ? TRUE : FALSE;
}

}  // namespace vxm::win32
