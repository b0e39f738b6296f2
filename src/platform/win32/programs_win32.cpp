#include "platform/win32/programs_win32.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/handle_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

class StartedProcess final : public platform::IStartedProgram {
public:
    explicit StartedProcess(HANDLE process) : process_(process) {}
    // A start the shell handed on without a process counts as running.
    bool Running() override { return !process_ || WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

private:
    UniqueHandle process_;
};

}  // namespace

bool Programs::ShellExecuteFile(platform::WindowHandle owner, u16view verb, u16view file, u16view directory,
                                int show) {
    const std::wstring v = W(verb), f = W(file), d = W(directory);
    const HINSTANCE rc = ShellExecuteW(reinterpret_cast<HWND>(owner), v.c_str(), f.c_str(), nullptr,
                                       d.empty() ? nullptr : d.c_str(), show);
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

std::unique_ptr<platform::IStartedProgram> Programs::StartProgram(u16view verb, u16view file, u16view directory,
                                                                  int show) {
    const std::wstring v = W(verb), f = W(file), d = W(directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No error box of the shell's own: a failed start stays silent.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = v.c_str();
    info.lpFile = f.c_str();
    info.lpDirectory = d.empty() ? nullptr : d.c_str();
    info.nShow = show;
    if (!ShellExecuteExW(&info)) return nullptr;
    return std::make_unique<StartedProcess>(info.hProcess);
}

}  // namespace vxm::win32
