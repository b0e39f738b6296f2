#include "monitor/shell.h"

#include <poll.h>
#include <unistd.h>
#include <systemd/sd-bus.h>

#include <thread>

#include "app/protocol.h"
#include "platform/linux/hid_arrival_linux.h"
#include "platform/linux/posix.h"
#include "ui/mute_mark.h"

namespace vxm::linuxmon {

namespace {

// Arrivals and removals of hidraw nodes, from the udev monitor polled in the
// loop, as the Windows window's WM_DEVICECHANGE.
class HidrawArrivalSource final : public TuiHIDEvent {
public:
    HidrawArrivalSource(linuxos::MainLoop& loop, std::unique_ptr<platform::ITimer> startTimer,
                        platform::IDebugOutput& debug, std::function<bool()> attached)
        : TuiHIDEvent(std::move(startTimer)), loop_(loop), debug_(debug), attached_(std::move(attached)) {
        // Without a udev daemon the kernel's own events still tell.
        arrivals_ = linuxos::HidrawArrivals::Open("udev");
        if (!arrivals_) arrivals_ = linuxos::HidrawArrivals::Open("kernel");
        if (!arrivals_) {
            debug_.DebugOutput(u"no hidraw arrival monitor: devices are found at start only");
            return;
        }
        watch_ = loop_.Watch(arrivals_->Fd(), POLLIN, [this](short) { Changes(); });
    }
    ~HidrawArrivalSource() override {
        if (watch_) loop_.Unwatch(watch_);
    }

protected:
    void HandleException(u16view message) override {
        debug_.DebugOutput(u"exception in a device notification: " + u16(message));
    }

private:
    void Changes() {
        for (const linuxos::HidrawChange& change : arrivals_->ReadChanges()) {
            if (attached_ && !attached_()) continue;
            debug_.DebugOutput(Utf16("hidraw " + change.action + " " + change.devnode));
            switch (change.kind) {
                case linuxos::HidrawChange::Kind::Arrival:
                    DispatchDeviceChange(kDbtDeviceArrival, kDbtDevTypDeviceInterface);
                    break;
                case linuxos::HidrawChange::Kind::Removal:
                    DispatchDeviceChange(kDbtDeviceRemoveComplete, kDbtDevTypDeviceInterface);
                    break;
                case linuxos::HidrawChange::Kind::Other:
                    DispatchDeviceChange(kDbtDevNodesChanged, 0);
                    break;
            }
        }
    }

    linuxos::MainLoop& loop_;
    platform::IDebugOutput& debug_;
    std::function<bool()> attached_;
    std::unique_ptr<linuxos::HidrawArrivals> arrivals_;
    linuxos::MainLoop::WatchId watch_ = 0;
};

}  // namespace

// The tray of this shell, which the title reaches while it exists.
class MonitorShell::Tray final : public linuxos::StatusNotifierItem {
public:
    explicit Tray(MonitorShell& owner)
        : StatusNotifierItem(
              owner.bus_.Get(), owner.loop_, "vxmmon", [&owner] { return owner.Attached(); }, owner.say_, Marked),
          owner_(owner) {
        owner_.tray_ = this;
    }
    ~Tray() override { owner_.tray_ = nullptr; }

private:
    // The image with the muted mark drawn in, as the Windows tray draws it.
    static linuxos::IconPixmap Marked(const linuxos::IconPixmap& plain) {
        const std::size_t count = static_cast<std::size_t>(plain.width) * static_cast<std::size_t>(plain.height);
        if (plain.argb.size() != count * 4) return plain;
        std::vector<std::uint32_t> words(count);
        // Bytes A, R, G, B to the words 0xAARRGGBB and back.
        for (std::size_t i = 0; i < count; ++i) {
            for (int k = 0; k < 4; ++k) words[i] = words[i] << 8 | plain.argb[i * 4 + static_cast<std::size_t>(k)];
        }
        ui::DrawMuteMark(words, plain.width, plain.height);
        linuxos::IconPixmap marked = plain;
        for (std::size_t i = 0; i < count; ++i) {
            for (int k = 0; k < 4; ++k) {
                marked.argb[i * 4 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(words[i] >> (24 - 8 * k));
            }
        }
        return marked;
    }

    MonitorShell& owner_;
};

struct MonitorShell::Access {
    static int Call(sd_bus_message* m, void* userdata, sd_bus_error* error, unsigned msg, std::uintptr_t w,
                    std::intptr_t l) {
        MonitorShell& self = *static_cast<MonitorShell*>(userdata);
        if (!self.window_) return sd_bus_error_set(error, kErrorNotReady, "the monitor is starting or ending");
        // The window checks every value; a failure is its own to report.
        self.window_->HandleMessage(msg, w, l);
        return sd_bus_reply_method_return(m, "");
    }
    static int ReloadProfiles(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        std::int64_t profile = 0;
        const int r = sd_bus_message_read(m, "x", &profile);
        if (r < 0) return r;
        return Call(m, userdata, error, app::kMsgReloadProfiles, 0, static_cast<std::intptr_t>(profile));
    }
    static int ReloadSettings(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        return Call(m, userdata, error, app::kMsgReloadSettings, 0, 0);
    }
    static int SetMuteButton(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        MonitorShell& self = *static_cast<MonitorShell*>(userdata);
        std::int32_t button = 0;
        const int r = sd_bus_message_read(m, "i", &button);
        if (r < 0) return r;
        if (button < 0 || button > kButtonCount) {
            return sd_bus_error_setf(error, SD_BUS_ERROR_INVALID_ARGS, "no button %d: the buttons are 1 to %d, 0 for none",
                                     static_cast<int>(button), kButtonCount);
        }
        if (!self.window_) return sd_bus_error_set(error, kErrorNotReady, "the monitor is starting or ending");
        return Reply(m, error, self.window_->SetMuteButton(button - 1), kErrorFailed);
    }
    static int SetLanguage(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        MonitorShell& self = *static_cast<MonitorShell*>(userdata);
        const char* name = nullptr;
        const int r = sd_bus_message_read(m, "s", &name);
        if (r < 0) return r;
        if (!self.window_) return sd_bus_error_set(error, kErrorNotReady, "the monitor is starting or ending");
        const u16 wanted = Utf16(name ? name : "");
        // A name it does not list is the caller's mistake; a refused store is not.
        if (self.window_->uiLanguage1().GetLanguageIndexByShortID(wanted) < 0) {
            return Reply(m, error, self.window_->SetLanguage(wanted), SD_BUS_ERROR_INVALID_ARGS);
        }
        return Reply(m, error, self.window_->SetLanguage(wanted), kErrorFailed);
    }
    static int ToggleMute(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        MonitorShell& self = *static_cast<MonitorShell*>(userdata);
        if (!self.window_) return sd_bus_error_set(error, kErrorNotReady, "the monitor is starting or ending");
        self.window_->ToggleMute();
        return sd_bus_reply_method_return(m, "");
    }
    static int Reply(sd_bus_message* m, sd_bus_error* error, const u16& failure, const char* name) {
        if (failure.empty()) return sd_bus_reply_method_return(m, "");
        return sd_bus_error_set(error, name, Utf8(failure).c_str());
    }
    static int ButtonEvent(sd_bus_message* m, void* userdata, sd_bus_error* error) {
        std::uint64_t index = 0;
        std::int64_t parameter = 0;
        const int r = sd_bus_message_read(m, "tx", &index, &parameter);
        if (r < 0) return r;
        return Call(m, userdata, error, app::ButtonEventMessage, static_cast<std::uintptr_t>(index),
                    static_cast<std::intptr_t>(parameter));
    }
};

namespace {

const sd_bus_vtable kProtocolVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_NAMES("ReloadProfiles", "x", SD_BUS_PARAM(profile), "", , MonitorShell::Access::ReloadProfiles,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ReloadSettings", "", "", MonitorShell::Access::ReloadSettings, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("ButtonEvent", "tx", SD_BUS_PARAM(index) SD_BUS_PARAM(parameter), "", ,
                             MonitorShell::Access::ButtonEvent, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("SetMuteButton", "i", SD_BUS_PARAM(button), "", , MonitorShell::Access::SetMuteButton,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_NAMES("SetLanguage", "s", SD_BUS_PARAM(name), "", , MonitorShell::Access::SetLanguage,
                             SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ToggleMute", "", "", MonitorShell::Access::ToggleMute, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("MonitorExiting", "", 0),
    SD_BUS_SIGNAL_WITH_NAMES("ProfileSwitched", "i", SD_BUS_PARAM(profile), 0),
    SD_BUS_SIGNAL_WITH_NAMES("DeviceValue", "u", SD_BUS_PARAM(value), 0),
    SD_BUS_VTABLE_END};

}  // namespace

MonitorShell::MonitorShell(linuxos::MainLoop& loop, linuxos::SessionBus& bus, platform::IHidSystem& hid,
                           platform::IIniReader& ini, platform::IDebugOutput& debug, u16 programFolder,
                           std::function<void(const std::string&)> say, u16 configFolder)
    : loop_(loop),
      bus_(bus),
      hid_(hid),
      ini_(ini),
      debug_(debug),
      programFolder_(std::move(programFolder)),
      configFolder_(std::move(configFolder)),
      say_(std::move(say)),
      config_(bus.Get(), kConfigServiceName) {
    sd_bus_add_object_vtable(bus_.Get(), object_.Put(), kObjectPath, kInterface, kProtocolVtable, this);
}

// What was posted for the window runs no more; the object leaves the bus with its slot.
MonitorShell::~MonitorShell() { lifetime_.End(); }

std::unique_ptr<platform::ITrayIcon> MonitorShell::CreateTrayIcon() { return std::make_unique<Tray>(*this); }

std::unique_ptr<platform::IPopupMenu> MonitorShell::CreatePopupMenu(platform::ITrayIcon&) {
    return std::make_unique<linuxos::DbusMenu>(bus_.Get(), loop_, [this] { return Attached(); });
}

std::unique_ptr<TuiHIDData> MonitorShell::CreateHidData() {
    return std::make_unique<TuiHIDData>(HidDependencies{
        hid_, ini_, loop_.Dispatcher(), debug_, configFolder_,
        [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }});
}

std::unique_ptr<platform::ITimer> MonitorShell::CreateTimer(unsigned intervalMs) {
    return loop_.CreateTimer(intervalMs, [this] { return Attached(); });
}

std::unique_ptr<TuiHIDEvent> MonitorShell::CreateHidEvent() {
    return std::make_unique<HidrawArrivalSource>(loop_, CreateTimer(1500), debug_, [this] { return Attached(); });
}

bool MonitorShell::ConfigApplicationInstalled() {
    // Found as the click starts it: by its name without regard to case.
    const std::string program = linuxos::ResolveNoCase(linuxos::NativePath(programFolder_) + kConfigProgram);
    return ::access(program.c_str(), X_OK) == 0;
}

void MonitorShell::SetApplicationTitle(u16view title) {
    if (tray_) tray_->SetTitle(title);
}

platform::WindowHandle MonitorShell::FindWindowByClass(u16view className) {
    if (className == app::kMonitorWindowClass) return kMonitorWindow;
    if (className == app::kConfigWindowClass) return config_.Owned() ? kConfigWindow : 0;
    return 0;
}

void MonitorShell::ShowWindowAsync(platform::WindowHandle window, int) {
    if (window != kConfigWindow) return;
    // No reply is asked for: a configuration application that hangs holds up nothing.
    linuxos::BusMessage call;
    if (sd_bus_message_new_method_call(bus_.Get(), call.Put(), kConfigServiceName, kConfigObjectPath,
                                       kConfigInterface, "Activate") >= 0 &&
        sd_bus_message_set_expect_reply(call.Get(), 0) >= 0) {
        sd_bus_send(bus_.Get(), call.Get(), nullptr);
    }
}

void MonitorShell::Signal(unsigned msg, std::uintptr_t wParam) {
    switch (msg) {
        case app::kMsgMonitorExiting:
            sd_bus_emit_signal(bus_.Get(), kObjectPath, kInterface, "MonitorExiting", "");
            // Out before the loop ends: the ending closes the connection after the rest.
            sd_bus_flush(bus_.Get());
            return;
        case app::kMsgProfileSwitched:
            sd_bus_emit_signal(bus_.Get(), kObjectPath, kInterface, "ProfileSwitched", "i",
                               static_cast<std::int32_t>(wParam));
            return;
        case app::kMsgDeviceValue:
            sd_bus_emit_signal(bus_.Get(), kObjectPath, kInterface, "DeviceValue", "u",
                               static_cast<std::uint32_t>(wParam));
            return;
        default:
            return;
    }
}

void MonitorShell::PostWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
    if (window == kConfigWindow) {
        Signal(msg, wParam);
        return;
    }
    if (window != kMonitorWindow) return;
    // A full queue drops the message, as a full message queue does.
    if (!lifetime_.Post(loop_, [this, msg, wParam, lParam] {
            if (window_) window_->HandleMessage(msg, wParam, lParam);
        })) {
        debug_.DebugOutput(u"message " + ToU16(msg) + u" dropped: the queue is full");
    }
}

void MonitorShell::SendWindowMessage(platform::WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam) {
    if (window == kConfigWindow) {
        Signal(msg, wParam);
        return;
    }
    if (window == kMonitorWindow && window_) window_->HandleMessage(msg, wParam, lParam);
}

void MonitorShell::RequestEnd() {
    if (window_) {
        window_->RequestEnd(false);
        return;
    }
    loop_.Terminate();
}

}  // namespace vxm::linuxmon
