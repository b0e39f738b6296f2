// The muted mark drawn into the tray icon's images: where it lands at each
// icon size, what it is made of, and the outline that aligns its colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "ui/mute_mark.h"

namespace vxm::ui {
namespace {

TEST(MuteMark, ADiscOverTheLowerRightCornerAtEverySizeWithTheStruckMicrophone) {
    // Icon size -> the mark's diameter: nine sixteenths, at least 7.
    for (const auto& [size, diameter] : std::vector<std::pair<int, int>>{{8, 7}, {16, 9}, {22, 12}, {32, 18}, {48, 27}, {256, 144}}) {
        // An opaque grey icon: the mark changes exactly the pixels of its square's disc.
        std::vector<std::uint32_t> icon(static_cast<std::size_t>(size * size), 0xFF808080);
        DrawMuteMark(icon, size, size);
        int left = size, top = size, changed = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (icon[static_cast<std::size_t>(y * size + x)] == 0xFF808080) continue;
                ++changed;
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
        EXPECT_EQ(MuteMarkDiameter(size), diameter) << size;
        EXPECT_EQ(left, size - diameter) << size;
        EXPECT_EQ(top, size - diameter) << size;
        // A disc: pi/4 of its square, with the pixels its edge touches.
        EXPECT_GE(changed, 0.78 * diameter * diameter) << size;
        EXPECT_LE(changed, 0.79 * (diameter + 2) * (diameter + 2)) << size;
        EXPECT_EQ(icon.back(), 0xFF808080u) << "the very corner lies outside the disc, " << size;
    }
    // On a clear 48-pixel icon (a 27-pixel disc centred at 34.5, 34.5): its
    // centre is on the white slash, (-0.6, 0.3) of the radius is red disc,
    // the rim white, outside stays clear; the mark is opaque where it is whole.
    std::vector<std::uint32_t> icon(48 * 48, 0);
    DrawMuteMark(icon, 48, 48);
    const auto at = [&](double u, double v) {
        const int x = static_cast<int>(34.5 + u * 13.5), y = static_cast<int>(34.5 + v * 13.5);
        return icon[static_cast<std::size_t>(y * 48 + x)];
    };
    EXPECT_EQ(at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(at(-0.6, 0.3), 0xFFD81E1Eu);
    EXPECT_EQ(at(0, -0.93), 0xFFFFFFFFu);
    EXPECT_EQ(icon[0], 0u);
    EXPECT_EQ(at(-0.95, -0.95), 0u);

    // An outline takes the rim's outer part in its own colour; the inside stays.
    std::vector<std::uint32_t> outlined(48 * 48, 0);
    DrawMuteMark(outlined, 48, 48, MuteMarkStyle{0xD81E1E, 0xFFFFFF, 0x202020, 0.1});
    EXPECT_EQ(outlined[static_cast<std::size_t>(static_cast<int>(34.5 + 0 * 13.5) + 48 * 21)] & 0xFFFFFF, 0x202020u)
        << "the top of the disc";
    EXPECT_EQ(outlined[static_cast<std::size_t>(34 + 48 * 34)], icon[static_cast<std::size_t>(34 + 48 * 34)]);

    // Nothing to draw on: a tiny image, a buffer that does not hold it.
    std::vector<std::uint32_t> tiny(7 * 7, 0xFF000000);
    DrawMuteMark(tiny, 7, 7);
    EXPECT_EQ(tiny, std::vector<std::uint32_t>(7 * 7, 0xFF000000));
    std::vector<std::uint32_t> short_(10, 0);
    DrawMuteMark(short_, 16, 16);
    EXPECT_EQ(short_, std::vector<std::uint32_t>(10, 0));
}

}  // namespace
}  // namespace vxm::ui
