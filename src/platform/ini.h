#pragma once
// INI reads with the platform's rules: section and key names match without
// regard to case, surrounding blanks are trimmed, a missing file or key gives
// the default, and a key present with an empty value gives "".
#include "common/text.h"

namespace vxm::platform {

class IIniReader {
public:
    virtual ~IIniReader() = default;
    virtual u16 ReadString(u16view file, u16view section, u16view key, u16view defaultValue) = 0;
};

}  // namespace vxm::platform
