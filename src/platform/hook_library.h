#pragma once
// The companion hook library (uiHook.dll) and the keyboard state the
// combination recorder reads.
#include <cstdint>
#include <functional>

namespace vxm::platform {

// Input records as the library delivers them (KBDLLHOOKSTRUCT, MSLLHOOKSTRUCT).
struct TKBDLLHOOKSTRUCT {
    std::uint32_t vkCode = 0;
    std::uint32_t scanCode = 0;
    std::uint32_t flags = 0;  // bit 0 extended, bit 7 key up
    std::uint32_t time = 0;
    std::uintptr_t dwExtraInfo = 0;
};

struct TMSLLHOOKSTRUCT {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint32_t mouseData = 0;  // high word: X button or wheel delta
    std::uint32_t flags = 0;      // bit 0 injected
    std::uint32_t time = 0;
    std::uintptr_t dwExtraInfo = 0;
};

// A procedure the library calls for each event: hook code, message
// identifier, the record, and the blocked flag (false on entry).
using KeyboardProc = std::function<void(int code, unsigned msg, const TKBDLLHOOKSTRUCT& record, bool& blocked)>;
using MouseProc = std::function<void(int code, unsigned msg, const TMSLLHOOKSTRUCT& record, bool& blocked)>;

// NotOnThisSystem: the system has no such library at all (Linux), which is
// nothing to tell the user about.
enum class HookLibraryLoad { Loaded, Missing, IncompleteExports, NotOnThisSystem };

class IHookLibrary {
public:
    virtual ~IHookLibrary() = default;
    virtual HookLibraryLoad Load() = 0;
    virtual void Unload() = 0;
    virtual void EnableKeyboardHook(KeyboardProc proc) = 0;
    virtual void DisableKeyboardHook() = 0;
    virtual void EnableMouseHook(MouseProc proc) = 0;
    virtual void DisableMouseHook() = 0;
    // GetKeyState(vk) & 0x80.
    virtual bool IsKeyDown(int vk) = 0;
};

}  // namespace vxm::platform
