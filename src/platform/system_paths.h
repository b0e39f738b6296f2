#pragma once
// Where the program and the user's documents are.
#include "common/text.h"

namespace vxm::platform {

class ISystemPaths {
public:
    virtual ~ISystemPaths() = default;
    // Folder of the running executable, ending with "\".
    virtual u16 ExecutableFolder() = 0;
    // The user's documents folder as the shell reports it (no trailing "\"
    // guaranteed); empty when the shell cannot tell.
    virtual u16 PersonalDocumentsFolder() = 0;
};

}  // namespace vxm::platform
