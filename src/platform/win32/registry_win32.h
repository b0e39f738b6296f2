#pragma once
// The registry through the Win32 registry functions.
#include "platform/registry.h"

namespace vxm::win32 {

class Registry final : public platform::IRegistry {
public:
    std::unique_ptr<platform::IRegistryKey> OpenKey(platform::RegRoot root, u16view path, bool create,
                                                    long& error) override;
};

}  // namespace vxm::win32
