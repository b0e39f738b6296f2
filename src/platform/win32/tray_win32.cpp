#include "platform/win32/tray_win32.h"

#include <windowsx.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

bool PlausibleDpi(UINT dpi) { return dpi >= 48 && dpi <= 960; }

UINT SystemDpi() {
    const ScreenDc dc;
    const int dpi = dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 0;
    return PlausibleDpi(static_cast<UINT>(dpi)) ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

// NOTIFYICONIDENTIFIER, which older headers lack.
struct TrayIcon::TrayIconIdentifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
};

TrayIcon::TrayIcon(HWND window, HINSTANCE instance, WORD iconResource, platform::IDebugOutput& debug)
    : window_(window),
      instance_(instance),
      iconResource_(iconResource),
      debug_(debug),
      shcore_(Library::FromSystemFolder(L"shcore.dll")) {
    getDpiForMonitor_ = shcore_.Bind<GetDpiForMonitorFn>("GetDpiForMonitor");
    metricsForDpi_ = Library::Loaded(L"user32.dll").Bind<MetricsForDpiFn>("GetSystemMetricsForDpi");
    getIconRect_ = Library::Loaded(L"shell32.dll").Bind<GetIconRectFn>("Shell_NotifyIconGetRect");
    SetDpi(IconMonitorDpi());
}

TrayIcon::~TrayIcon() { SetVisible(false); }

bool TrayIcon::LoadIconFromFile(u16view path) {
    if (!FileSystem().FileExists(path)) return false;
    const u16 p(path);
    Icon loaded = LoadSized(&p);
    if (!loaded) return false;
    ownIcon_ = std::move(loaded);
    filePath_ = u16(path);
    Update(NIM_MODIFY);
    return true;
}

void TrayIcon::SetHint(u16view hint) {
    hint_ = W(hint);
    Update(NIM_MODIFY);
}

void TrayIcon::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (visible) {
        Add();
    } else {
        Update(NIM_DELETE);
    }
}

TrayEvent TrayIcon::Callback(WPARAM wParam, LPARAM lParam) const {
    TrayEvent event;
    if (version4_) {
        if (HIWORD(lParam) != kTrayIconId) return event;
        // Mouse and keyboard alike: the click comes as a selection, the right
        // click and Shift+F10 as a context menu at the icon.
        switch (LOWORD(lParam)) {
            case kTraySelect:
            case kTrayKeySelect:
                event.kind = TrayEvent::Kind::Select;
                break;
            case WM_CONTEXTMENU:
                event.kind = TrayEvent::Kind::ContextMenu;
                event.hasPoint = true;
                event.point = POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
                break;
            default:
                break;
        }
        return event;
    }
    if (wParam != kTrayIconId) return event;
    switch (lParam) {
        case WM_LBUTTONUP:
            event.kind = TrayEvent::Kind::Select;
            break;
        case WM_RBUTTONUP:
            event.kind = TrayEvent::Kind::ContextMenu;
            break;
        default:
            break;
    }
    return event;
}

void TrayIcon::Readd() {
    if (!visible_) return;
    SetDpi(IconMonitorDpi());
    Add();
}

void TrayIcon::DpiChanged(UINT windowDpi) {
    const bool sameMonitor = IconMonitor() == MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY);
    SetDpi(sameMonitor && PlausibleDpi(windowDpi) ? windowDpi : IconMonitorDpi());
}

void TrayIcon::Resize() { SetDpi(IconMonitorDpi()); }

HMONITOR TrayIcon::IconMonitor() const {
    if (getIconRect_ && visible_) {
        const TrayIconIdentifier id{sizeof(TrayIconIdentifier), window_, kTrayIconId, {}};
        RECT r{};
        if (SUCCEEDED(getIconRect_(&id, &r))) return MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY);
    }
    // The notification area lives on the primary monitor's task bar.
    return MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
}

UINT TrayIcon::IconMonitorDpi() const {
    UINT x = 0, y = 0;
    const HMONITOR monitor = IconMonitor();
    if (getDpiForMonitor_ && monitor && SUCCEEDED(getDpiForMonitor_(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) &&
        PlausibleDpi(y)) {
        return y;
    }
    return SystemDpi();
}

int TrayIcon::SmallIconSize(UINT dpi) const {
    if (metricsForDpi_) {
        const int size = metricsForDpi_(SM_CXSMICON, dpi);
        if (size > 0) return size;
    }
    // GetSystemMetrics answers for the system DPI.
    return MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

// Loads both icons at the size for `dpi`, when that differs from the current one.
void TrayIcon::SetDpi(UINT dpi) {
    const int size = SmallIconSize(dpi);
    if (size == size_ && icon_) return;
    size_ = size;
    icon_ = LoadSized(nullptr);
    if (!filePath_.empty()) {
        if (Icon loaded = LoadSized(&filePath_)) ownIcon_ = std::move(loaded);
    }
    debug_.DebugOutput(u"tray icon size " + ToU16(size_) + u" at " + ToU16(static_cast<int>(dpi)) + u" dpi");
    Update(NIM_MODIFY);
}

Icon TrayIcon::LoadSized(const u16* file) const {
    if (file) {
        return Icon(static_cast<HICON>(LoadImageW(nullptr, W(*file).c_str(), IMAGE_ICON, size_, size_, LR_LOADFROMFILE)));
    }
    return Icon(static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(iconResource_), IMAGE_ICON, size_, size_, 0)));
}

// Adds the icon (or, if the shell still has it, updates it) and asks for
// version 4, which every add needs anew.
void TrayIcon::Add() {
    if (!Update(NIM_ADD)) Update(NIM_MODIFY);
    NOTIFYICONDATAW nid = Data(0);
    nid.uVersion = kTrayVersion4;
    version4_ = Shell_NotifyIconW(NIM_SETVERSION, &nid) != FALSE;
    debug_.DebugOutput(version4_ ? u"tray version 4" : u"tray version 0");
}

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window_;
    nid.uID = kTrayIconId;
    nid.uFlags = flags;
    return nid;
}

bool TrayIcon::Update(DWORD action) {
    if (!visible_ && action != NIM_DELETE) return false;
    NOTIFYICONDATAW nid = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    nid.uCallbackMessage = kTrayCallbackMessage;
    nid.hIcon = ownIcon_ ? ownIcon_.Get() : icon_.Get();
    lstrcpynW(nid.szTip, hint_.c_str(), static_cast<int>(std::size(nid.szTip)));
    const BOOL ok = Shell_NotifyIconW(action, &nid);
    if (action == NIM_ADD) debug_.DebugOutput(u16(ok ? u"tray icon added: " : u"tray icon not added: ") + U(hint_));
    if (action == NIM_MODIFY && ok) debug_.DebugOutput(u"tray hint: " + U(hint_));
    return ok != FALSE;
}

}  // namespace vxm::win32
