#pragma once
// The muted mark that the tray draws into the program's icon while the
// microphone is muted: a red disc over the lower right corner, nine
// sixteenths of the icon across (at least 7 pixels), with a white rim and a
// white microphone struck through from upper left to lower right, sampled
// four by four per pixel and laid over the icon.
#include <cstdint>
#include <vector>

namespace vxm::ui {

struct MuteMarkStyle {
    std::uint32_t disc = 0xD81E1E;   // RGB
    std::uint32_t glyph = 0xFFFFFF;  // the rim, the microphone and the slash
    // A ring of this colour at the disc's edge, `outline` of its radius wide
    // (taken from the rim); 0 for none.
    std::uint32_t outlineColour = 0x000000;
    double outline = 0.0;
};

// The mark's diameter in pixels on an icon `size` pixels across.
int MuteMarkDiameter(int size);

// Draws the mark over the lower right corner of `argb`: `width` x `height`
// pixels as 0xAARRGGBB words with straight alpha, row by row from the top.
// An image smaller than 8 pixels, or one whose buffer does not hold it,
// stays as it is.
void DrawMuteMark(std::vector<std::uint32_t>& argb, int width, int height, const MuteMarkStyle& style = {});

}  // namespace vxm::ui
