#include "monitor/main_window.h"

#include "monitor/about_painter.h"
#include "monitor/hid_arrival_window.h"
#include "monitor/resource.h"
#include "platform/win32/gdi_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

// Outside the ids that Timers gives out.
constexpr UINT_PTR kEndAgainTimer = 0x454E44;

}  // namespace

// The tray icon and menu of this window, which its messages reach while they exist.
class MonitorWindow::Tray final : public TrayIcon {
public:
    explicit Tray(MonitorWindow& owner)
        : TrayIcon(owner.hwnd_, owner.instance_, IDI_MAINICON, owner.debug_), owner_(owner) {
        owner_.tray_ = this;
    }
    ~Tray() override { owner_.tray_ = nullptr; }

private:
    MonitorWindow& owner_;
};

class MonitorWindow::Menu final : public PopupMenu {
public:
    explicit Menu(MonitorWindow& owner) : PopupMenu(owner.hwnd_), owner_(owner) { owner_.menu_ = this; }
    ~Menu() override { owner_.menu_ = nullptr; }

private:
    MonitorWindow& owner_;
};

MonitorWindow::MonitorWindow(HINSTANCE instance, platform::IHidSystem& hid, platform::IIniReader& ini,
                             platform::IDebugOutput& debug, u16 programFolder,
                             std::function<void(u16view message)> onException)
    : instance_(instance),
      hid_(hid),
      ini_(ini),
      debug_(debug),
      programFolder_(std::move(programFolder)),
      onException_(std::move(onException)) {
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MonitorWindow::WndProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_MAINICON));
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
    timers_ = std::make_unique<Timers>(hwnd_);
    dispatcher_ = std::make_unique<MainThreadDispatcher>(hwnd_);
    messages_ = std::make_unique<MessageBoxes>(hwnd_, app::kMonitorTitle, debug_);
}

MonitorWindow::~MonitorWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

std::unique_ptr<platform::ITrayIcon> MonitorWindow::CreateTrayIcon() { return std::make_unique<Tray>(*this); }

std::unique_ptr<platform::IPopupMenu> MonitorWindow::CreatePopupMenu(platform::ITrayIcon&) {
    return std::make_unique<Menu>(*this);
}

std::unique_ptr<TuiHIDData> MonitorWindow::CreateHidData() {
    return std::make_unique<TuiHIDData>(
        HidDependencies{hid_, ini_, *dispatcher_, debug_, programFolder_, [](unsigned ms) { ::Sleep(ms); }});
}

std::unique_ptr<platform::ITimer> MonitorWindow::CreateTimer(unsigned intervalMs) {
    return timers_->Create(intervalMs);
}

std::unique_ptr<TuiHIDEvent> MonitorWindow::CreateHidEvent() {
    // Its window reports what it raised here, so that one handler hears of both.
    return std::make_unique<HidArrivalWindow>(instance_, CreateTimer(1500), debug_,
                                              [this](u16view message) { ReportException(message); });
}

void MonitorWindow::ShowMainWindow(bool show) {
    ::ShowWindow(hwnd_, show ? SW_SHOW : SW_HIDE);
    if (show) InvalidateRect(hwnd_, nullptr, TRUE);
}

void MonitorWindow::SetApplicationTitle(u16view title) { SetWindowTextW(hwnd_, W(title).c_str()); }

LRESULT CALLBACK MonitorWindow::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<MonitorWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MonitorWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    ++self->depth_;
    LRESULT result = 0;
    // No exception may cross the system's callback: it would end the program
    // (nothing unwinds through the system's frames), so it is reported and
    // the message counts as handled.
    try {
        try {
            result = self->Handle(msg, wParam, lParam);
        } catch (const std::exception& e) {
            self->debug_.DebugOutput(u"exception in a window message: " + Utf16(e.what()));
            self->ReportException(Utf16(e.what()));
        } catch (...) {
            self->debug_.DebugOutput(u"exception in a window message");
            self->ReportException(u"Unknown exception in a window message");
        }
    } catch (...) {
        // The report itself failed; the message still ends here.
    }
    --self->depth_;
    return result;
}

void MonitorWindow::ReportException(u16view message) {
    if (onException_) {
        onException_(message);
        return;
    }
    // A handler that fails again while its box is up adds no second box.
    if (reporting_ || !messages_) return;
    reporting_ = true;
    messages_->ShowError(message, app::kMonitorTitle);
    reporting_ = false;
}

void MonitorWindow::Attach(app::TVXMMONMAIN* window) {
    window_ = window;
    endRequests_.Attached(window_);
}

void MonitorWindow::CloseModal() {
    EndMenu();
    if (messages_) messages_->CloseAll();
    // Until the loop has ended, whichever loop runs dispatches this timer,
    // and the ending is asked for again.
    SetTimer(hwnd_, kEndAgainTimer, 100, nullptr);
}

void MonitorWindow::TrayCallback(WPARAM wParam, LPARAM lParam) {
    // Ending: a menu opened now would hold the ending up.
    if (!tray_ || window_->EndRequested()) return;
    const TrayEvent event = tray_->Callback(wParam, lParam);
    switch (event.kind) {
        case TrayEvent::Kind::Select:
            if (tray_->OnClick) tray_->OnClick();
            return;
        case TrayEvent::Kind::ContextMenu:
            if (menu_) menu_->Popup(event.hasPoint ? &event.point : nullptr);
            return;
        case TrayEvent::Kind::None:
            return;
    }
}

LRESULT MonitorWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    // At the top: no message of this window below this one, and no message
    // box of ours (one that the arrival window's handler shows has its loop
    // below this message all the same).
    const bool topLevel = depth_ == 1 && !(messages_ && messages_->Showing());
    if (LRESULT result = 0; endRequests_.Handle(msg, wParam, lParam, topLevel, window_, result)) return result;
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
        case app::kMsgMicrophoneChanged:
        case app::kMsgReloadProfiles:
        case app::kMsgReloadSettings:
            if (window_ && window_->HandleMessage(msg, wParam, lParam)) return 0;
            break;
        case kMainThreadCallMessage:
            if (dispatcher_) dispatcher_->Run(lParam);
            return 0;
        case WM_TIMER:
            if (wParam == kEndAgainTimer) {
                endRequests_.Again(window_);
            } else if (window_ && timers_) {
                timers_->Fire(wParam);
            }
            return 0;
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

void MonitorWindow::Paint() {
    const PaintDc dc(hwnd_);
    RECT client;
    GetClientRect(hwnd_, &client);
    PaintAboutPage(dc.Get(), client, window_ ? &window_->AboutScene() : nullptr);
}

}  // namespace vxm::win32
