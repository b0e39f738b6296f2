#pragma once
// Owners of COM interface references and of memory the COM allocator handed
// out, released when they go.
#include <windows.h>
#include <objbase.h>

namespace vxm::win32 {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    // Adopts a reference the caller holds (no AddRef).
    explicit ComPtr(T* p) : p_(p) {}
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For functions that return a new reference through a T** or void**.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

template <typename T>
class CoTaskMemPtr {
public:
    CoTaskMemPtr() = default;
    ~CoTaskMemPtr() { CoTaskMemFree(p_); }
    CoTaskMemPtr(const CoTaskMemPtr&) = delete;
    CoTaskMemPtr& operator=(const CoTaskMemPtr&) = delete;
    T Get() const { return p_; }
    T* Put() {
        CoTaskMemFree(p_);
        p_ = nullptr;
        return &p_;
    }

private:
    T p_ = nullptr;
};

}  // namespace vxm::win32
