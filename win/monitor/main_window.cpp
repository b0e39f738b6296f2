#include "platform/win32/monitor_host.h"

#include <shellapi.h>
#include <windowsx.h>

#include <vector>

#include "platform/win32/hid_event_win32.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"

namespace vxm::win32 {
namespace {

constexpr int kAboutWidth = 504;
constexpr int kAboutHeight = 400;
constexpr WORD kMainIconResource = 1;
constexpr UINT kFirstMenuCommand = 100;

class Win32Timer final : public platform::ITimer {
public:
    Win32Timer(MonitorHost& host, unsigned intervalMs) : host_(host), interval_(intervalMs) {
        id_ = host_.RegisterTimer(this);
    }
    ~Win32Timer() override {
        SetEnabled(false);
        host_.UnregisterTimer(id_);
    }
    void SetEnabled(bool enabled) override {
        if (enabled == enabled_) return;
        enabled_ = enabled;
        if (enabled) {
            SetTimer(host_.Handle(), id_, interval_, nullptr);
        } else {
            KillTimer(host_.Handle(), id_);
        }
    }
    bool Enabled() const override { return enabled_; }

private:
    MonitorHost& host_;
    unsigned interval_;
    UINT_PTR id_ = 0;
    bool enabled_ = false;
};

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

// The face to draw a text in: its own when the system has it, else the
// default GUI face. A missing face gets whatever the font mapper picks,
// which may have no CJK glyphs and no font link to any; the GUI face is
// linked to the system's CJK fonts, so "确定" shows as text, not boxes.
std::wstring ExistingFace(HDC dc, u16view face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::wstring wanted = W(face);
    if (!wanted.empty() && wanted.size() < LF_FACESIZE) {
        lstrcpynW(lf.lfFaceName, wanted.c_str(), LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExW(dc, &lf, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return wanted;
    }
    LOGFONTW gui{};
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui) && gui.lfFaceName[0]) return gui.lfFaceName;
    return L"MS Shell Dlg";
}

}  // namespace

namespace {

template <typename Fn>
Fn BoundIn(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// NOTIFYICONIDENTIFIER, which older headers lack.
struct TrayIconIdentifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
};

bool PlausibleDpi(UINT dpi) { return dpi >= 48 && dpi <= 960; }

UINT SystemDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return PlausibleDpi(static_cast<UINT>(dpi)) ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

class Win32Tray final : public app::ITrayIcon {
public:
    explicit Win32Tray(MonitorHost& host) : host_(host) {
        // Per-monitor DPI came with Windows 8.1 (shcore) and 10 (user32);
        // without them one DPI holds for every monitor.
        shcore_ = LoadSystemLibrary(L"shcore.dll");
        getDpiForMonitor_ = BoundIn<GetDpiForMonitorFn>(shcore_, "GetDpiForMonitor");
        metricsForDpi_ = BoundIn<MetricsForDpiFn>(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi");
        getIconRect_ = BoundIn<GetIconRectFn>(GetModuleHandleW(L"shell32.dll"), "Shell_NotifyIconGetRect");
        host_.tray_ = this;
        SetDpi(IconMonitorDpi());
    }
    ~Win32Tray() override {
        SetVisible(false);
        if (ownIcon_) DestroyIcon(ownIcon_);
        if (icon_) DestroyIcon(icon_);
        if (shcore_) FreeLibrary(shcore_);
        host_.tray_ = nullptr;
    }

    bool LoadIconFromFile(u16view path) override {
        if (!FileSystem().FileExists(path)) return false;
        const u16 p(path);
        HICON loaded = LoadSized(&p);
        if (!loaded) return false;
        if (ownIcon_) DestroyIcon(ownIcon_);
        ownIcon_ = loaded;
        filePath_ = u16(path);
        Update(NIM_MODIFY);
        return true;
    }
    void SetHint(u16view hint) override {
        hint_ = W(hint);
        Update(NIM_MODIFY);
    }
    void SetVisible(bool visible) override {
        if (visible == visible_) return;
        visible_ = visible;
        if (visible) {
            Add();
        } else {
            Update(NIM_DELETE);
        }
    }
    // The shell restarted (its icons are gone) or rebuilt the task bar, as
    // after a scale change: add the icon again, at the size it needs now.
    void Readd() {
        if (!visible_) return;
        SetDpi(IconMonitorDpi());
        Add();
    }
    // The main window's monitor changed its DPI. The notification area is on
    // the same monitor as a rule; when it is not, its own DPI is asked for.
    void DpiChanged(UINT windowDpi) {
        const bool sameMonitor = IconMonitor() == MonitorFromWindow(host_.Handle(), MONITOR_DEFAULTTOPRIMARY);
        SetDpi(sameMonitor && PlausibleDpi(windowDpi) ? windowDpi : IconMonitorDpi());
    }
    // Display settings changed: the icon's monitor may have another DPI now.
    void Resize() { SetDpi(IconMonitorDpi()); }
    bool Version4() const { return version4_; }

private:
    using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    using MetricsForDpiFn = int(WINAPI*)(int, UINT);
    using GetIconRectFn = HRESULT(WINAPI*)(const TrayIconIdentifier*, RECT*);

    HMONITOR IconMonitor() const {
        if (getIconRect_ && visible_) {
            const TrayIconIdentifier id{sizeof(TrayIconIdentifier), host_.Handle(), kTrayIconId, {}};
            RECT r{};
            if (SUCCEEDED(getIconRect_(&id, &r))) return MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY);
        }
        // The notification area lives on the primary monitor's task bar.
        return MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    }
    UINT IconMonitorDpi() const {
        UINT x = 0, y = 0;
        const HMONITOR monitor = IconMonitor();
        if (getDpiForMonitor_ && monitor && SUCCEEDED(getDpiForMonitor_(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) &&
            PlausibleDpi(y)) {
            return y;
        }
        return SystemDpi();
    }
    int SmallIconSize(UINT dpi) const {
        if (metricsForDpi_) {
            const int size = metricsForDpi_(SM_CXSMICON, dpi);
            if (size > 0) return size;
        }
        // GetSystemMetrics answers for the system DPI.
        return MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    }
    // Loads both icons at the size for `dpi`, when that differs from the current one.
    void SetDpi(UINT dpi) {
        const int size = SmallIconSize(dpi);
        if (size == size_ && icon_) return;
        size_ = size;
        if (icon_) DestroyIcon(icon_);
        icon_ = LoadSized(nullptr);
        if (!filePath_.empty()) {
            if (HICON loaded = LoadSized(&filePath_)) {
                if (ownIcon_) DestroyIcon(ownIcon_);
                ownIcon_ = loaded;
            }
        }
        host_.DebugOutput(u"tray icon size " + ToU16(size_) + u" at " + ToU16(static_cast<int>(dpi)) + u" dpi");
        Update(NIM_MODIFY);
    }
    HICON LoadSized(const u16* file) const {
        if (file) {
            return static_cast<HICON>(
                LoadImageW(nullptr, W(*file).c_str(), IMAGE_ICON, size_, size_, LR_LOADFROMFILE));
        }
        return static_cast<HICON>(
            LoadImageW(host_.Instance(), MAKEINTRESOURCEW(kMainIconResource), IMAGE_ICON, size_, size_, 0));
    }
    // Adds the icon (or, if the shell still has it, updates it) and asks for
    // version 4, which every add needs anew.
    void Add() {
        if (!Update(NIM_ADD)) Update(NIM_MODIFY);
        NOTIFYICONDATAW nid = Data(0);
        nid.uVersion = kTrayVersion4;
        version4_ = Shell_NotifyIconW(NIM_SETVERSION, &nid) != FALSE;
        host_.DebugOutput(version4_ ? u"tray version 4" : u"tray version 0");
    }
    NOTIFYICONDATAW Data(UINT flags) const {
        NOTIFYICONDATAW nid{};
        nid.cbSize = sizeof(nid);
        nid.hWnd = host_.Handle();
        nid.uID = kTrayIconId;
        nid.uFlags = flags;
        return nid;
    }
    bool Update(DWORD action) {
        if (!visible_ && action != NIM_DELETE) return false;
        NOTIFYICONDATAW nid = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
        nid.uCallbackMessage = kTrayCallbackMessage;
        nid.hIcon = ownIcon_ ? ownIcon_ : icon_;
        lstrcpynW(nid.szTip, hint_.c_str(), static_cast<int>(std::size(nid.szTip)));
        const BOOL ok = Shell_NotifyIconW(action, &nid);
        if (action == NIM_ADD) host_.DebugOutput(u16(ok ? u"tray icon added: " : u"tray icon not added: ") + U(hint_));
        if (action == NIM_MODIFY && ok) host_.DebugOutput(u"tray hint: " + U(hint_));
        return ok != FALSE;
    }

    MonitorHost& host_;
    HMODULE shcore_ = nullptr;
    GetDpiForMonitorFn getDpiForMonitor_ = nullptr;
    MetricsForDpiFn metricsForDpi_ = nullptr;
    GetIconRectFn getIconRect_ = nullptr;
    HICON icon_ = nullptr;     // the program's own icon
    HICON ownIcon_ = nullptr;  // from the icon file
    int size_ = 0;
    u16 filePath_;
    std::wstring hint_;
    bool visible_ = false;
    bool version4_ = false;
};

class Win32Menu final : public app::IPopupMenu {
public:
    explicit Win32Menu(MonitorHost& host) : host_(host), menu_(CreatePopupMenu()) { host_.menu_ = this; }
    ~Win32Menu() override {
        DestroyMenu(menu_);
        host_.menu_ = nullptr;
    }

    void AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) override {
        items_.push_back(Item{u16(name), W(caption), visible, std::move(onClick)});
        Rebuild();
    }
    // In place: the menu may be open while the captions change (a 7037
    // arrives while it is tracked).
    void SetCaption(int index, u16view caption) override {
        if (index < 0 || index >= static_cast<int>(items_.size())) return;
        Item& item = items_[index];
        const std::wstring text = W(caption);
        if (item.caption == text) return;
        item.caption = text;
        if (item.visible) {
            const UINT id = kFirstMenuCommand + static_cast<UINT>(index);
            ModifyMenuW(menu_, id, MF_BYCOMMAND | MF_STRING, id, item.caption.c_str());
        }
    }
    // At the icon's anchor point when the shell names one, else at the cursor.
    void Popup(const POINT* at) {
        POINT pt{};
        if (at) {
            pt = *at;
        } else {
            GetCursorPos(&pt);
        }
        // Foreground first and a null message after: otherwise the menu does
        // not close when the user clicks elsewhere.
        ::SetForegroundWindow(host_.Handle());
        const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
        const UINT cmd = TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY | align, pt.x, pt.y, 0,
                                        host_.Handle(), nullptr);
        ::PostMessageW(host_.Handle(), WM_NULL, 0, 0);
        Command(cmd);
    }
    void Command(UINT cmd) {
        if (cmd < kFirstMenuCommand || cmd - kFirstMenuCommand >= items_.size()) return;
        const auto& item = items_[cmd - kFirstMenuCommand];
        if (item.visible && item.onClick) item.onClick();
    }

private:
    struct Item {
        u16 name;
        std::wstring caption;
        bool visible;
        std::function<void()> onClick;
    };
    // A Win32 menu has no hidden items: an invisible item is left out.
    void Rebuild() {
        while (GetMenuItemCount(menu_) > 0) DeleteMenu(menu_, 0, MF_BYPOSITION);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            if (!items_[i].visible) continue;
            AppendMenuW(menu_, MF_STRING, kFirstMenuCommand + i, items_[i].caption.c_str());
        }
    }

    MonitorHost& host_;
    HMENU menu_;
    std::vector<Item> items_;
};

MonitorHost::MonitorHost(HINSTANCE instance) : instance_(instance) {
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MonitorHost::WndProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kMainIconResource));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;
    wc.lpszClassName = reinterpret_cast<LPCWSTR>(app::kMonitorWindowClass);
    RegisterClassExW(&wc);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kAboutWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kAboutHeight) / 2;
    // A borderless tool window: never on the task bar, hidden until About.
    hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, reinterpret_cast<LPCWSTR>(app::kMonitorWindowClass),
                            reinterpret_cast<LPCWSTR>(app::kMonitorTitle), WS_POPUP, x, y, kAboutWidth, kAboutHeight,
                            nullptr, nullptr, instance_, this);
    dispatcher_ = std::make_unique<MainThreadDispatcher>(hwnd_);
    hookLibrary_ = std::make_unique<win32::HookLibrary>(W(ExecutableFolder() + u"uiHook.dll"));
}

void MonitorHost::ShowError(u16view text, u16view caption) {
    OutputDebugStringA(("message box: " + Utf8(caption) + ": " + Utf8(text) + "\n").c_str());
    MessageBoxW(nullptr, W(text).c_str(), W(caption).c_str(), MB_OK | MB_ICONERROR);
}

MonitorHost::~MonitorHost() {
    if (hwnd_) DestroyWindow(hwnd_);
}

std::unique_ptr<app::ITrayIcon> MonitorHost::CreateTrayIcon() { return std::make_unique<Win32Tray>(*this); }
std::unique_ptr<app::IPopupMenu> MonitorHost::CreatePopupMenu(app::ITrayIcon&) {
    return std::make_unique<Win32Menu>(*this);
}
std::unique_ptr<TuiHIDData> MonitorHost::CreateHidData() {
    return std::make_unique<TuiHIDData>(
        HidDependencies{*hidSystem_, ini_, *dispatcher_, ExecutableFolder(), [](unsigned ms) { ::Sleep(ms); }});
}
std::unique_ptr<platform::ITimer> MonitorHost::CreateTimer(unsigned intervalMs) {
    return std::make_unique<Win32Timer>(*this, intervalMs);
}
std::unique_ptr<TuiHIDEvent> MonitorHost::CreateHidEvent() {
    return std::make_unique<HidEventWindow>(instance_, CreateTimer(1500));
}

UINT_PTR MonitorHost::RegisterTimer(platform::ITimer* timer) {
    const UINT_PTR id = nextTimerId_++;
    timers_[id] = timer;
    return id;
}

void MonitorHost::UnregisterTimer(UINT_PTR id) { timers_.erase(id); }

app::WindowHandle MonitorHost::FindWindowByClass(u16view className) {
    return reinterpret_cast<app::WindowHandle>(FindWindowW(W(className).c_str(), nullptr));
}

void MonitorHost::ShowWindowAsync(app::WindowHandle window, int command) {
    ::ShowWindowAsync(reinterpret_cast<HWND>(window), command);
}

bool MonitorHost::IsIconic(app::WindowHandle window) { return ::IsIconic(reinterpret_cast<HWND>(window)) != FALSE; }

void MonitorHost::SetForegroundWindow(app::WindowHandle window) {
    ::SetForegroundWindow(reinterpret_cast<HWND>(window));
}

void MonitorHost::PostWindowMessage(app::WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    ::PostMessageW(reinterpret_cast<HWND>(window), msg, wParam, lParam);
}

void MonitorHost::SendWindowMessage(app::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    // A hung receiver must not freeze the mouse buttons and the tray.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(reinterpret_cast<HWND>(window), msg, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, 1000,
                        &result);
}

// UTF-8, so that a debugger sees every character whatever the ANSI code page.
void MonitorHost::DebugOutput(u16view text) { OutputDebugStringA((Utf8(text) + "\n").c_str()); }

void MonitorHost::ShowMessage(u16view text) {
    MessageBoxW(hwnd_, W(text).c_str(), reinterpret_cast<LPCWSTR>(app::kMonitorTitle), MB_OK);
}

bool MonitorHost::ShellExecuteFile(app::WindowHandle owner, u16view verb, u16view file, u16view directory, int show) {
    const std::wstring v = W(verb), f = W(file), d = W(directory);
    const HINSTANCE rc = ShellExecuteW(reinterpret_cast<HWND>(owner), v.c_str(), f.c_str(), nullptr,
                                       d.empty() ? nullptr : d.c_str(), show);
    return reinterpret_cast<INT_PTR>(rc) > 32;
}

namespace {

class StartedProcess final : public app::IStartedProgram {
public:
    explicit StartedProcess(HANDLE process) : process_(process) {}
    ~StartedProcess() override {
        if (process_) CloseHandle(process_);
    }
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;
    // A start the shell handed on without a process counts as running.
    bool Running() override { return !process_ || WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

private:
    HANDLE process_;
};

}  // namespace

std::unique_ptr<app::IStartedProgram> MonitorHost::StartProgram(u16view verb, u16view file, u16view directory,
                                                                int show) {
    const std::wstring v = W(verb), f = W(file), d = W(directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // No error box of the shell's own: a failed start stays silent.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = v.c_str();
    info.lpFile = f.c_str();
    info.lpDirectory = d.empty() ? nullptr : d.c_str();
    info.nShow = show;
    if (!ShellExecuteExW(&info)) return nullptr;
    return std::make_unique<StartedProcess>(info.hProcess);
}

void MonitorHost::ShowMainWindow(bool show) {
    ::ShowWindow(hwnd_, show ? SW_SHOW : SW_HIDE);
    if (show) InvalidateRect(hwnd_, nullptr, TRUE);
}

void MonitorHost::SetApplicationTitle(u16view title) { SetWindowTextW(hwnd_, W(title).c_str()); }

void MonitorHost::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Keep the quit request for the main loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void MonitorHost::Sleep(unsigned ms) { ::Sleep(ms); }

void MonitorHost::Terminate() { PostQuitMessage(0); }

app::OsVersion MonitorHost::GetOsVersion() {
    // GetVersionEx lies to programs without a manifest entry; the kernel's own
    // numbers do not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    auto fn = BoundIn<RtlGetVersionFn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    if (fn && fn(&info) == 0) return {info.dwPlatformId, info.dwMajorVersion};
    return {VER_PLATFORM_WIN32_NT, 6};
}

u16 MonitorHost::ExecutableFolder() { return SystemPaths().ExecutableFolder(); }

LRESULT CALLBACK MonitorHost::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MonitorHost*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MonitorHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    ++self->depth_;
    const LRESULT result = self->Handle(msg, wParam, lParam);
    --self->depth_;
    return result;
}

void MonitorHost::TrayCallback(WPARAM wParam, LPARAM lParam) {
    if (!tray_) return;
    auto click = [this] {
        if (tray_ && tray_->OnClick) tray_->OnClick();
    };
    if (tray_->Version4()) {
        if (HIWORD(lParam) != kTrayIconId) return;
        // Mouse and keyboard alike: the click comes as a selection, the right
        // click and Shift+F10 as a context menu at the icon.
        const POINT at{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
        switch (LOWORD(lParam)) {
            case kTraySelect:
            case kTrayKeySelect:
                click();
                return;
            case WM_CONTEXTMENU:
                if (menu_) menu_->Popup(&at);
                return;
            default:
                return;
        }
    }
    if (wParam != kTrayIconId) return;
    switch (lParam) {
        case WM_LBUTTONUP:
            click();
            return;
        case WM_RBUTTONUP:
            if (menu_) menu_->Popup(nullptr);
            return;
        default:
            return;
    }
}

LRESULT MonitorHost::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (LRESULT result = 0; endRequests_.Handle(msg, wParam, lParam, depth_ == 1, window_, result)) return result;
    // Without its window (before it is complete, or once it started to go)
    // the tray, the timers, the protocol and the page do nothing.
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        if (window_ && tray_) tray_->Readd();
        return 0;
    }
    switch (msg) {
        case kTrayCallbackMessage:
            if (window_) TrayCallback(wParam, lParam);
            return 0;
        case app::ButtonEventMessage:
        case app::kMsgReloadProfiles:
        case app::kMsgReloadSettings:
            if (window_ && window_->HandleMessage(msg, wParam, lParam)) return 0;
            break;
        case kMainThreadCallMessage:
            if (dispatcher_) dispatcher_->Run(lParam);
            return 0;
        case WM_TIMER: {
            auto it = timers_.find(wParam);
            if (window_ && it != timers_.end() && it->second->Enabled() && it->second->OnTimer) it->second->OnTimer();
            return 0;
        }
        case kWmDpiChanged:
            // The hidden window keeps its place; only the icon follows.
            if (window_ && tray_) tray_->DpiChanged(HIWORD(wParam));
            return 0;
        case WM_DISPLAYCHANGE:
        case WM_SETTINGCHANGE:
            if (window_ && tray_) tray_->Resize();
            break;
        case WM_PAINT:
            Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_LBUTTONUP:
            if (window_) window_->AboutPageClick(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_CLOSE:
            // The About page hides; only the tray menu ends the monitor.
            ::ShowWindow(hwnd_, SW_HIDE);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void MonitorHost::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    RECT client;
    GetClientRect(hwnd_, &client);
    // Background: a dark page with a lighter frame where the labels sit.
    HBRUSH page = CreateSolidBrush(RGB(0x1B, 0x1F, 0x2A));
    FillRect(dc, &client, page);
    DeleteObject(page);
    RECT frame{43, 81, 43 + 425, 81 + 223};
    HBRUSH frameBrush = CreateSolidBrush(RGB(0x2A, 0x30, 0x40));
    FillRect(dc, &frame, frameBrush);
    DeleteObject(frameBrush);
    if (window_) {
        const ui::Scene& scene = window_->AboutScene();
        for (const auto& b : scene.Buttons()) {
            RECT r{b.Bounds.x, b.Bounds.y, b.Bounds.x + b.Bounds.width, b.Bounds.y + b.Bounds.height};
            HBRUSH brush = CreateSolidBrush(b.Name == u"BtnOK" ? RGB(0xE2, 0x3B, 0x3B) : RGB(0x3A, 0x44, 0x5A));
            FillRect(dc, &r, brush);
            DeleteObject(brush);
        }
        SetBkMode(dc, TRANSPARENT);
        for (const auto& t : scene.Texts()) {
            HFONT font = CreateFontW(-t->Style.size, 0, 0, 0, t->Style.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                     DEFAULT_PITCH, ExistingFace(dc, t->Style.fontFamily).c_str());
            HGDIOBJ old = SelectObject(dc, font);
            const auto c = t->Style.color;
            SetTextColor(dc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
            RECT r{t->Bounds.x, t->Bounds.y, t->Bounds.x + t->Bounds.width, t->Bounds.y + t->Bounds.height};
            const std::wstring text = W(t->GetText());
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                      (t->Style.align == ui::Align::Center ? DT_CENTER | DT_VCENTER : DT_LEFT | DT_TOP) |
                          DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
            DeleteObject(font);
        }
    }
    EndPaint(hwnd_, &ps);
}

ProcessHost::~ProcessHost() {
    if (mutex_) CloseHandle(mutex_);
}

bool ProcessHost::MutexExists(u16view name) {
    HANDLE h = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, W(name).c_str());
    if (!h) {
        // Refused: it exists, made by an instance at another integrity level
        // (an elevated one) or under other rights.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    CloseHandle(h);
    return true;
}

bool ProcessHost::CreateOwnedMutex(u16view name) {
    HANDLE h = CreateMutexW(nullptr, TRUE, W(name).c_str());
    const DWORD error = GetLastError();
    if (h && error == ERROR_ALREADY_EXISTS) {
        // Another start created it since the check.
        CloseHandle(h);
        return false;
    }
    if (!h && error == ERROR_ACCESS_DENIED) return false;
    // Any other failure (an object of another kind holds the name) leaves the
    // monitor running without the guard rather than not at all.
    mutex_ = h;
    return true;
}

void ProcessHost::ReleaseOwnedMutex() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
    mutex_ = nullptr;
}

void ProcessHost::ConfigureApplication() {
    // The main window is a hidden tool window (see MonitorHost): no task-bar
    // button and not shown when the loop starts. Nothing else to set here.
}

void ProcessHost::RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace vxm::win32
