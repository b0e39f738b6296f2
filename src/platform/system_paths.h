#pragma once
// Where the program and the user's documents are.
#include "common/text.h"

namespace vxm::platform {

class ISystemPaths {
public:
    virtual ~ISystemPaths() = default;
    // Folder of the running executable, ending with "\".
    virtual u16 ExecutableFolder() = 0;
    // Where the program's own file `name` ("config.ini", "ui.local", the
    // tray icon: a path below the program's folder, "\"-separated) is read
    // from. Beside the executable, unless the system keeps such files
    // elsewhere (Linux: the user's and the system's configuration folders,
    // then the package's data folder).
    virtual u16 ProgramFile(u16view name) { return ExecutableFolder() + u16(name); }
    // The user's documents folder as the shell reports it (no trailing "\"
    // guaranteed); empty when the shell cannot tell.
    virtual u16 PersonalDocumentsFolder() = 0;
};

}  // namespace vxm::platform
