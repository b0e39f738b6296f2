#pragma once
// Owners of GDI objects, icons and device contexts, released when they go.
#include <windows.h>

#include "platform/owned.h"

namespace vxm::win32 {

using platform::Owned;

struct GdiHandle {
    static HGDIOBJ Adopt(HGDIOBJ object) { return object; }
    static bool Free(HGDIOBJ object) { return DeleteObject(object) != FALSE; }
};
// A brush, font, pen or bitmap of our own.
template <typename T>
class GdiObject : public Owned<HGDIOBJ, GdiHandle> {
public:
    explicit GdiObject(T object) : Owned(object) {}
    T Get() const { return static_cast<T>(Owned::Get()); }
};

// Keeps an object selected into a device context while it lives.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

struct IconHandle {
    static HICON Adopt(HICON icon) { return icon; }
    static bool Free(HICON icon) { return DestroyIcon(icon) != FALSE; }
};
using Icon = Owned<HICON, IconHandle>;

// The screen's device context, for the time of a query.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A memory device context of our own.
class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// BeginPaint and EndPaint of one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &ps_)) {}
    ~PaintDc() { EndPaint(window_, &ps_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

}  // namespace vxm::win32
