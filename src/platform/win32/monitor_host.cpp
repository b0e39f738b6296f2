#include "platform/win32/monitor_host.h"

#include <shellapi.h>

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

class Win32Timer final : public app::ITimer {
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

}  // namespace

class Win32Tray final : public app::ITrayIcon {
public:
    explicit Win32Tray(MonitorHost& host) : host_(host) {
        host_.tray_ = this;
        icon_ = LoadSized(nullptr);
    }
    ~Win32Tray() override {
        SetVisible(false);
        if (ownIcon_) DestroyIcon(ownIcon_);
        if (icon_) DestroyIcon(icon_);
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
        Update(visible ? NIM_ADD : NIM_DELETE);
    }
    // The shell restarted: its icons are gone.
    void Readd() {
        if (visible_) Update(NIM_ADD);
    }
    // The display's DPI changed: reload at the new size.
    void Resize() {
        if (icon_) DestroyIcon(icon_);
        icon_ = LoadSized(nullptr);
        if (!filePath_.empty()) {
            if (ownIcon_) DestroyIcon(ownIcon_);
            ownIcon_ = LoadSized(&filePath_);
        }
        Update(NIM_MODIFY);
    }

private:
    HICON LoadSized(const u16* file) {
        const int cx = GetSystemMetrics(SM_CXSMICON);
        const int cy = GetSystemMetrics(SM_CYSMICON);
        if (file) {
            return static_cast<HICON>(LoadImageW(nullptr, W(*file).c_str(), IMAGE_ICON, cx, cy, LR_LOADFROMFILE));
        }
        return static_cast<HICON>(
            LoadImageW(host_.Instance(), MAKEINTRESOURCEW(kMainIconResource), IMAGE_ICON, cx, cy, 0));
    }
    void Update(DWORD action) {
        if (!visible_ && action != NIM_DELETE) return;
        NOTIFYICONDATAW nid{};
        nid.cbSize = sizeof(nid);
        nid.hWnd = host_.Handle();
        nid.uID = kTrayIconId;
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.uCallbackMessage = kTrayCallbackMessage;
        nid.hIcon = ownIcon_ ? ownIcon_ : icon_;
        lstrcpynW(nid.szTip, hint_.c_str(), static_cast<int>(std::size(nid.szTip)));
        const BOOL ok = Shell_NotifyIconW(action, &nid);
        if (action == NIM_ADD) host_.DebugOutput(u16(ok ? u"tray icon added: " : u"tray icon not added: ") + U(hint_));
        if (action == NIM_MODIFY && ok) host_.DebugOutput(u"tray hint: " + U(hint_));
    }

    MonitorHost& host_;
    HICON icon_ = nullptr;     // the program's own icon
    HICON ownIcon_ = nullptr;  // from the icon file
    u16 filePath_;
    std::wstring hint_;
    bool visible_ = false;
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
    void SetCaption(int index, u16view caption) override {
        if (index < 0 || index >= static_cast<int>(items_.size())) return;
        items_[index].caption = W(caption);
        Rebuild();
    }
    void Popup() {
        POINT pt{};
        GetCursorPos(&pt);
        // Foreground first and a null message after: otherwise the menu does
        // not close when the user clicks elsewhere.
        ::SetForegroundWindow(host_.Handle());
        const UINT cmd = TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, pt.x, pt.y, 0,
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
std::unique_ptr<app::ITimer> MonitorHost::CreateTimer(unsigned intervalMs) {
    return std::make_unique<Win32Timer>(*this, intervalMs);
}
std::unique_ptr<TuiHIDEvent> MonitorHost::CreateHidEvent() {
    return std::make_unique<HidEventWindow>(instance_, CreateTimer(1500));
}

UINT_PTR MonitorHost::RegisterTimer(app::ITimer* timer) {
    const UINT_PTR id = nextTimerId_++;
    timers_[id] = timer;
    return id;
}

void MonitorHost::UnregisterTimer(UINT_PTR id) { timers_.erase(id); }

app::WindowHandle MonitorHost::FindWindowByClass(u16view className) {
    return reinterpret_cast<app::WindowHandle>(FindWindowW(W(className).c_str(), nullptr));
}

void MonitorHost::ShowWindow(app::WindowHandle window, int command) {
    ::ShowWindow(reinterpret_cast<HWND>(window), command);
}

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
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (fn && fn(&info) == 0) return {info.dwPlatformId, info.dwMajorVersion};
    }
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
    if (self) return self->Handle(msg, wParam, lParam);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT MonitorHost::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        if (tray_) tray_->Readd();
        return 0;
    }
    switch (msg) {
        case kTrayCallbackMessage:
            if (wParam != kTrayIconId) return 0;
            switch (LOWORD(lParam)) {
                case WM_LBUTTONUP:
                    if (tray_ && tray_->OnClick) tray_->OnClick();
                    return 0;
                case WM_RBUTTONUP:
                case WM_CONTEXTMENU:
                    if (menu_) menu_->Popup();
                    return 0;
                default:
                    return 0;
            }
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
            if (it != timers_.end() && it->second->Enabled() && it->second->OnTimer) it->second->OnTimer();
            return 0;
        }
        case WM_DISPLAYCHANGE:
        case WM_DPICHANGED:
            if (tray_) tray_->Resize();
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
                                     DEFAULT_PITCH, W(t->Style.fontFamily).c_str());
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
    if (!h) return false;
    CloseHandle(h);
    return true;
}

void ProcessHost::CreateOwnedMutex(u16view name) { mutex_ = CreateMutexW(nullptr, TRUE, W(name).c_str()); }

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
