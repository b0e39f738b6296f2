#include "platform/win32/overlapped_read_win32.h"

#include "platform/win32/library_win32.h"

namespace vxm::win32 {
namespace {

VOID CALLBACK ReadDone(DWORD, DWORD, LPOVERLAPPED ov) {
    // hEvent is free for our use with ReadFileEx: it carries the "done" flag.
    *reinterpret_cast<volatile LONG*>(ov->hEvent) = 1;
}

// Missing before Windows Vista; CancelIo then cancels the reads this thread
// started, which is all a read needs.
using CancelIoExFn = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
CancelIoExFn CancelIoExFunction() {
    static const CancelIoExFn fn = Library::Loaded(L"kernel32.dll").Bind<CancelIoExFn>("CancelIoEx");
    return fn;
}

}  // namespace

OverlappedRead::OverlappedRead(HANDLE handle)
    : handle_(handle), wake_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

OverlappedRead::~OverlappedRead() { Close(); }

long OverlappedRead::Start(std::uint8_t* buffer, std::size_t size) {
    if (!handle_) return ERROR_INVALID_HANDLE;
    ov_ = OVERLAPPED{};
    done_ = 0;
    ov_.hEvent = reinterpret_cast<HANDLE>(const_cast<LONG*>(&done_));
    SetLastError(0);
    if (ReadFileEx(handle_.Get(), buffer, static_cast<DWORD>(size), &ov_, ReadDone)) pending_ = true;
    return static_cast<long>(GetLastError());
}

bool OverlappedRead::Wait(platform::IStopSource& stop) {
    // One alertable wait: the read's completion routine or the stop wakes
    // it; nothing else does.
    stop.AddWaker(this);
    bool completed = false;
    while (!stop.Stopped()) {
        const DWORD r = WaitForSingleObjectEx(wake_.Get(), INFINITE, TRUE);
        if (r == WAIT_IO_COMPLETION && done_) {
            completed = true;
            break;
        }
        if (r == WAIT_FAILED) break;
    }
    stop.RemoveWaker(this);
    ResetEvent(wake_.Get());
    if (completed) pending_ = false;
    return completed;
}

bool OverlappedRead::Result(std::uint32_t& bytes, long& error) {
    DWORD n = 0;
    if (GetOverlappedResult(handle_.Get(), &ov_, &n, FALSE)) {
        bytes = n;
        error = 0;
        return true;
    }
    error = static_cast<long>(GetLastError());
    return false;
}

void OverlappedRead::Close() {
    if (!handle_) return;
    if (pending_) {
        // The read writes into the caller's buffer and into ov_ until it
        // completes: cancel it and wait for its completion routine, however
        // slow the driver is, before anything goes.
        if (const CancelIoExFn cancelIoEx = CancelIoExFunction()) {
            cancelIoEx(handle_.Get(), &ov_);
        } else {
            CancelIo(handle_.Get());
        }
        while (!done_) SleepEx(INFINITE, TRUE);
        pending_ = false;
    }
    handle_.Reset();
}

void OverlappedRead::Wake() { SetEvent(wake_.Get()); }

}  // namespace vxm::win32
