#pragma once
// The notification-area icon of a window (Shell_NotifyIconW at version 4),
// sized for the DPI of the monitor the icon is on.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/debug_output.h"
#include "platform/tray.h"
#include "platform/win32/gdi_win32.h"
#include "platform/win32/library_win32.h"

namespace vxm::win32 {

// The tray's callback message and icon id, as the shell sends them to the
// window. Once the shell took version 4, lParam carries the event in its low
// word and the icon id in its high word, and wParam the icon's anchor point
// in screen coordinates; before, wParam is the id and lParam the mouse message.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayVersion4 = 4;             // NOTIFYICON_VERSION_4
inline constexpr UINT kTraySelect = WM_USER;         // NIN_SELECT: click or activation
inline constexpr UINT kTrayKeySelect = WM_USER + 1;  // NIN_KEYSELECT: Space or Enter on the icon
inline constexpr UINT kWmDpiChanged = 0x02E0;        // WM_DPICHANGED, wParam: the new DPI

// What a callback message of the icon asks for.
struct TrayEvent {
    enum class Kind { None, Select, ContextMenu } kind = Kind::None;
    bool hasPoint = false;  // ContextMenu: at `point`, else at the cursor
    POINT point{};
};

// `base` drawn at `size` pixels with a muted-microphone mark in its lower
// right corner, scaled with the size; none when it cannot be made.
Icon IconWithMuteBadge(HICON base, int size);

class TrayIcon : public platform::ITrayIcon {
public:
    // `iconResource` is the program's own icon among `instance`'s resources.
    TrayIcon(HWND window, HINSTANCE instance, WORD iconResource, platform::IDebugOutput& debug);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    bool LoadIconFromFile(u16view path) override;
    void SetHint(u16view hint) override;
    void SetVisible(bool visible) override;
    void SetMuteBadge(bool shown) override;

    // A kTrayCallbackMessage of the window.
    TrayEvent Callback(WPARAM wParam, LPARAM lParam) const;
    // The shell restarted (its icons are gone) or rebuilt the task bar, as
    // after a scale change: add the icon again, at the size it needs now.
    void Readd();
    // The window's monitor changed its DPI. The notification area is on the
    // same monitor as a rule; when it is not, its own DPI is asked for.
    void DpiChanged(UINT windowDpi);
    // Display settings changed: the icon's monitor may have another DPI now.
    void Resize();
    bool Version4() const { return version4_; }

private:
    struct TrayIconIdentifier;
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    using MetricsForDpiFn = int(WINAPI*)(int, UINT);
    using GetIconRectFn = HRESULT(WINAPI*)(const TrayIconIdentifier*, RECT*);

    HMONITOR IconMonitor() const;
    UINT IconMonitorDpi() const;
    int SmallIconSize(UINT dpi) const;
    void SetDpi(UINT dpi);
    Icon LoadSized(const u16* file) const;
    // The icon shown without the badge: the file's, else the program's own.
    HICON PlainIcon() const { return ownIcon_ ? ownIcon_.Get() : icon_.Get(); }
    // Composes the badged icon anew from the plain one at the current size.
    void MakeBadgeIcon();
    void Add();
    NOTIFYICONDATAW Data(UINT flags) const;
    bool Update(DWORD action);

    HWND window_;
    HINSTANCE instance_;
    WORD iconResource_;
    platform::IDebugOutput& debug_;
    // Per-monitor DPI came with Windows 8.1 (shcore) and 10 (user32);
    // without them one DPI holds for every monitor.
    Library shcore_;
    GetDpiForMonitorFn getDpiForMonitor_ = nullptr;
    MetricsForDpiFn metricsForDpi_ = nullptr;
    GetIconRectFn getIconRect_ = nullptr;
    Icon icon_;     // the program's own icon
    Icon ownIcon_;  // from the icon file
    Icon badgeIcon_;  // the plain icon with the mark, while the badge is shown
    bool badge_ = false;
    bool iconChanged_ = true;  // since the shell was last given the image
    int size_ = 0;
    u16 filePath_;
    std::wstring hint_;
    bool visible_ = false;
    bool version4_ = false;
};

}  // namespace vxm::win32
