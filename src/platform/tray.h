#pragma once
// The program's icon in the notification area.
#include <cstddef>
#include <functional>

#include "common/text.h"

namespace vxm::platform {

// What a tray tip holds, without its terminating zero.
inline constexpr std::size_t kTrayHintMax = 127;

class ITrayIcon {
public:
    virtual ~ITrayIcon() = default;
    virtual bool LoadIconFromFile(u16view path) = 0;  // false: keeps the program's own icon
    // Up to kTrayHintMax units are shown; a longer hint is cut.
    virtual void SetHint(u16view hint) = 0;
    // The program's icon with a muted-microphone mark in a corner, or without.
    virtual void SetMuteBadge(bool shown) = 0;
    virtual void SetVisible(bool visible) = 0;
    std::function<void()> OnClick;  // a selection: a single left click, or Space or Enter on the icon
};

}  // namespace vxm::platform
