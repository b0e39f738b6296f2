#pragma once
// The executable's folder and the shell's documents folder.
#include "platform/system_paths.h"

namespace vxm::win32 {

class SystemPaths final : public platform::ISystemPaths {
public:
    u16 ExecutableFolder() override;
    u16 PersonalDocumentsFolder() override;
};

}  // namespace vxm::win32
