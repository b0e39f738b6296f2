#pragma once
// Libraries bound at run time: from the system folder or by a full path,
// never from the program's folder, the current folder or the search path;
// or one every process has loaded already. Functions are looked up by name,
// and a missing library or function gives null, so that a missing function
// is never called.
#include <windows.h>

#include <string>

namespace vxm::win32 {

class Library {
public:
    Library() = default;
    ~Library() { Reset(); }
    Library(Library&& other) noexcept : module_(other.module_), owned_(other.owned_) { other.module_ = nullptr; }
    Library& operator=(Library&& other) noexcept {
        if (this != &other) {
            Reset();
            module_ = other.module_;
            owned_ = other.owned_;
            other.module_ = nullptr;
        }
        return *this;
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // `name` in the system folder ("HID.dll").
    static Library FromSystemFolder(const wchar_t* name);
    // A library of the program's own, by its full path.
    static Library FromPath(const std::wstring& fullPath);
    // A system library the process has loaded anyway ("kernel32.dll"); it
    // is not freed.
    static Library Loaded(const wchar_t* name);

    explicit operator bool() const { return module_ != nullptr; }
    HMODULE Handle() const { return module_; }
    void Reset();

    template <typename Fn>
    Fn Bind(const char* name) const {
        return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name))) : nullptr;
    }

private:
    Library(HMODULE module, bool owned) : module_(module), owned_(owned) {}
    HMODULE module_ = nullptr;
    bool owned_ = false;
};

}  // namespace vxm::win32
