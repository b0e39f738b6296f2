#pragma once
// Owners of COM interface references and of memory the COM allocator handed
// out.
#include <windows.h>
#include <objbase.h>

#include "platform/owned.h"

namespace vxm::win32 {

using platform::Owned;

template <typename T>
struct ComReference {
    static T* Adopt(T* p) { return p; }
    static bool Free(T* p) {
        p->Release();
        return true;
    }
};

// Adopts the reference it is given (no AddRef).
template <typename T>
class ComPtr : public Owned<T*, ComReference<T>> {
public:
    using Owned<T*, ComReference<T>>::Owned;
    T* operator->() const { return this->Get(); }
    void** PutVoid() { return reinterpret_cast<void**>(this->Put()); }
};

template <typename T>
struct CoTaskMemory {
    static T Adopt(T p) { return p; }
    static bool Free(T p) {
        CoTaskMemFree(p);
        return true;
    }
};
template <typename T>
using CoTaskMemPtr = Owned<T, CoTaskMemory<T>>;

}  // namespace vxm::win32
