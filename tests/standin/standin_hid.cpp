#include "standin/standin_hid.h"

#include <windows.h>

#include "platform/win32/overlapped_read_win32.h"
#include "platform/win32/wide.h"

namespace vxm::testing {
namespace {

class StandInDevice final : public platform::IHidDevice {
public:
    std::optional<platform::HidCaps> Capabilities() override { return platform::HidCaps{0x0001, 0xFFA0, 8, 9, 9}; }
    long Write(const std::uint8_t*, std::size_t) override { return 0; }
    long GetFeature(std::uint8_t*, std::size_t) override { return 0; }
    long SetFeature(const std::uint8_t*, std::size_t) override { return 0; }
    std::uintptr_t NativeHandle() const override { return 0; }
};

class PipeReadChannel final : public platform::IHidReadChannel {
public:
    PipeReadChannel(HANDLE pipe, int inputReportLength) : read_(pipe), length_(inputReportLength) {}
    ~PipeReadChannel() override { Close(); }

    int InputReportLength() const override { return length_; }
    long StartRead(std::uint8_t* buffer, std::size_t size) override { return read_.Start(buffer, size); }
    bool WaitForCompletion(platform::IStopSource& stop) override { return read_.Wait(stop); }
    bool Result(std::uint32_t& bytes, long& error) override {
        if (read_.Result(bytes, error)) return true;
        // A stand-in whose other end went away is an unplugged device.
        if (error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_BROKEN_PIPE) error = ERROR_DEVICE_NOT_CONNECTED;
        return false;
    }
    std::uint32_t MaxUsageListLength() override { return 0; }
    bool GetUsages(const std::uint8_t*, std::size_t, std::vector<std::uint16_t>&) override { return false; }
    void Close() override { read_.Close(); }

private:
    win32::OverlappedRead read_;
    int length_;
};

}  // namespace

std::vector<platform::HidInterface> StandInHidSystem::EnumerateInterfaces() {
    return {platform::HidInterface{pipe_, {kStandInHardwareId, u"HID\\VID_5A52&PID_4D01"}}};
}

std::unique_ptr<platform::IHidDevice> StandInHidSystem::Open(u16view path, bool) {
    if (path != pipe_) return nullptr;
    return std::make_unique<StandInDevice>();
}

std::unique_ptr<platform::IHidReadChannel> StandInHidSystem::OpenReadChannel(u16view path) {
    return OpenPipeReadChannel(path, 8);
}

std::unique_ptr<platform::IHidReadChannel> OpenPipeReadChannel(u16view pipePath, int inputReportLength) {
    HANDLE h = CreateFileW(win32::W(pipePath).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    }
    return std::make_unique<PipeReadChannel>(h, inputReportLength);
}

}  // namespace vxm::testing
