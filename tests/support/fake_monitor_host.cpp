#include "support/fake_monitor_host.h"

#include <algorithm>
#include <cstdio>

namespace vxm::fake {
namespace {

std::string Narrow(u16view s) { return Utf8(s); }

template <typename Base>
class Logged : public Base {
public:
    Logged(FakeMonitorHost& host, std::string name) : host_(host), name_(std::move(name)) {
        host_.log.push_back("create:" + name_);
    }
    ~Logged() override { host_.log.push_back("destroy:" + name_); }

protected:
    FakeMonitorHost& host_;
    std::string name_;
};


class Tray final : public Logged<platform::ITrayIcon> {
public:
    using Logged::Logged;
    ~Tray() override {
        if (host_.onTrayRemoval) host_.onTrayRemoval();
    }
    bool LoadIconFromFile(u16view path) override {
        host_.log.push_back("LoadIconFromFile:" + Narrow(path));
        const auto& f = host_.existingFiles;
        host_.iconLoaded = std::find(f.begin(), f.end(), u16(path)) != f.end();
        return host_.iconLoaded;
    }
    void SetHint(u16view hint) override { host_.hint = u16(hint); }
    void SetMuteBadge(bool shown) override {
        host_.badge = shown;
        host_.log.push_back(shown ? "tray:badge" : "tray:plain");
    }
    void SetVisible(bool visible) override { host_.log.push_back(visible ? "tray:visible" : "tray:hidden"); }
};

class Menu final : public Logged<platform::IPopupMenu> {
public:
    using Logged::Logged;
    void AddItem(u16view, u16view caption, bool visible, std::function<void()> onClick) override {
        host_.menuCaptions.emplace_back(caption);
        host_.menuVisible.push_back(visible);
        host_.menuClicks.push_back(std::move(onClick));
    }
    void SetCaption(int index, u16view caption) override { host_.menuCaptions.at(index) = u16(caption); }
    void AddChoices(u16view, u16view caption, std::vector<u16> choices, int checked,
                    std::function<void(int)> onChoose) override {
        const int index = static_cast<int>(host_.menuCaptions.size());
        host_.menuCaptions.emplace_back(caption);
        host_.menuVisible.push_back(true);
        host_.menuClicks.emplace_back();
        host_.menuChoices[index] = {std::move(choices), checked};
        host_.menuChoose[index] = std::move(onChoose);
    }
    void SetChoices(int index, std::vector<u16> choices, int checked) override {
        host_.menuChoices.at(index) = {std::move(choices), checked};
    }
};

class HidData final : public TuiHIDData {
public:
    HidData(FakeMonitorHost& host, HidDependencies deps) : TuiHIDData(std::move(deps)), host_(host) {
        host_.log.push_back("create:hid");
    }
    ~HidData() override { host_.log.push_back("destroy:hid"); }

private:
    FakeMonitorHost& host_;
};

class HidEvent final : public TuiHIDEvent {
public:
    HidEvent(FakeMonitorHost& host, std::unique_ptr<platform::ITimer> timer) : TuiHIDEvent(std::move(timer)), host_(host) {
        host_.log.push_back("create:hidevent");
        host_.hidEvent = this;
    }
    ~HidEvent() override {
        host_.hidEvent = nullptr;
        host_.log.push_back("destroy:hidevent");
    }

private:
    FakeMonitorHost& host_;
};


}  // namespace

std::vector<std::string> Only(const std::vector<std::string>& log, std::initializer_list<const char*> prefixes) {
    std::vector<std::string> out;
    for (const auto& line : log) {
        for (const char* p : prefixes) {
            if (line.rfind(p, 0) == 0) out.push_back(line);
        }
    }
    return out;
}

struct FakeMonitorHost::Timer final : Logged<platform::ITimer> {
    Timer(FakeMonitorHost& owner, unsigned period) : Logged(owner, "timer"), interval(period) {
        host_.timers.push_back(this);
    }
    ~Timer() override { host_.timers.erase(std::find(host_.timers.begin(), host_.timers.end(), this)); }
    void SetEnabled(bool e) override {
        if (e && !enabled) due = host_.now + interval;
        enabled = e;
    }
    bool Enabled() const override { return enabled; }
    unsigned interval;
    unsigned due = 0;
    bool enabled = false;
};

void FakeMonitorHost::Advance(unsigned ms) {
    const unsigned end = now + ms;
    for (;;) {
        Timer* next = nullptr;
        for (Timer* t : timers) {
            if (t->enabled && t->due <= end && (!next || t->due < next->due)) next = t;
        }
        if (!next) break;
        now = next->due;
        next->due += next->interval;
        if (next->OnTimer) next->OnTimer();
    }
    now = end;
}

std::unique_ptr<platform::ITrayIcon> FakeMonitorHost::CreateTrayIcon() { return std::make_unique<Tray>(*this, "tray"); }
std::unique_ptr<platform::IPopupMenu> FakeMonitorHost::CreatePopupMenu(platform::ITrayIcon&) {
    return std::make_unique<Menu>(*this, "menu");
}
class FakeMonitorHost::LoggingHid final : public FakeHidSystem {
public:
    explicit LoggingHid(FakeMonitorHost& host) : host_(host) {}
    std::vector<platform::HidInterface> EnumerateInterfaces() override {
        host_.log.push_back("HidSearch@" + std::to_string(host_.now));
        return FakeHidSystem::EnumerateInterfaces();
    }

private:
    FakeMonitorHost& host_;
};

class FakeMonitorHost::LoggingHookLibrary final : public FakeHookLibrary {
public:
    explicit LoggingHookLibrary(FakeMonitorHost& host) : host_(host) {}
    platform::HookLibraryLoad Load() override {
        host_.log.push_back("hook:load");
        return FakeHookLibrary::Load();
    }
    void Unload() override {
        host_.log.push_back("hook:unload");
        FakeHookLibrary::Unload();
    }

private:
    FakeMonitorHost& host_;
};

FakeMonitorHost::FakeMonitorHost()
    : hookLibrary(std::make_unique<LoggingHookLibrary>(*this)), hid(std::make_unique<LoggingHid>(*this)) {}
FakeMonitorHost::~FakeMonitorHost() = default;

FakeMonitorHost::operator app::MonitorDependencies() {
    // The shell, the main window, the message loop, the window messages, the
    // programs, the ticks, the OS version, the message box, the debugger
    // output and the paths are this host.
    FakeMonitorHost& h = *this;
    return app::MonitorDependencies{h, h, h, h, h, h, h, h, h, h, platform.registry, platform.files, nls,
                                    coreAudio, mixer, *hookLibrary, dispatcher, h, h};
}

std::unique_ptr<TuiHIDData> FakeMonitorHost::CreateHidData() {
    return std::make_unique<HidData>(*this, HidDependencies{*hid, platform.ini, dispatcher, hidDebug, platform.paths.exeFolder,
                                                            [this](unsigned ms) { Sleep(ms); }});
}
std::unique_ptr<platform::ITimer> FakeMonitorHost::CreateTimer(unsigned intervalMs) {
    return std::make_unique<Timer>(*this, intervalMs);
}
std::unique_ptr<TuiHIDEvent> FakeMonitorHost::CreateHidEvent() {
    // Its own start timer is created first, as the component's.
    auto timer = std::make_unique<Timer>(*this, 1500);
    return std::make_unique<HidEvent>(*this, std::move(timer));
}

platform::WindowHandle FakeMonitorHost::FindWindowByClass(u16view className) {
    auto it = windows.find(u16(className));
    return it == windows.end() ? 0 : it->second;
}
void FakeMonitorHost::ShowWindowAsync(platform::WindowHandle w, int cmd) {
    log.push_back("ShowWindowAsync:" + std::to_string(w) + ":" + std::to_string(cmd));
}
bool FakeMonitorHost::Deliver(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return attached && attached->HandleMessage(msg, wParam, lParam);
}
void FakeMonitorHost::DeliverPosted() {
    const auto posted = log;
    for (const auto& line : posted) {
        unsigned long long w = 0, m = 0;
        long long l = 0;
        if (std::sscanf(line.c_str(), "Post:1:%llu:%llu:%lld", &m, &w, &l) == 3) {
            Deliver(static_cast<unsigned>(m), w, l);
        }
    }
}
void FakeMonitorHost::SetForegroundWindow(platform::WindowHandle w) { log.push_back("SetForegroundWindow:" + std::to_string(w)); }
void FakeMonitorHost::PostWindowMessage(platform::WindowHandle w, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
    log.push_back("Post:" + std::to_string(w) + ":" + std::to_string(msg) + ":" + std::to_string(wp) + ":" +
                  std::to_string(lp));
}
void FakeMonitorHost::SendWindowMessage(platform::WindowHandle w, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
    log.push_back("Send:" + std::to_string(w) + ":" + std::to_string(msg) + ":" + std::to_string(wp) + ":" +
                  std::to_string(lp));
}
bool FakeMonitorHost::ShellExecuteFile(platform::WindowHandle owner, u16view verb, u16view file, u16view dir, int show) {
    log.push_back("ShellExecute:" + std::to_string(owner) + ":" + Narrow(verb) + ":" + Narrow(file) + ":" +
                  Narrow(dir) + ":" + std::to_string(show));
    return false;
}
namespace {
struct StartedProgram final : platform::IStartedProgram {
    explicit StartedProgram(std::shared_ptr<bool> r) : running(std::move(r)) {}
    bool Running() override { return *running; }
    std::shared_ptr<bool> running;
};
}  // namespace

std::unique_ptr<platform::IStartedProgram> FakeMonitorHost::StartProgram(u16view verb, u16view file, u16view dir,
                                                                    int show) {
    log.push_back("StartProgram:" + Narrow(verb) + ":" + Narrow(file) + ":" + Narrow(dir) + ":" +
                  std::to_string(show));
    if (!startSucceeds) return nullptr;
    started.push_back(std::make_shared<bool>(true));
    return std::make_unique<StartedProgram>(started.back());
}
void FakeMonitorHost::ShowMainWindow(bool show) {
    mainVisible = show;
    log.push_back(show ? "main:show" : "main:hide");
}
void FakeMonitorHost::SetApplicationTitle(u16view t) { title = u16(t); }
void FakeMonitorHost::ProcessMessages() { log.push_back("ProcessMessages"); }
void FakeMonitorHost::Sleep(unsigned ms) {
    log.push_back("Sleep:" + std::to_string(ms));
    now += ms;
}
void FakeMonitorHost::Terminate() { log.push_back("Terminate"); }
void FakeMonitorHost::Play(platform::SoundCue cue) {
    log.push_back(cue == platform::SoundCue::MicrophoneMuted ? "Sound:muted"
                  : cue == platform::SoundCue::MicrophoneLive ? "Sound:live"
                                                              : "Sound:error");
}
void FakeMonitorHost::ShowState(bool muted, u16view text, unsigned forMs) {
    log.push_back(std::string("Notice:show:") + (muted ? "muted:" : "live:") + Utf8(text) + ":" + std::to_string(forMs));
}
void FakeMonitorHost::HideState() { log.push_back("Notice:hide"); }
void FakeMonitorHost::TellFailure(u16view text, u16view detail) {
    log.push_back("Notice:failure:" + Utf8(text) + ":" + Utf8(detail));
}

}  // namespace vxm::fake
