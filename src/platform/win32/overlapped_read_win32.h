#pragma once
// One overlapped read at a time on a handle of its own (ReadFileEx), waited
// for in one alertable wait that only the read's completion or the stop
// wakes, so that an idle device costs no wake-ups. Used by the HID read
// channel; the handle may be anything that completes reads that way.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "platform/hid.h"
#include "platform/win32/handle_win32.h"

namespace vxm::win32 {

class OverlappedRead final : private platform::IWaker {
public:
    // Owns `handle`, which may be INVALID_HANDLE_VALUE (an open that failed):
    // every read then fails with ERROR_INVALID_HANDLE.
    explicit OverlappedRead(HANDLE handle);
    ~OverlappedRead() override;
    OverlappedRead(const OverlappedRead&) = delete;
    OverlappedRead& operator=(const OverlappedRead&) = delete;

    HANDLE Handle() const { return handle_.Get(); }
    // Starts a read into `buffer`, which must live until the read completes
    // or Close returns; the error code the system reports afterwards
    // (ERROR_IO_PENDING for a started read).
    long Start(std::uint8_t* buffer, std::size_t size);
    // True when the read completed, false when the stop came first.
    bool Wait(platform::IStopSource& stop);
    // The completed read: true with its byte count, or false with its error.
    bool Result(std::uint32_t& bytes, long& error);
    // Cancels a pending read and waits, however long that takes, until it has
    // finished with the buffer; then closes the handle. Called on the thread
    // that started the read; closing twice is harmless.
    void Close();

private:
    void Wake() override;

    UniqueHandle handle_;
    UniqueHandle wake_;
    OVERLAPPED ov_{};
    volatile LONG done_ = 0;
    bool pending_ = false;
};

}  // namespace vxm::win32
