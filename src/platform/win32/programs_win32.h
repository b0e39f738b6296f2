#pragma once
// Starting programs and opening documents through ShellExecute.
#include "platform/programs.h"

namespace vxm::win32 {

class Programs final : public platform::IPrograms {
public:
    bool ShellExecuteFile(platform::WindowHandle owner, u16view verb, u16view file, u16view directory,
                          int show) override;
    std::unique_ptr<platform::IStartedProgram> StartProgram(u16view verb, u16view file, u16view directory,
                                                            int show) override;
};

}  // namespace vxm::win32
