#pragma once
// The mouse's stand-in as a test drives it: the server end of a
// message-mode named pipe, one message per input report; closing it unplugs
// the device.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/text.h"
#include "platform/win32/wide.h"

namespace vxm::testing {

struct PipeDevice {
    explicit PipeDevice(int n) {
        name = u"\\\\.\\pipe\\vxm-test-device-" + ToU16(GetCurrentProcessId()) + u"-" + ToU16(n);
        server = CreateNamedPipeW(win32::W(name).c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 4, 4096, 4096, 0, nullptr);
    }
    ~PipeDevice() { Unplug(); }
    PipeDevice(const PipeDevice&) = delete;
    PipeDevice& operator=(const PipeDevice&) = delete;
    void Send(std::vector<std::uint8_t> report) {
        DWORD n = 0;
        WriteFile(server, report.data(), static_cast<DWORD>(report.size()), &n, nullptr);
    }
    void Unplug() {
        if (server != INVALID_HANDLE_VALUE) CloseHandle(server);
        server = INVALID_HANDLE_VALUE;
    }
    u16 name;
    HANDLE server;
};

}  // namespace vxm::testing
