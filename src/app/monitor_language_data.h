#pragma once
// The main window's stored language data: its source texts and built-in
// languages as a language data stream, generated from data/lang.
#include <cstddef>
#include <cstdint>

namespace vxm {

extern const std::uint8_t kMonitorResourcesBin[];
extern const std::size_t kMonitorResourcesBinSize;

}  // namespace vxm
