#include "ui/mute_mark.h"

#include <algorithm>
#include <cmath>

namespace vxm::ui {

namespace {

enum class Part { Outside, Glyph, Disc, Outline };

// The part at (u, v), both -1..1 across the disc.
Part MarkAt(double u, double v, double outline) {
    const double d = std::sqrt(u * u + v * v);
    if (d > 1.0) return Part::Outside;
    if (outline > 0 && d > 1.0 - outline) return Part::Outline;
    if (d > 0.84) return Part::Glyph;  // the rim
    // The slash, from upper left to lower right.
    if (std::abs(u - v) / std::sqrt(2.0) < 0.11 && std::abs(u) < 0.66) return Part::Glyph;
    // The capsule of the microphone.
    const double cv = std::clamp(v, -0.5, -0.05);
    if (std::sqrt(u * u + (v - cv) * (v - cv)) < 0.2) return Part::Glyph;
    // Its holder, a half ring below the capsule, the stem and the foot.
    const double ring = std::sqrt(u * u + (v + 0.12) * (v + 0.12));
    if (v > -0.12 && ring > 0.33 && ring < 0.45) return Part::Glyph;
    if (std::abs(u) < 0.07 && v > 0.3 && v < 0.58) return Part::Glyph;
    if (std::abs(v - 0.58) < 0.07 && std::abs(u) < 0.26) return Part::Glyph;
    return Part::Disc;
}

double Channel(std::uint32_t rgb, int shift) { return static_cast<double>((rgb >> shift) & 0xFF); }

std::uint32_t Byte(double c) { return static_cast<std::uint32_t>(std::lround(std::clamp(c, 0.0, 255.0))); }

}  // namespace

int MuteMarkDiameter(int size) { return std::max(7, (size * 9 + 8) / 16); }

void DrawMuteMark(std::vector<std::uint32_t>& argb, int width, int height, const MuteMarkStyle& style) {
    const int size = std::min(width, height);
    if (size < 8 || argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
    const int diameter = MuteMarkDiameter(size);
    const int left = width - diameter;
    const int top = height - diameter;
    const double radius = diameter / 2.0;
    constexpr int kSamples = 4;
    for (int y = top; y < height; ++y) {
        for (int x = left; x < width; ++x) {
            double cover = 0, r = 0, g = 0, b = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double u = (x - left + (sx + 0.5) / kSamples - radius) / radius;
                    const double v = (y - top + (sy + 0.5) / kSamples - radius) / radius;
                    const Part part = MarkAt(u, v, style.outline);
                    if (part == Part::Outside) continue;
                    const std::uint32_t colour = part == Part::Glyph  ? style.glyph
                                                 : part == Part::Disc ? style.disc
                                                                      : style.outlineColour;
                    cover += 1;
                    r += Channel(colour, 16);
                    g += Channel(colour, 8);
                    b += Channel(colour, 0);
                }
            }
            if (cover == 0) continue;
            // The mark's samples over the icon's pixel, straight alpha.
            std::uint32_t& p = argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(x)];
            const double as = cover / (kSamples * kSamples);
            const double ab = Channel(p, 24) / 255.0 * (1 - as);
            const double a = as + ab;
            const auto mix = [&](double mark, int shift) { return Byte((mark / cover * as + Channel(p, shift) * ab) / a); };
            p = Byte(a * 255) << 24 | mix(r, 16) << 16 | mix(g, 8) << 8 | mix(b, 0);
        }
    }
}

}  // namespace vxm::ui
