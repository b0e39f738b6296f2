#pragma once
// A hook library that feeds keyboard and mouse records to whatever procedure
// is enabled, on the calling thread, with time stamps the test chooses.
#include <set>

#include "platform/hook_library.h"

namespace vxm::fake {

class FakeHookLibrary : public platform::IHookLibrary {
public:
    platform::HookLibraryLoad loadResult = platform::HookLibraryLoad::Loaded;
    int loads = 0, unloads = 0, keyboardEnables = 0, mouseEnables = 0;
    std::set<int> down;  // keys held, as GetKeyState reports them

    platform::HookLibraryLoad Load() override {
        ++loads;
        return loadResult;
    }
    void Unload() override {
        ++unloads;
        keyboard_ = nullptr;
        mouse_ = nullptr;
    }
    void EnableKeyboardHook(platform::KeyboardProc proc) override {
        ++keyboardEnables;
        keyboard_ = std::move(proc);
    }
    void DisableKeyboardHook() override { keyboard_ = nullptr; }
    void EnableMouseHook(platform::MouseProc proc) override {
        ++mouseEnables;
        mouse_ = std::move(proc);
    }
    void DisableMouseHook() override { mouse_ = nullptr; }
    bool IsKeyDown(int vk) override { return down.count(vk) != 0; }

    bool KeyboardActive() const { return static_cast<bool>(keyboard_); }
    bool MouseActive() const { return static_cast<bool>(mouse_); }

    // Returns the blocked flag the procedure left.
    bool Key(std::uint32_t vk, bool up, std::uint32_t time, bool extended = false, std::uint32_t scan = 0) {
        platform::TKBDLLHOOKSTRUCT r;
        r.vkCode = vk;
        r.scanCode = scan;
        r.flags = (extended ? 1u : 0u) | (up ? 0x80u : 0u);
        r.time = time;
        bool blocked = false;
        if (keyboard_) keyboard_(0, up ? 0x101u : 0x100u, r, blocked);
        return blocked;
    }
    bool Mouse(unsigned msg, std::uint32_t time, std::int32_t x = 10, std::int32_t y = 20, std::int16_t high = 0,
               bool injected = false) {
        platform::TMSLLHOOKSTRUCT r;
        r.x = x;
        r.y = y;
        r.mouseData = static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16;
        r.flags = injected ? 1u : 0u;
        r.time = time;
        bool blocked = false;
        if (mouse_) mouse_(0, msg, r, blocked);
        return blocked;
    }

private:
    platform::KeyboardProc keyboard_;
    platform::MouseProc mouse_;
};

}  // namespace vxm::fake
