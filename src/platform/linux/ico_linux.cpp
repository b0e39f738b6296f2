#include "platform/linux/ico_linux.h"

#include "common/bytes.h"

namespace vxm::linuxos {

std::vector<IconPixmap> IconPixmapsFromIco(const std::uint8_t* data, std::size_t size) {
    std::vector<IconPixmap> out;
    if (size < 6 || ReadLe16(data) != 0 || ReadLe16(data + 2) != 1) return out;
    const std::size_t count = ReadLe16(data + 4);
    if (6 + count * 16 > size) return out;
    for (std::size_t e = 0; e < count; ++e) {
        const std::uint8_t* entry = data + 6 + e * 16;
        const std::uint32_t bytes = ReadLe32(entry + 8);
        const std::uint32_t offset = ReadLe32(entry + 12);
        if (offset > size || bytes > size - offset || bytes < 40) continue;
        const std::uint8_t* bmp = data + offset;
        if (ReadLe32(bmp) != 40) continue;  // a PNG image, or another header
        const auto width = static_cast<std::int32_t>(ReadLe32(bmp + 4));
        const auto height2 = static_cast<std::int32_t>(ReadLe32(bmp + 8));
        if (ReadLe16(bmp + 12) != 1 || ReadLe16(bmp + 14) != 32 || ReadLe32(bmp + 16) != 0) continue;
        if (width <= 0 || width > 512 || height2 <= 0 || height2 % 2 != 0 || height2 / 2 > 512) continue;
        const std::int32_t height = height2 / 2;
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        if (40 + stride * static_cast<std::size_t>(height) > bytes) continue;
        IconPixmap p;
        p.width = width;
        p.height = height;
        p.argb.resize(stride * static_cast<std::size_t>(height));
        for (std::int32_t y = 0; y < height; ++y) {
            // Rows are stored bottom up, each pixel B, G, R, A.
            const std::uint8_t* row = bmp + 40 + stride * static_cast<std::size_t>(height - 1 - y);
            std::uint8_t* to = p.argb.data() + stride * static_cast<std::size_t>(y);
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* px = row + x * 4;
                to[x * 4 + 0] = px[3];
                to[x * 4 + 1] = px[2];
                to[x * 4 + 2] = px[1];
                to[x * 4 + 3] = px[0];
            }
        }
        out.push_back(std::move(p));
    }
    return out;
}

}  // namespace vxm::linuxos
