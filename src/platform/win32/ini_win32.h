#pragma once
// INI reads through GetPrivateProfileStringW.
#include "platform/ini.h"

namespace vxm::win32 {

class IniReader final : public platform::IIniReader {
public:
    u16 ReadString(u16view file, u16view section, u16view key, u16view defaultValue) override;
};

}  // namespace vxm::win32
