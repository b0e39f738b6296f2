// The tray backend's muted mark: composed over the icon at each size the
// tray asks for, the rest of the icon left as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/win32/gdi_win32.h"
#include "platform/win32/tray_win32.h"

namespace vxm::win32 {
namespace {

// A size x size icon: opaque blue, with its upper left quarter clear.
Icon TestIcon(int size, bool withAlpha) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* p = nullptr;
    const GdiObject<HBITMAP> color(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
    const std::size_t stride = static_cast<std::size_t>((size + 15) / 16) * 2;
    std::vector<std::uint8_t> maskBits(stride * static_cast<std::size_t>(size), 0);
    auto* bits = static_cast<std::uint32_t*>(p);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool clear = x < size / 2 && y < size / 2;
            bits[y * size + x] = clear ? 0 : (withAlpha ? 0xFF0000FFu : 0x000000FFu);
            if (clear) maskBits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    const GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, maskBits.data()));
    ICONINFO info{TRUE, 0, 0, mask.Get(), color.Get()};
    return Icon(CreateIconIndirect(&info));
}

// The icon drawn on a grey background, as 0x00RRGGBB pixels.
std::vector<std::uint32_t> Drawn(HICON icon, int size) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* p = nullptr;
    const GdiObject<HBITMAP> target(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
    const MemoryDc dc;
    {
        const Selection selected(dc.Get(), target.Get());
        const GdiObject<HBRUSH> grey(CreateSolidBrush(RGB(128, 128, 128)));
        RECT all{0, 0, size, size};
        FillRect(dc.Get(), &all, grey.Get());
        DrawIconEx(dc.Get(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    }
    GdiFlush();
    const auto* bits = static_cast<const std::uint32_t*>(p);
    std::vector<std::uint32_t> out(bits, bits + size * size);
    for (auto& px : out) px &= 0xFFFFFF;
    return out;
}

// The disc's amber, which neither a red logo nor a dark or light ground has.
bool Amber(std::uint32_t px) {
    const int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
    return r > 220 && g > 150 && g < 230 && b < 80;
}
bool Dark(std::uint32_t px) { return ((px >> 16) & 0xFF) < 60 && ((px >> 8) & 0xFF) < 60 && (px & 0xFF) < 60; }

TEST(Win32TrayBadge, TheMarkScalesWithTheIconAndLeavesTheRestAsItWas) {
    for (const bool alpha : {true, false}) {
        for (const int size : {16, 20, 24, 32, 48}) {
            SCOPED_TRACE(testing::Message() << "size " << size << (alpha ? " alpha" : " mask"));
            const Icon base = TestIcon(size, alpha);
            ASSERT_TRUE(base);
            const Icon badged = IconWithMuteBadge(base.Get(), size);
            ASSERT_TRUE(badged);
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(badged.Get(), &info));
            const GdiObject<HBITMAP> color(info.hbmColor), mask(info.hbmMask);
            BITMAP bm{};
            GetObjectW(info.hbmColor, sizeof(bm), &bm);
            EXPECT_EQ(bm.bmWidth, size);
            EXPECT_EQ(bm.bmHeight, size);

            const auto plain = Drawn(base.Get(), size);
            const auto marked = Drawn(badged.Get(), size);
            EXPECT_EQ(marked[0], 0x808080u) << "the clear part stays clear";
            EXPECT_EQ(marked[(size - 1) * size], plain[(size - 1) * size]) << "lower left corner untouched";
            EXPECT_EQ(marked[size - 1], plain[size - 1]) << "upper right corner untouched";
            // The disc in the lower right corner: amber beside the microphone,
            // dark at its middle and at its outline.
            const int d = std::max(7, (size * 9 + 8) / 16), left = size - d, top = size - d;
            const auto at = [&](double u, double v) {
                const int x = left + static_cast<int>((u + 1) * d / 2), y = top + static_cast<int>((v + 1) * d / 2);
                return marked[y * size + x];
            };
            EXPECT_TRUE(Amber(at(0.55, -0.3))) << std::hex << at(0.55, -0.3);
            EXPECT_TRUE(Dark(at(0.0, 0.0))) << std::hex << at(0.0, 0.0);
            EXPECT_TRUE(Dark(at(-0.93, 0.0))) << "outline " << std::hex << at(-0.93, 0.0);
            int changed = 0;
            for (int i = 0; i < size * size; ++i) changed += marked[i] != plain[i];
            EXPECT_LE(changed, d * d) << "no more than the mark's square";
        }
    }
    EXPECT_FALSE(IconWithMuteBadge(nullptr, 16));
    EXPECT_FALSE(IconWithMuteBadge(TestIcon(16, true).Get(), 100000)) << "an absurd size makes nothing";
}

}  // namespace
}  // namespace vxm::win32
