// vxmmon end to end in the test session: the real program (its test build
// differs only in the mouse, a stand-in at the hidraw seam), the real session
// bus, PulseAudio and file store; the test plays the configuration
// application and the panel.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>

#include "monitor/autostart.h"
#include "monitor/shell.h"
#include "monitor_rig.h"
#include "platform/linux/hid_linux.h"
#include "platform/linux/ini_linux.h"
#include "platform/linux/seams_linux.h"
#include "temp_dir.h"

namespace vxm::testing {
namespace {

using namespace std::chrono_literals;

const std::vector<std::uint8_t> kButton10 = {7, 0x00, 0x04, 0x00, 0, 0, 0, 0};

struct Store {
    TempDir dir;
    std::string Key() const { return dir / "config/vxmmon/registry/HKEY_CURRENT_USER/software/software/zrngmmouse"; }
    std::vector<std::string> Env() const {
        return {"XDG_CONFIG_HOME=" + dir / "config", "XDG_CONFIG_DIRS=" + dir / "xdg", "HOME=" + dir.Path()};
    }
    // Button 10 is the microphone mute in the first and the third profile
    // (the third is current on a first start, the first after a reload).
    void MuteOnButton10() const {
        Shell("mkdir -p '" + Key() + "'");
        for (const char* n : {"1", "3"}) {
            WriteBytes(Key() + "/ZRNProfile" + n + ".pfd.REG_BINARY", ProfileWithFunction(10, 28));
        }
    }
    std::string ProfileID() const {
        const std::string bytes = ReadBytes(Key() + "/ProfileID.REG_DWORD");
        return bytes.size() == 4 ? std::to_string(static_cast<unsigned char>(bytes[0])) : "none";
    }
};

// The menu items of a dbusmenu layout: id -> (label, visible).
std::map<int, std::pair<std::string, bool>> ReadMenu(sd_bus* bus, const std::string& service, std::uint32_t& revision) {
    std::map<int, std::pair<std::string, bool>> items;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu", "GetLayout", &error, &reply,
                           "iias", 0, -1, 0) < 0) {
        ADD_FAILURE() << "GetLayout: " << (error.message ? error.message : "?");
        sd_bus_error_free(&error);
        return items;
    }
    std::int32_t root = -1;
    sd_bus_message_read(reply, "u", &revision);
    sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
    sd_bus_message_read(reply, "i", &root);
    sd_bus_message_skip(reply, "a{sv}");
    sd_bus_message_enter_container(reply, 'a', "v");
    while (sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
        std::int32_t id = 0;
        sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
        sd_bus_message_read(reply, "i", &id);
        std::pair<std::string, bool> item{"", true};
        sd_bus_message_enter_container(reply, 'a', "{sv}");
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            const char* key = nullptr;
            sd_bus_message_read(reply, "s", &key);
            const std::string k = key ? key : "";
            if (k == "label") {
                const char* label = nullptr;
                sd_bus_message_read(reply, "v", "s", &label);
                item.first = label ? label : "";
            } else if (k == "visible") {
                int visible = 1;
                sd_bus_message_read(reply, "v", "b", &visible);
                item.second = visible != 0;
            } else {
                sd_bus_message_skip(reply, "v");
            }
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
        sd_bus_message_skip(reply, "av");
        sd_bus_message_exit_container(reply);
        sd_bus_message_exit_container(reply);
        items[id] = item;
    }
    EXPECT_EQ(root, 0);
    sd_bus_message_unref(reply);
    return items;
}

int MenuId(const std::map<int, std::pair<std::string, bool>>& menu, const std::string& label) {
    for (const auto& [id, item] : menu) {
        if (item.first == label) return id;
    }
    return -1;
}

bool Click(sd_bus* bus, const std::string& service, int id) {
    return sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu", "Event", nullptr, nullptr,
                              "isvu", id, "clicked", "s", "", 0u) >= 0;
}

#define VXM_NEED_SESSION()                                                          \
    if (!InSession()) GTEST_SKIP() << "skipped: needs tests/wine/session.sh (session bus, PulseAudio)"

// The whole road with the stand-in mouse: mute and unmute through the
// default source, an outside mute seen, a profile switch in the store and as
// a signal, the protocol's methods with their range checks, a second
// instance, the tray's menu read and its "Exit" clicked as a panel does.
TEST(Vxmmon, TheRoadOfAButtonPressTheProtocolAndTheTray) {
    VXM_NEED_SESSION();
    Store store;
    store.MuteOnButton10();
    Shell("pactl set-source-mute @DEFAULT_SOURCE@ 0");
    BusPeer peer;
    ASSERT_TRUE(peer.Get());
    ASSERT_TRUE(peer.BeConfigApplication());
    ASSERT_TRUE(peer.BeWatcher());
    StandInDevice device;
    Child monitor(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd), "--verbose"}, store.Env(),
                  device.childEnd);
    ASSERT_TRUE(peer.Pump([&] { return !peer.registered.empty(); })) << monitor.All();
    const std::string item = peer.registered.front();
    ASSERT_TRUE(peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"));

    // Reports sent now wait in the socket until reading starts (about 3 s).
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: muted"), "") << monitor.All();
    EXPECT_EQ(PactlSourceMute(), "yes");
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: unmuted"), "") << monitor.All();
    EXPECT_EQ(PactlSourceMute(), "no");
    EXPECT_EQ(monitor.Count("KeyIndex = 10 postmessage record!"), 2);
    // Muted from outside: the next press unmutes.
    Shell("pactl set-source-mute @DEFAULT_SOURCE@ 1");
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: unmuted", 2), "") << monitor.All();
    EXPECT_EQ(PactlSourceMute(), "no");

    // A profile switch: "ProfileID" in the store and the signal.
    ASSERT_TRUE(device.Send({8, 1, 3, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(peer.Pump([&] {
        for (const auto& s : peer.signals) {
            if (s.member == "ProfileSwitched") return true;
        }
        return false;
    })) << monitor.All();
    EXPECT_EQ(peer.signals.back().value, 3);
    EXPECT_EQ(store.ProfileID(), "3");

    // 7035 reloads and sets "ProfileID" for 0 to 4 only; 7037 reloads and translates again.
    EXPECT_EQ(peer.Call("ReloadProfiles", "x", 2), "");
    EXPECT_EQ(store.ProfileID(), "2");
    for (const std::int64_t wrong : std::vector<std::int64_t>{5, -1, 0x100000002LL, INT64_MIN}) {
        EXPECT_EQ(peer.Call("ReloadProfiles", "x", wrong), "");
        EXPECT_EQ(store.ProfileID(), "2") << wrong;
    }
    // A profile switch asked for over the bus: stored, and told as from the mouse.
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 21 + 4, 1), "");
    EXPECT_EQ(store.ProfileID(), "4");
    EXPECT_TRUE(peer.Pump([&] { return peer.signals.back().member == "ProfileSwitched" && peer.signals.back().value == 4; }));
    const int translated = monitor.Count("language ");
    EXPECT_EQ(peer.Call("ReloadSettings"), "");
    EXPECT_NE(monitor.WaitLine("language ", translated + 1), "");
    // 7524 from another process: checked as the window checks it.
    const int toggles = monitor.Count("MicrophoneMute:");
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 99, 1), "");
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, -1), "");
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", -1, 1), "");
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, 1), "");
    // Lines come in order: the refused ones would be before this one.
    EXPECT_NE(monitor.WaitLine("MicrophoneMute:", toggles + 1), "");
    EXPECT_EQ(monitor.Count("MicrophoneMute:"), toggles + 1);
    EXPECT_EQ(PactlSourceMute(), "yes");
    // The tray shows the state: the muted overlay while muted, none when live.
    const auto overlay = [&] {
        char* name = nullptr;
        std::string value = "?";
        if (sd_bus_get_property_string(peer.Get(), item.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                       "OverlayIconName", nullptr, &name) >= 0) {
            value = name;
        }
        free(name);
        return value;
    };
    EXPECT_EQ(overlay(), "microphone-sensitivity-muted");
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, 1), "");
    EXPECT_EQ(PactlSourceMute(), "no");
    EXPECT_EQ(overlay(), "");
    EXPECT_NE(peer.Call("NoSuchMethod"), "");

    // A second instance ends at once, and the first keeps its name.
    {
        Child second(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd)}, store.Env(), device.childEnd);
        EXPECT_EQ(second.Wait(5s), 0);
    }
    EXPECT_TRUE(peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"));

    // The tray: a left click brings the configuration application forward;
    // the menu holds the translated captions ("About" hidden).
    ASSERT_GE(sd_bus_call_method(peer.Get(), item.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                 "Activate", nullptr, nullptr, "ii", 0, 0), 0);
    EXPECT_TRUE(peer.Pump([&] { return peer.activations == 1; })) << monitor.All();
    const std::string captions = monitor.WaitLine("language ");
    const std::size_t colon = captions.find(": ");
    const std::size_t bar = captions.find(" | ");
    ASSERT_NE(bar, std::string::npos);
    const std::string config = captions.substr(colon + 2, bar - colon - 2);
    const std::string exitCaption = captions.substr(bar + 3);
    std::uint32_t revision = 0;
    const auto menu = ReadMenu(peer.Get(), item, revision);
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu.at(1).first, config);
    EXPECT_TRUE(menu.at(1).second);
    EXPECT_FALSE(menu.at(2).second);
    EXPECT_EQ(menu.at(3).first, exitCaption);
    char* title = nullptr;
    ASSERT_GE(sd_bus_get_property_string(peer.Get(), item.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                         "Status", nullptr, &title), 0);
    EXPECT_STREQ(title, "Active");
    free(title);

    // "Exit" as a panel clicks it, with calls still coming during the ending:
    // each is answered or refused, none crashes it.
    const int exitId = MenuId(menu, exitCaption);
    ASSERT_TRUE(Click(peer.Get(), item, exitId));
    for (int i = 0; i < 50; ++i) {
        sd_bus_call_method_async(peer.Get(), nullptr, "io.github.vxmmon.TVXMMONMAIN", "/io/github/vxmmon/TVXMMONMAIN",
                                 "io.github.vxmmon.TVXMMONMAIN", "ReloadProfiles", nullptr, nullptr, "x",
                                 static_cast<std::int64_t>(1));
        Click(peer.Get(), item, exitId);
    }
    EXPECT_EQ(monitor.Wait(15s), 0) << monitor.All();
    peer.Pump([&] { return false; }, 200ms);
    int exiting = 0;
    for (const auto& s : peer.signals) exiting += s.member == "MonitorExiting";
    EXPECT_EQ(exiting, 1);
    EXPECT_FALSE(peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"));
    EXPECT_NE(monitor.WaitLine("ended"), "");
}

// The shipped program on the machine's own hidraw devices (none here): it
// finds none and keeps running, goes on without a tray (said once) until a
// watcher appears, and ends in order on SIGTERM.
TEST(Vxmmon, ProductWithoutDevicesOrTrayRunsAndEndsOnSigterm) {
    VXM_NEED_SESSION();
    Store store;
    BusPeer peer;
    ASSERT_TRUE(peer.BeConfigApplication());
    Child monitor(VXMMON, {"--verbose"}, store.Env());
    ASSERT_NE(monitor.WaitLine("no tray"), "") << monitor.All();
    // Past the first search for the mouse (about 3 s after start).
    std::this_thread::sleep_for(4s);
    EXPECT_EQ(monitor.Wait(0ms), -1) << monitor.All();
    EXPECT_EQ(peer.Call("ReloadSettings"), "");
    ASSERT_TRUE(peer.BeWatcher());
    ASSERT_TRUE(peer.Pump([&] { return !peer.registered.empty(); })) << monitor.All();
    EXPECT_EQ(monitor.Count("no tray"), 1);
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
    peer.Pump([&] { return false; }, 200ms);
    ASSERT_FALSE(peer.signals.empty());
    EXPECT_EQ(peer.signals.back().member, "MonitorExiting");
    EXPECT_FALSE(peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"));
    EXPECT_NE(monitor.WaitLine("signal Terminated: ending"), "");
    // Linux has no hook library, and nothing says it is missing.
    EXPECT_EQ(monitor.Count("uiHook"), 0) << monitor.All();
}

// Without a configuration application running, a click starts "vxmcfg" from
// the program's folder, once for a burst of clicks.
TEST(Vxmmon, AClickBurstStartsTheConfigurationApplicationOnce) {
    VXM_NEED_SESSION();
    Store store;
    BusPeer peer;
    ASSERT_TRUE(peer.BeWatcher());
    StandInDevice device;
    Child monitor(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd)}, store.Env(), device.childEnd);
    ASSERT_TRUE(peer.Pump([&] { return !peer.registered.empty(); })) << monitor.All();
    const std::string item = peer.registered.front();
    for (int i = 0; i < 5; ++i) {
        ASSERT_GE(sd_bus_call_method(peer.Get(), item.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                     "Activate", nullptr, nullptr, "ii", 0, 0), 0);
    }
    const std::string marks = store.dir / "config/vxmcfg-started";
    for (int i = 0; i < 100 && !Exists(marks); ++i) std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ReadBytes(marks), "started\n");
    monitor.Signal(SIGINT);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
}

// The session bus goes away under a running monitor: it says so once, keeps
// running without spinning, and still ends in order on SIGTERM.
TEST(Vxmmon, ALostSessionBusIsSaidOnceAndCostsNothing) {
    VXM_NEED_SESSION();
    Store store;
    const std::string socket = store.dir / "bus";
    Child daemon("/usr/bin/dbus-daemon", {"--session", "--nofork", "--nopidfile", "--address=unix:path=" + socket}, {});
    for (int i = 0; i < 100 && !Exists(socket); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(Exists(socket));
    std::vector<std::string> env = store.Env();
    env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + socket);
    Child monitor(VXMMON, {"--verbose"}, env);
    ASSERT_NE(monitor.WaitLine("no tray"), "") << monitor.All();
    daemon.Signal(SIGKILL);
    ASSERT_NE(monitor.WaitLine("dropped the connection"), "") << monitor.All();
    std::ifstream before("/proc/" + std::to_string(monitor.Pid()) + "/stat");
    std::string a((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    std::this_thread::sleep_for(500ms);
    std::ifstream after("/proc/" + std::to_string(monitor.Pid()) + "/stat");
    std::string b((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>());
    // utime and stime (fields 14 and 15) in clock ticks: a spinning loop adds about 50.
    const auto cpu = [](const std::string& stat) {
        std::istringstream in(stat.substr(stat.rfind(')') + 2));
        std::string field;
        long total = 0;
        for (int i = 3; i <= 15 && in >> field; ++i) {
            if (i >= 14) total += std::stol(field);
        }
        return total;
    };
    EXPECT_LE(cpu(b) - cpu(a), 5);
    EXPECT_EQ(monitor.Count("dropped the connection"), 1);
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
}

// Calls that reach the monitor while it ends are refused as not ready, none
// left without an answer: the monitor is held still, calls and SIGTERM wait
// for it, and then it runs on.
TEST(Vxmmon, CallsWhileItEndsAreRefusedAsNotReady) {
    VXM_NEED_SESSION();
    Store store;
    BusPeer peer;
    ASSERT_TRUE(peer.BeConfigApplication());
    Child monitor(VXMMON, {}, store.Env());
    ASSERT_TRUE(peer.Pump([&] { return peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"); })) << monitor.All();
    ASSERT_EQ(peer.Call("ReloadSettings"), "");  // past its start
    std::map<std::string, int> replies;
    const auto onReply = [](sd_bus_message* m, void* userdata, sd_bus_error*) {
        const sd_bus_error* error = sd_bus_message_get_error(m);
        ++(*static_cast<std::map<std::string, int>*>(userdata))[error ? error->name : "answered"];
        return 0;
    };
    monitor.Signal(SIGSTOP);
    constexpr int kCalls = 200;
    for (int i = 0; i < kCalls; ++i) {
        ASSERT_GE(sd_bus_call_method_async(peer.Get(), nullptr, "io.github.vxmmon.TVXMMONMAIN",
                                           "/io/github/vxmmon/TVXMMONMAIN", "io.github.vxmmon.TVXMMONMAIN",
                                           "ReloadProfiles", onReply, &replies, "x", static_cast<std::int64_t>(1)),
                  0);
    }
    ASSERT_GE(sd_bus_flush(peer.Get()), 0);
    // The bus daemon answers in order: once it has, it routed every call to the monitor.
    ASSERT_TRUE(peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"));
    monitor.Signal(SIGTERM);
    monitor.Signal(SIGCONT);
    EXPECT_EQ(monitor.Wait(15s), 0) << monitor.All();
    ASSERT_TRUE(peer.Pump([&] {
        int n = 0;
        for (const auto& [name, count] : replies) n += count;
        return n == kCalls;
    }, 30s));
    std::string seen;
    for (const auto& [name, count] : replies) seen += name + " " + std::to_string(count) + "; ";
    EXPECT_GT(replies[linuxmon::kErrorNotReady], 0) << seen;
    EXPECT_EQ(replies[linuxmon::kErrorNotReady] + replies["answered"], kCalls) << seen;
}

// The monitor's name held by a program that is not a monitor: said with
// its holder, and a non-zero end. A second monitor, the same program or
// another build of it, ends at once without a word.
TEST(Vxmmon, TheNameHeldByAnotherProgramIsSaidWithItsHolder) {
    VXM_NEED_SESSION();
    Store store;
    {
        BusPeer impostor;
        ASSERT_GT(sd_bus_request_name(impostor.Get(), "io.github.vxmmon.TVXMMONMAIN", 0), 0);
        const char* unique = nullptr;
        sd_bus_get_unique_name(impostor.Get(), &unique);
        Child monitor(VXMMON, {}, store.Env());
        impostor.Pump([&] { return monitor.Wait(0ms) != -1; }, 30s);
        EXPECT_EQ(monitor.Wait(0ms), 3) << monitor.All();
        const std::string said = monitor.AllOnceClosed();
        EXPECT_NE(said.find(std::string(unique) + " (process " + std::to_string(::getpid())), std::string::npos)
            << said;
    }
    BusPeer peer;
    Child first(VXMMON, {}, store.Env());
    ASSERT_TRUE(peer.Pump([&] { return peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"); })) << first.All();
    StandInDevice device;
    const std::vector<std::pair<const char*, std::vector<std::string>>> seconds = {
        {VXMMON, {}}, {VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd)}}};
    for (const auto& [program, args] : seconds) {
        Child second(program, args, store.Env(), device.childEnd);
        EXPECT_EQ(second.Wait(15s), 0) << program;
        EXPECT_EQ(second.AllOnceClosed(), "") << program;
    }
    EXPECT_TRUE(peer.NameHasOwner("io.github.vxmmon.TVXMMONMAIN"));
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(10s), 0) << first.All();
}

// The desktops' switch as the autostart entry holds it: only its own group's
// keys count, blanks around "=" do not, and values are exact.
TEST(Autostart, HiddenOrGnomesSwitchInTheEntrysGroupTurnsItOff) {
    const std::vector<std::pair<const char*, bool>> rows = {
        {"[Desktop Entry]\nExec=vxmmon\n", false},
        {"[Desktop Entry]\nHidden=true\n", true},
        {"[Desktop Entry]\r\nHidden = true\r\n", true},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", true},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=true\nHidden=false\n", false},
        {"[Desktop Entry]\nHidden=True\n", false},
        {"[Desktop Entry]\n#Hidden=true\n", false},
        {"Hidden=true\n[Desktop Entry]\nExec=vxmmon\n", false},
        {"[Desktop Entry]\nExec=vxmmon\n[Desktop Action off]\nHidden=true\n", false},
        {"[Desktop Action off]\nHidden=true\n[Desktop Entry]\nHidden=true", true},
        {"", false},
    };
    for (const auto& [text, hidden] : rows) EXPECT_EQ(linuxmon::AutostartEntryHidden(text), hidden) << text;
}

// The protocol's object before a window is attached, and after it went (the
// ending): every call is refused with an error reply, nothing runs.
TEST(Vxmmon, CallsWithoutAWindowAreRefused) {
    VXM_NEED_SESSION();
    linuxos::MainLoop loop;
    std::string error;
    auto bus = linuxos::SessionBus::Open(loop, error);
    ASSERT_TRUE(bus) << error;
    linuxos::HidSystem hid;
    linuxos::IniReader ini;
    linuxos::StreamDebugOutput debug(2, false);
    auto shell = std::make_unique<linuxmon::MonitorShell>(loop, *bus, hid, ini, debug, u"/nonexistent/",
                                                          [](const std::string&) {}, u"/nonexistent/");
    shell->Attach(nullptr);
    BusPeer peer;
    // Asked before the loop's thread owns the connection: sd-bus is not to be
    // used from two threads at once.
    peer.destination = bus->UniqueName();
    std::thread runner([&] { loop.Run(); });
    EXPECT_EQ(peer.Call("ReloadProfiles", "x", 1), linuxmon::kErrorNotReady);
    EXPECT_EQ(peer.Call("ReloadSettings"), linuxmon::kErrorNotReady);
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, 1), linuxmon::kErrorNotReady);
    std::atomic<bool> gone{false};
    loop.Post([&] {
        shell.reset();
        gone = true;
    });
    while (!gone) std::this_thread::sleep_for(1ms);
    // Gone with its shell: the object is no more.
    EXPECT_EQ(peer.Call("ReloadSettings"), "org.freedesktop.DBus.Error.UnknownObject");
    loop.Post([&] { loop.Terminate(); });
    runner.join();
}

}  // namespace
}  // namespace vxm::testing
