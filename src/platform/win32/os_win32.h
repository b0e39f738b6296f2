#pragma once
// The version of Windows, as the kernel reports it.
#include "platform/os.h"

namespace vxm::win32 {

class OsVersionSource final : public platform::IOsVersion {
public:
    platform::OsVersion GetOsVersion() override;
};

}  // namespace vxm::win32
