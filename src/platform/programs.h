#pragma once
// Starting other programs and opening documents through the shell.
#include <memory>

#include "common/text.h"
#include "platform/window_messages.h"

namespace vxm::platform {

// A program that was started, for as long as it runs.
class IStartedProgram {
public:
    virtual ~IStartedProgram() = default;
    virtual bool Running() = 0;
};

class IPrograms {
public:
    virtual ~IPrograms() = default;
    // Opens a file or an address with its registered program; false when
    // the shell could not.
    virtual bool ShellExecuteFile(WindowHandle owner, u16view verb, u16view file, u16view directory, int show) = 0;
    // As ShellExecuteFile with no owner and no error box of the shell's own,
    // keeping hold of the started process; null when nothing was started.
    virtual std::unique_ptr<IStartedProgram> StartProgram(u16view verb, u16view file, u16view directory,
                                                          int show) = 0;
};

}  // namespace vxm::platform
