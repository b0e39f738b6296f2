// The monitor's process: the single-instance guard, the profile manager
// before the window, a start-up error told once before the loop, the mutex
// released before either goes; and ending on request (the end of a Windows
// session, the installer): the same ending as the tray's "Exit", told once,
// and at once where Windows may end the process right after asking.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/monitor.h"
#include "app/run_monitor.h"
#include "support/fake_monitor_host.h"
#include "support/fake_profile_settings.h"

namespace vxm::app {
namespace {

using fake::FakeMonitorHost;
using fake::FakeProfileSettings;
using fake::Only;

struct FakeProcess final : IProcessHost {
    explicit FakeProcess(std::vector<std::string>& sink) : log(sink) {}
    bool MutexExists(u16view) override { return exists; }
    bool CreateOwnedMutex(u16view name) override {
        log.push_back("CreateMutex:" + Utf8(name));
        return !lostRace;
    }
    void ReleaseOwnedMutex() override { log.push_back("ReleaseMutex"); }
    void ConfigureApplication() override { log.push_back("ConfigureApplication"); }
    void RunMessageLoop() override { log.push_back("loop"); }
    std::vector<std::string>& log;
    bool exists = false;
    bool lostRace = false;
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
        parts.createProfileManager = [this] { return std::make_unique<FakeProfileSettings>(&host.log); };
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

TEST(EndOnRequest, LaterTheLoopEndsAsAfterExitAndRepeatsAskOnlyTheLoopAgain) {
    MonitorRun run;
    run.process.inLoop = [&] {
        EXPECT_FALSE(run.window->RequestEnd(false));
        // The installer asks again, as the menu's loop may have taken the
        // first end of the loop; then the user picks "Exit".
        EXPECT_FALSE(run.window->RequestEnd(false));
        run.window->Exit1Click();
        run.host.log.push_back("request returned");
    };
    EXPECT_EQ(RunMonitor(run.process, run.parts), 0);
    const std::vector<std::string> expected = {
        "loop",          "Post:7:7036:0:0", "Terminate",     "Terminate",   "Terminate",    "request returned",
        "loop ends",     "ReleaseMutex",    "destroy:hidevent", "destroy:timer", "destroy:timer", "destroy:hid",
        "destroy:menu",  "destroy:tray",    "hook:unload",   "destroy:TDM"};
    EXPECT_EQ(run.Ending(), expected);
}

TEST(EndOnRequest, AStartupErrorIsToldOnceBeforeTheLoopAndAnEndAskedMeanwhileWaitsForTheLoop) {
    MonitorRun run;
    run.parts.createProfileManager = [&run] {
        auto dm = std::make_unique<FakeProfileSettings>(&run.host.log);
        dm->startupError = u"The mouse settings could not be loaded";
        return dm;
    };
    // Windows ends the session while the warning is up: the window it is
    // shown from cannot go under it.
    bool gone = true;
    run.host.whileMessageShown = [&] { gone = run.window->RequestEnd(true); };
    EXPECT_EQ(RunMonitor(run.process, run.parts), 0);
    EXPECT_FALSE(gone);
    const auto order = Only(run.host.log, {"Debug:start-up", "Show", "Post:", "Terminate", "loop", "ReleaseMutex",
                                           "destroy:TDM"});
    const std::vector<std::string> expected = {"Debug:start-up error: The mouse settings could not be loaded",
                                               "ShowWarning:The mouse settings could not be loaded",
                                               "Post:7:7036:0:0",
                                               "Terminate",
                                               "loop",
                                               "loop ends",
                                               "ReleaseMutex",
                                               "destroy:TDM"};
    EXPECT_EQ(order, expected);
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
    FakeProfileSettings dm(&sink);
    TVXMMONMAIN window(host, dm);
    host.log.clear();
    EXPECT_FALSE(window.RequestEnd(true));
    EXPECT_EQ(host.log, (std::vector<std::string>{"Post:0:7036:0:0", "Terminate"}));
}

TEST(MonitorProcess, ManagerBeforeWindowAndMutexReleasedBeforeEitherGoes) {
    FakeMonitorHost host;
    FakeProcess process(host.log);
    MonitorParts parts;
    parts.createProfileManager = [&] { return std::make_unique<FakeProfileSettings>(&host.log); };
    parts.createMainWindow = [&](IProfileSettings& dm) { return std::make_unique<TVXMMONMAIN>(host, dm); };
    EXPECT_EQ(RunMonitor(process, parts), 0);
    const auto order = Only(host.log, {"CreateMutex", "ConfigureApplication", "create:TDM", "hook:", "loop",
                                       "ReleaseMutex", "destroy:TDM"});
    const std::vector<std::string> expected = {"CreateMutex:TVXMMONMAIN", "ConfigureApplication", "create:TDM",
                                               "hook:load", "loop", "ReleaseMutex", "hook:unload", "destroy:TDM"};
    EXPECT_EQ(order, expected);
}


TEST(MonitorProcess, AStartThatLosesTheRaceForTheMutexEndsLikeASecondInstance) {
    FakeMonitorHost host;
    FakeProcess process(host.log);
    process.lostRace = true;
    MonitorParts parts;
    parts.createProfileManager = [&] { return std::make_unique<FakeProfileSettings>(&host.log); };
    parts.createMainWindow = [&](IProfileSettings& dm) { return std::make_unique<TVXMMONMAIN>(host, dm); };
    EXPECT_EQ(RunMonitor(process, parts), 0);
    EXPECT_EQ(host.log, (std::vector<std::string>{"CreateMutex:TVXMMONMAIN"}));
}


TEST(MonitorProcess, SecondInstanceEndsAtOnceWithZeroAndCreatesNothing) {
    FakeMonitorHost host;
    FakeProcess process(host.log);
    process.exists = true;
    MonitorParts parts;
    parts.createProfileManager = [&] { return std::make_unique<FakeProfileSettings>(&host.log); };
    parts.createMainWindow = [&](IProfileSettings& dm) { return std::make_unique<TVXMMONMAIN>(host, dm); };
    EXPECT_EQ(RunMonitor(process, parts), 0);
    EXPECT_TRUE(host.log.empty());
}


}  // namespace
}  // namespace vxm::app
