#pragma once
// Draws the About page of the monitor's window from its scene.
#include <windows.h>

#include "ui/scene.h"

namespace vxm::win32 {

inline constexpr int kAboutWidth = 504;
inline constexpr int kAboutHeight = 400;

// The page's background and frame, then, with a scene, its buttons and texts.
void PaintAboutPage(HDC dc, const RECT& client, const ui::Scene* scene);

}  // namespace vxm::win32
