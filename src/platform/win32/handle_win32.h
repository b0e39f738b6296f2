#pragma once
// Owner of a kernel handle (file, event, mutex, process), closed when it goes.
#include <windows.h>

namespace vxm::win32 {

class UniqueHandle {
public:
    UniqueHandle() = default;
    // Takes INVALID_HANDLE_VALUE and null alike as no handle.
    explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    HANDLE Release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    // Closes the handle held; false when the system refused to close it.
    bool Reset(HANDLE h = nullptr) {
        const bool closed = !h_ || CloseHandle(h_) != FALSE;
        h_ = h == INVALID_HANDLE_VALUE ? nullptr : h;
        return closed;
    }

private:
    HANDLE h_ = nullptr;
};

}  // namespace vxm::win32
