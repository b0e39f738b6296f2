#pragma once
// Little-endian byte images of integers, as stored records, registry values
// and data streams hold them whatever the processor.
#include <array>
#include <cstdint>
#include <vector>

namespace vxm {

inline std::array<std::uint8_t, 4> Le32Bytes(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}

inline void AppendLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    const auto bytes = Le32Bytes(v);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// `p` points at 2 (4) readable bytes.
inline std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace vxm
