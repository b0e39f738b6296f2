#pragma once
// The images of a Windows icon file as a StatusNotifierItem carries them.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vxm::linuxos {

// One image of an icon: ARGB32 pixels in network byte order (A, R, G, B
// bytes), straight alpha, row by row from the top.
struct IconPixmap {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> argb;
};

// The uncompressed 32-bit images of a Windows .ico (PNG ones are passed
// over); empty for a file that is none. Never reads outside `data`.
std::vector<IconPixmap> IconPixmapsFromIco(const std::uint8_t* data, std::size_t size);

}  // namespace vxm::linuxos
