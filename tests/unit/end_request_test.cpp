// Ending on request (the end of a Windows session, the installer): the same
// ending as the tray's "Exit", once, and at once where Windows may end the
// process right after asking.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/monitor.h"
#include "app/run_monitor.h"
#include "support/fake_monitor_host.h"

namespace vxm::app {
namespace {

using fake::FakeMonitorHost;

struct Settings final : IProfileSettings {
    explicit Settings(std::vector<std::string>& sink) : log(sink) { log.push_back("create:TDM"); }
    ~Settings() override { log.push_back("destroy:TDM"); }
    std::uint8_t CurrentLanguage() const override { return 0; }
    USAGE_AND_PAGE DeviceUsageAndPage() const override { return {0x0001, 0xFFA0}; }
    const TMouseProfileInfo& CurrentProfile() const override { return *profile; }
    u16 ProfileRegFolder() const override { return u"software\\test"; }
    void LoadProfileGroupSettingInfoFromRegistry() override {}
    void LoadAllProfileInfoFromRegistry() override {}
    bool LoadCurrentProfileInfoFromRegistry() override { return true; }
    std::unique_ptr<TMouseProfileInfo> profile = std::make_unique<TMouseProfileInfo>();
    std::vector<std::string>& log;
};

// The message loop runs `inLoop` once, as a handler called from the loop would.
struct Process final : IProcessHost {
    explicit Process(std::vector<std::string>& sink) : log(sink) {}
    bool MutexExists(u16view) override { return false; }
    bool CreateOwnedMutex(u16view) override {
        log.push_back("CreateMutex");
        return true;
    }
    void ReleaseOwnedMutex() override { log.push_back("ReleaseMutex"); }
    void ConfigureApplication() override {}
    void RunMessageLoop() override {
        log.push_back("loop");
        if (inLoop) inLoop();
        log.push_back("loop ends");
    }
    std::vector<std::string>& log;
    std::function<void()> inLoop;
};

struct MonitorRun {
    FakeMonitorHost host;
    Process process{host.log};
    TVXMMONMAIN* window = nullptr;
    MonitorParts parts;
    MonitorRun() {
        host.windows[u"TVXMCFGMAIN"] = 7;
        parts.createProfileManager = [this] { return std::make_unique<Settings>(host.log); };
        parts.createMainWindow = [this](IProfileSettings& dm) {
            auto w = std::make_unique<TVXMMONMAIN>(host, dm);
            window = w.get();
            return w;
        };
    }
    std::vector<std::string> Ending() const {
        std::vector<std::string> out;
        bool on = false;
        for (const auto& line : host.log) {
            if (line == "loop") on = true;
            if (on && line.rfind("Debug:", 0) != 0 && line.rfind("Sleep", 0) != 0) out.push_back(line);
        }
        return out;
    }
};

TEST(EndOnRequest, AtOnceTheWholeExitRunsBeforeTheRequestReturnsAndOnlyOnce) {
    MonitorRun run;
    bool gone = false;
    run.process.inLoop = [&] {
        gone = run.window->RequestEnd(true);
        run.host.log.push_back("request returned");
    };
    EXPECT_EQ(RunMonitor(run.process, run.parts), 0);
    EXPECT_TRUE(gone);
    // Exactly the Exit path: 7036 and the end of the loop, then the mutex,
    // the window's components in reverse order and the manager; the loop's
    // own end then finds nothing left.
    const std::vector<std::string> expected = {
        "loop",          "Post:7:7036:0:0", "Terminate",     "ReleaseMutex",     "destroy:hidevent",
        "destroy:timer", "destroy:timer",   "destroy:hid",   "destroy:menu",     "destroy:tray",
        "hook:unload",   "destroy:TDM",     "request returned", "loop ends"};
    EXPECT_EQ(run.Ending(), expected);
}

TEST(EndOnRequest, LaterTheLoopEndsAsAfterExitAndRepeatsChangeNothing) {
    MonitorRun run;
    run.process.inLoop = [&] {
        EXPECT_FALSE(run.window->RequestEnd(false));
        EXPECT_FALSE(run.window->RequestEnd(false));  // the installer asks again
        EXPECT_FALSE(run.window->RequestEnd(false));
        run.host.log.push_back("request returned");
    };
    EXPECT_EQ(RunMonitor(run.process, run.parts), 0);
    const std::vector<std::string> expected = {
        "loop",          "Post:7:7036:0:0", "Terminate",     "request returned", "loop ends",
        "ReleaseMutex",  "destroy:hidevent", "destroy:timer", "destroy:timer",    "destroy:hid",
        "destroy:menu",  "destroy:tray",    "hook:unload",   "destroy:TDM"};
    EXPECT_EQ(run.Ending(), expected);
}

TEST(EndOnRequest, AskedLaterThenAtOnceTheEndingStillRunsAtOnceWithOneNotice) {
    MonitorRun run;
    run.process.inLoop = [&] {
        run.window->RequestEnd(false);                // the installer
        EXPECT_TRUE(run.window->RequestEnd(true));   // then the session ends
    };
    EXPECT_EQ(RunMonitor(run.process, run.parts), 0);
    const auto log = run.Ending();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Post:7:7036:0:0"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "ReleaseMutex"), 1);
    EXPECT_EQ(log.back(), "loop ends") << "everything went before the loop ended";
}

TEST(EndOnRequest, AWindowOutsideRunMonitorEndsOnlyAsExitDoes) {
    // No process around it (as while start-up still shows a message box):
    // nothing can be finished at once, and nothing is destroyed.
    FakeMonitorHost host;
    std::vector<std::string> sink;
    Settings dm(sink);
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    EXPECT_FALSE(window.RequestEnd(true));
    EXPECT_EQ(host.log, (std::vector<std::string>{"Post:0:7036:0:0", "Terminate"}));
}

}  // namespace
}  // namespace vxm::app
