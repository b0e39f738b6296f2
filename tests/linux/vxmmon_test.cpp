// vxmmon end to end in the test session: the real program (its test build
// differs only in the mouse, a stand-in at the hidraw seam), the real session
// bus, PulseAudio and file store; the test plays the configuration
// application and the panel.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <tuple>
#include <map>
#include <sstream>

#include "monitor/autostart.h"
#include "monitor/shell.h"
#include "monitor_rig.h"
#include "platform/linux/hid_linux.h"
#include "platform/linux/ini_linux.h"
#include "platform/linux/seams_linux.h"
#include "temp_dir.h"
#include "ui/mute_mark.h"

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

// Every entry of a dbusmenu layout by its id, submenus' choices included.
struct MenuEntry {
    std::string label;
    bool visible = true;
    int toggle = -1;  // a radio item's state
    int parent = 0;
};
using Menu = std::map<int, MenuEntry>;

void ReadEntries(sd_bus_message* reply, int parent, Menu& entries) {
    while (sd_bus_message_enter_container(reply, 'v', "(ia{sv}av)") > 0) {
        std::int32_t id = 0;
        sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
        sd_bus_message_read(reply, "i", &id);
        MenuEntry entry;
        entry.parent = parent;
        sd_bus_message_enter_container(reply, 'a', "{sv}");
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            const char* key = nullptr;
            sd_bus_message_read(reply, "s", &key);
            const std::string k = key ? key : "";
            if (k == "label") {
                const char* label = nullptr;
                sd_bus_message_read(reply, "v", "s", &label);
                entry.label = label ? label : "";
            } else if (k == "visible") {
                int visible = 1;
                sd_bus_message_read(reply, "v", "b", &visible);
                entry.visible = visible != 0;
            } else if (k == "toggle-state") {
                std::int32_t state = 0;
                sd_bus_message_read(reply, "v", "i", &state);
                entry.toggle = state;
            } else {
                sd_bus_message_skip(reply, "v");
            }
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
        sd_bus_message_enter_container(reply, 'a', "v");
        ReadEntries(reply, id, entries);
        sd_bus_message_exit_container(reply);
        sd_bus_message_exit_container(reply);
        sd_bus_message_exit_container(reply);
        entries[id] = entry;
    }
}

Menu ReadMenu(sd_bus* bus, const std::string& service) {
    Menu entries;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (sd_bus_call_method(bus, service.c_str(), "/MenuBar", "com.canonical.dbusmenu", "GetLayout", &error, &reply,
                           "iias", 0, -1, 0) < 0) {
        ADD_FAILURE() << "GetLayout: " << (error.message ? error.message : "?");
        sd_bus_error_free(&error);
        return entries;
    }
    std::uint32_t revision = 0;
    std::int32_t root = -1;
    sd_bus_message_read(reply, "u", &revision);
    sd_bus_message_enter_container(reply, 'r', "ia{sv}av");
    sd_bus_message_read(reply, "i", &root);
    sd_bus_message_skip(reply, "a{sv}");
    sd_bus_message_enter_container(reply, 'a', "v");
    ReadEntries(reply, 0, entries);
    EXPECT_EQ(root, 0);
    sd_bus_message_unref(reply);
    return entries;
}

// The labels of the entries under `parent`, in order, with the checked one.
std::pair<std::vector<std::string>, int> Choices(const Menu& menu, int parent) {
    std::pair<std::vector<std::string>, int> choices{{}, -1};
    for (const auto& [id, entry] : menu) {
        if (entry.parent != parent) continue;
        if (entry.toggle == 1) choices.second = static_cast<int>(choices.first.size());
        choices.first.push_back(entry.label);
    }
    return choices;
}

// The images of the item's IconPixmap: (width, height, ARGB bytes).
std::vector<std::tuple<int, int, std::vector<std::uint8_t>>> IconImages(sd_bus* bus, const std::string& service) {
    std::vector<std::tuple<int, int, std::vector<std::uint8_t>>> images;
    sd_bus_message* reply = nullptr;
    if (sd_bus_get_property(bus, service.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem", "IconPixmap",
                            nullptr, &reply, "a(iiay)") < 0) {
        ADD_FAILURE() << "no IconPixmap";
        return images;
    }
    sd_bus_message_enter_container(reply, 'v', "a(iiay)");
    sd_bus_message_enter_container(reply, 'a', "(iiay)");
    while (sd_bus_message_enter_container(reply, 'r', "iiay") > 0) {
        std::int32_t w = 0, h = 0;
        const void* data = nullptr;
        std::size_t size = 0;
        sd_bus_message_read(reply, "ii", &w, &h);
        sd_bus_message_read_array(reply, 'y', &data, &size);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        images.emplace_back(w, h, std::vector<std::uint8_t>(bytes, bytes + size));
        sd_bus_message_exit_container(reply);
    }
    sd_bus_message_unref(reply);
    return images;
}

int MenuId(const Menu& menu, const std::string& label, int parent = 0) {
    for (const auto& [id, entry] : menu) {
        if (entry.parent == parent && entry.label == label) return id;
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
    // Muted from outside: once the monitor has it, the next press unmutes.
    Shell("pactl set-source-mute @DEFAULT_SOURCE@ 1");
    ASSERT_NE(monitor.WaitLine("microphone muted", 2), "") << monitor.All();
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
    // The tray shows the state in the item's own images: the icon file's,
    // each with the mark in its lower right corner while muted.
    const auto muted = IconImages(peer.Get(), item);
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, 1), "");
    EXPECT_EQ(PactlSourceMute(), "no");
    const auto live = IconImages(peer.Get(), item);
    ASSERT_FALSE(live.empty()) << "the stage's logo.ico";
    ASSERT_EQ(muted.size(), live.size());
    for (std::size_t i = 0; i < live.size(); ++i) {
        const auto& [w, h, plain] = live[i];
        ASSERT_EQ(std::get<0>(muted[i]), w);
        ASSERT_EQ(std::get<1>(muted[i]), h);
        const auto& marked = std::get<2>(muted[i]);
        const int corner = ui::MuteMarkDiameter(std::min(w, h));
        int inside = 0, outside = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)) * 4;
                if (std::equal(&plain[at], &plain[at] + 4, &marked[at])) continue;
                (x >= w - corner && y >= h - corner ? inside : outside) += 1;
            }
        }
        EXPECT_GT(inside, corner * corner / 2) << w << "x" << h;
        EXPECT_EQ(outside, 0) << w << "x" << h;
    }
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, 1), "");
    EXPECT_EQ(PactlSourceMute(), "yes");
    EXPECT_EQ(IconImages(peer.Get(), item), muted) << "muted again: the same mark";
    EXPECT_EQ(peer.Call("ButtonEvent", "tx", 10, 1), "");
    EXPECT_EQ(PactlSourceMute(), "no");
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
    const Menu menu = ReadMenu(peer.Get(), item);
    const auto top = Choices(menu, 0).first;
    ASSERT_EQ(top.size(), 5u) << "Config, About, the mute button, the language, Exit";
    EXPECT_EQ(top[0], config);
    EXPECT_TRUE(menu.at(MenuId(menu, config)).visible) << "a vxmcfg is beside the program";
    EXPECT_FALSE(menu.at(MenuId(menu, top[1])).visible);
    EXPECT_EQ(top[4], exitCaption);
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

// The record of profile n (1 to 5) or of the global settings, as stored.
std::string StoredRecord(const Store& store, const std::string& name) {
    return ReadBytes(store.Key() + "/" + name + ".REG_BINARY");
}
// The function of button index `button` in a stored profile record; -1 when it is not whole.
int StoredFunction(const std::string& record, int button) {
    if (record.size() != 140072) return -1;
    const std::size_t at = 872 + 4080 * static_cast<std::size_t>(button) + 4062;
    return static_cast<unsigned char>(record[at]) | static_cast<unsigned char>(record[at + 1]) << 8;
}

// The settings that no configuration application sets on Linux, by every
// road: the options on the store with no monitor running (a first write
// choosing the language from the locale), the tray menu's radio choices, the
// options and the methods on the running monitor, the toggle; a damaged
// profile refused and left as it is.
TEST(Vxmmon, SettingsThroughTheOptionsTheMenuAndTheBus) {
    VXM_NEED_SESSION();
    Store store;
    std::vector<std::string> env = store.Env();
    env.push_back("LC_ALL=zh_CN.UTF-8");
    const auto run = [&](std::vector<std::string> args, std::string* said = nullptr) {
        Child cli(VXMMON, std::move(args), env);
        const int code = cli.Wait(20s);
        if (said) *said = cli.All();
        return code;
    };
    const auto muteButtons = [&] {
        std::vector<int> buttons;
        for (int n = 1; n <= 5; ++n) {
            const std::string record = StoredRecord(store, "ZRNProfile" + std::to_string(n) + ".pfd");
            int button = -1;
            for (int b = 0; b < 19 && button < 0; ++b) button = StoredFunction(record, b) == 28 ? b : -1;
            buttons.push_back(button);
        }
        return buttons;
    };
    const auto language = [&] {
        const std::string record = StoredRecord(store, "allsettings.pfd");
        return record.size() == 30954 ? static_cast<int>(record[30952]) : -1;
    };
    std::string said;
    ASSERT_EQ(run({"--mute-button", "11"}, &said), 0) << said;
    EXPECT_EQ(muteButtons(), std::vector<int>(5, 10));
    EXPECT_EQ(language(), 0) << "a Chinese locale's first start: CH";
    EXPECT_EQ(run({"--toggle-mute"}, &said), 1);
    EXPECT_NE(said.find("no monitor is running"), std::string::npos) << said;
    EXPECT_EQ(run({"--mute-button", "20"}, &said), 2) << said;
    EXPECT_EQ(run({"--language", "XX"}, &said), 1);
    EXPECT_NE(said.find("the languages are CH, US"), std::string::npos) << said;

    Shell("pactl set-source-mute @DEFAULT_SOURCE@ 0");
    BusPeer peer;
    ASSERT_TRUE(peer.BeWatcher());
    StandInDevice device;
    Child monitor(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd), "--verbose"}, env,
                  device.childEnd);
    ASSERT_TRUE(peer.Pump([&] { return !peer.registered.empty(); })) << monitor.All();
    const std::string item = peer.registered.front();
    ASSERT_NE(monitor.WaitLine("language CH"), "") << monitor.All();
    Menu menu = ReadMenu(peer.Get(), item);
    const int buttonsMenu = MenuId(menu, "静音按键");
    const int languagesMenu = MenuId(menu, "语言");
    ASSERT_GT(buttonsMenu, 0);
    ASSERT_GT(languagesMenu, 0);
    auto buttons = Choices(menu, buttonsMenu);
    ASSERT_EQ(buttons.first.size(), 20u);
    EXPECT_EQ(buttons.first[0], "无");
    EXPECT_EQ(buttons.first[11], "按键 11");
    EXPECT_EQ(buttons.second, 11);
    EXPECT_EQ(Choices(menu, languagesMenu), (std::pair<std::vector<std::string>, int>{{"CH", "US"}, 0}));

    // "US" clicked as a panel clicks it: stored, and the menu in English.
    ASSERT_TRUE(Click(peer.Get(), item, MenuId(menu, "US", languagesMenu)));
    ASSERT_NE(monitor.WaitLine("language US"), "") << monitor.All();
    EXPECT_EQ(language(), 1);
    menu = ReadMenu(peer.Get(), item);
    EXPECT_EQ(Choices(menu, MenuId(menu, "Language")).second, 1);
    EXPECT_EQ(Choices(menu, MenuId(menu, "Mute button")).first[3], "Button 3");

    // The options reach the running monitor; the menu follows.
    ASSERT_EQ(run({"--mute-button", "3"}, &said), 0) << said;
    EXPECT_EQ(muteButtons(), std::vector<int>(5, 2));
    EXPECT_EQ(StoredFunction(StoredRecord(store, "ZRNProfile1.pfd"), 10), 5) << "button 11 has its key back";
    menu = ReadMenu(peer.Get(), item);
    EXPECT_EQ(Choices(menu, MenuId(menu, "Mute button")).second, 3);
    ASSERT_EQ(run({"--language", "ch"}, &said), 0) << said;
    ASSERT_NE(monitor.WaitLine("language CH", 2), "") << monitor.All();
    EXPECT_EQ(language(), 0);
    EXPECT_EQ(peer.Call("SetMuteButton", "i", 20), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(peer.Call("SetMuteButton", "i", -1), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(peer.Call("SetLanguage", "s", 0, 0, "XX"), "org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(peer.Call("SetLanguage", "s", 0, 0, "US"), "");
    EXPECT_EQ(language(), 1);

    // The toggle: as the button does, twice.
    ASSERT_EQ(run({"--toggle-mute"}, &said), 0) << said;
    EXPECT_EQ(PactlSourceMute(), "yes");
    EXPECT_EQ(peer.Call("ToggleMute"), "");
    EXPECT_EQ(PactlSourceMute(), "no");

    // A profile cut short is refused, and nothing is written.
    const std::string damaged = store.Key() + "/ZRNProfile2.pfd.REG_BINARY";
    WriteBytes(damaged, std::string(1000, '\x01'));
    const std::string first = StoredRecord(store, "ZRNProfile1.pfd");
    EXPECT_EQ(run({"--mute-button", "none"}, &said), 1);
    EXPECT_NE(said.find("was not changed"), std::string::npos) << said;
    EXPECT_NE(said.find("ZRNProfile2.pfd"), std::string::npos) << said;
    EXPECT_EQ(ReadBytes(damaged), std::string(1000, '\x01'));
    EXPECT_EQ(StoredRecord(store, "ZRNProfile1.pfd"), first);
    menu = ReadMenu(peer.Get(), item);
    EXPECT_EQ(Choices(menu, MenuId(menu, "Mute button")).second, 3) << "the stored button stays checked";
    EXPECT_EQ(peer.Call("SetMuteButton", "i", 0), "io.github.vxmmon.Error.Failed");

    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
}

// A copy of the test build in a folder of its own, beside the config.ini given
// (the program reads the one in its folder).
struct StagedProgram {
    TempDir dir;
    explicit StagedProgram(const std::string& config) {
        Shell("cp '" VXMMON_STANDIN "' '" + dir / "vxmmon_standin" + "'");
        WriteBytes(dir / "config.ini", config);
    }
    std::string Path() const { return dir / "vxmmon_standin"; }
};

// A second null source in the session's PulseAudio, gone with the guard.
struct SecondSource {
    std::string module = Shell("pactl load-module module-null-source source_name=second_mic description=Second");
    std::string original = Trim(Shell("pactl get-default-source"));
    SecondSource() {
        Shell("pactl set-source-mute second_mic 0; pactl set-source-mute null_mic 0");
    }
    ~SecondSource() {
        Shell("pactl set-default-source " + original + "; pactl unload-module " + Trim(module) +
              "; pactl set-source-mute @DEFAULT_SOURCE@ 0");
    }
    static std::string Trim(std::string t) {
        while (!t.empty() && (t.back() == '\n' || t.back() == ' ')) t.pop_back();
        return t;
    }
    static std::string Mute(const char* source) {
        const std::string out = Shell(std::string("pactl get-source-mute ") + source);
        return out.find("yes") != std::string::npos ? "yes" : out.find("no") != std::string::npos ? "no" : out;
    }
};

// The default microphone changed between two presses: the second press
// mutes the new one, in the session's PulseAudio.
TEST(Vxmmon, TheDefaultMicrophoneChangedBetweenTwoPressesIsTheOneTheSecondMutes) {
    VXM_NEED_SESSION();
    Store store;
    store.MuteOnButton10();
    SecondSource second;
    ASSERT_FALSE(second.module.empty());
    StandInDevice device;
    Child monitor(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd), "--verbose"}, store.Env(),
                  device.childEnd);
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: muted"), "") << monitor.All();
    EXPECT_EQ(SecondSource::Mute("null_mic"), "yes");
    Shell("pactl set-default-source second_mic");
    ASSERT_NE(monitor.WaitLine("default microphone: second_mic"), "") << monitor.All();
    ASSERT_NE(monitor.WaitLine("microphone live", 2), "") << "the new default's own state";
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: muted", 2), "") << monitor.All();
    EXPECT_EQ(SecondSource::Mute("second_mic"), "yes");
    EXPECT_EQ(SecondSource::Mute("null_mic"), "yes");
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
}

// MuteTarget=all over two sources (the sink's monitor left alone), one
// unmuted elsewhere, and MuteOverlay=2: each toggle's notification replaces
// the last and is closed two seconds later.
TEST(Vxmmon, AllSourcesAreMutedByOnePressAndEachToggleReplacesItsNotification) {
    VXM_NEED_SESSION();
    Store store;
    store.MuteOnButton10();
    SecondSource second;
    ASSERT_FALSE(second.module.empty());
    StagedProgram program("[options]\nMuteTarget=all\nMuteOverlay=2\n");
    BusPeer peer;
    ASSERT_TRUE(peer.BeNotificationServer());
    StandInDevice device;
    Child monitor(program.Path(), {"--device-fd=" + std::to_string(device.childEnd), "--verbose"}, store.Env(),
                  device.childEnd);
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: muted"), "") << monitor.All();
    EXPECT_EQ(SecondSource::Mute("null_mic"), "yes");
    EXPECT_EQ(SecondSource::Mute("second_mic"), "yes");
    EXPECT_EQ(SecondSource::Mute("null_out.monitor"), "no") << "an output's monitor is no microphone";
    ASSERT_TRUE(peer.Pump([&] { return peer.notifications.size() >= 1; })) << monitor.All();
    // One live again: not muted any more, and the next press mutes it.
    Shell("pactl set-source-mute second_mic 0");
    ASSERT_NE(monitor.WaitLine("microphone live", 2), "") << monitor.All();
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: muted", 2), "") << monitor.All();
    EXPECT_EQ(SecondSource::Mute("second_mic"), "yes");
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: unmuted"), "") << monitor.All();
    EXPECT_EQ(SecondSource::Mute("null_mic"), "no");
    EXPECT_EQ(SecondSource::Mute("second_mic"), "no");
    ASSERT_TRUE(peer.Pump([&] {
        return !peer.notifications.empty() && peer.notifications.back().method == "CloseNotification";
    })) << monitor.All();
    std::vector<BusPeer::Notification> shown;
    for (const auto& n : peer.notifications) {
        if (n.method == "Notify") shown.push_back(n);
    }
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].replaces, 0u);
    EXPECT_EQ(shown[1].replaces, shown[0].id) << "replaced, not piled up";
    EXPECT_EQ(shown[2].replaces, shown[0].id);
    for (const auto& n : shown) EXPECT_EQ(n.expire, 2000);
    EXPECT_NE(shown[0].summary, shown[2].summary) << "muted, then live";
    EXPECT_EQ(peer.notifications.back().id, shown[0].id);
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
}

// A sound server of the test's own, in a runtime folder of its own: PulseAudio
// with a null source "mic", or PipeWire with WirePlumber and pipewire-pulse
// and a virtual source "mic", as a desktop runs them. Its pulse server can be
// killed, started again, stopped and continued.
class SoundServer {
public:
    explicit SoundServer(bool pipewire) : pipewire_(pipewire) { ::chmod(dir_.Path().c_str(), 0700); }
    std::string Address() const { return "unix:" + (pipewire_ ? dir_ / "pulse/native" : dir_ / "pulse-native"); }
    std::string Pactl(const std::string& args) const {
        return Shell("PULSE_SERVER=" + Address() + " pactl " + args + " 2>&1");
    }
    bool Start() {
        if (pipewire_) {
            daemon_ = std::make_unique<Child>("/usr/bin/pipewire", std::vector<std::string>{}, Env());
            if (!WaitFor([&] { return Exists(dir_ / "pipewire-0"); })) return false;
            session_ = std::make_unique<Child>("/usr/bin/wireplumber", std::vector<std::string>{}, Env());
        }
        return StartPulse();
    }
    // The pulse server alone (with PipeWire, its virtual source made again, as a user would).
    bool StartPulse() {
        if (pipewire_) {
            pulse_ = std::make_unique<Child>("/usr/bin/pipewire-pulse", std::vector<std::string>{}, Env());
        } else {
            pulse_ = std::make_unique<Child>(
                "/usr/bin/pulseaudio",
                std::vector<std::string>{"-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                                         "--use-pid-file=no",
                                         "--load=module-native-protocol-unix socket=" + dir_ / "pulse-native" +
                                             " auth-anonymous=1",
                                         "--load=module-null-source source_name=mic"},
                // Off the session bus: the session's own server holds PulseAudio's name there.
                std::vector<std::string>{"XDG_RUNTIME_DIR=" + dir_.Path(), "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"});
        }
        if (!WaitFor([&] { return Pactl("info").find("Server Name") != std::string::npos; })) return false;
        if (pipewire_) {
            Pactl("load-module module-null-sink media.class=Audio/Source/Virtual sink_name=mic");
            if (!WaitFor([&] { return Pactl("list sources short").find("\tmic\t") != std::string::npos; })) return false;
        }
        Pactl("set-default-source mic");
        return WaitFor([&] { return Pactl("get-default-source").rfind("mic", 0) == 0; });
    }
    void KillPulse() {
        pulse_->Signal(SIGKILL);
        pulse_->Wait(10s);
        pulse_.reset();
    }
    void Stop() const { pulse_->Signal(SIGSTOP); }
    void Continue() const { pulse_->Signal(SIGCONT); }
    std::string Log() const { return pulse_ ? pulse_->All() : std::string(); }
    ~SoundServer() {
        if (pulse_) Continue();
        pulse_.reset();
        session_.reset();
        daemon_.reset();
    }

private:
    std::vector<std::string> Env() const { return {"XDG_RUNTIME_DIR=" + dir_.Path()}; }
    template <typename Done>
    static bool WaitFor(Done done) {
        for (int i = 0; i < 200; ++i) {
            if (done()) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    bool pipewire_;
    TempDir dir_;
    std::unique_ptr<Child> daemon_, session_, pulse_;
};

class VxmmonSoundServer : public ::testing::TestWithParam<bool> {};

// The sound server killed under a running monitor: said once, the state
// unknown on the tray, a press meanwhile said on standard error and as a
// desktop notification; started again: followed again with an outside
// change and no press. Then it hangs: a press waits for it no longer than
// its bound, the monitor answers meanwhile, and it is followed again once
// it goes on. The same on PulseAudio and on PipeWire.
TEST_P(VxmmonSoundServer, KilledAndRestartedOrHungUnderARunningMonitor) {
    VXM_NEED_SESSION();
    SoundServer server(GetParam());
    ASSERT_TRUE(server.Start()) << server.Log();
    Store store;
    store.MuteOnButton10();
    BusPeer peer;
    ASSERT_TRUE(peer.BeNotificationServer());
    StandInDevice device;
    std::vector<std::string> env = store.Env();
    env.push_back("PULSE_SERVER=" + server.Address());
    Child monitor(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd), "--verbose"}, env,
                  device.childEnd);
    ASSERT_NE(monitor.WaitLine("microphone live"), "") << monitor.All();
    server.KillPulse();
    ASSERT_NE(monitor.WaitLine("sound server gone: "), "") << monitor.All();
    ASSERT_NE(monitor.WaitLine("microphone state unknown"), "") << monitor.All();
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("vxmmon: no sound server: the press changed nothing"), "") << monitor.All();
    ASSERT_TRUE(peer.Pump([&] { return !peer.notifications.empty(); })) << monitor.All();
    EXPECT_EQ(peer.notifications.front().method, "Notify");

    ASSERT_TRUE(server.StartPulse()) << server.Log();
    ASSERT_NE(monitor.WaitLine("microphone live", 2), "") << "followed again without a press\n" << monitor.All();
    server.Pactl("set-source-mute @DEFAULT_SOURCE@ 1");
    ASSERT_NE(monitor.WaitLine("microphone muted"), "") << monitor.All();
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("MicrophoneMute: unmuted"), "") << monitor.All();
    EXPECT_NE(server.Pactl("get-source-mute @DEFAULT_SOURCE@").find("no"), std::string::npos);
    EXPECT_EQ(monitor.Count("sound server gone"), 1) << "said once";
    EXPECT_EQ(monitor.Count("vxmmon: sound server back"), 1);

    server.Stop();
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("vxmmon: the sound server did not answer in time"), "") << monitor.All();
    EXPECT_EQ(peer.Call("ReloadSettings"), "") << "the monitor answers meanwhile";
    ASSERT_TRUE(device.Send(kButton10));
    ASSERT_NE(monitor.WaitLine("vxmmon: no sound server: the press changed nothing", 2), "")
        << "given up: the next press is told at once\n" << monitor.All();
    server.Continue();
    ASSERT_NE(monitor.WaitLine("vxmmon: sound server back", 2), "") << monitor.All();
    // Whatever the server made of the press it had in hand, the tray shows it.
    const bool muted = server.Pactl("get-source-mute @DEFAULT_SOURCE@").find("yes") != std::string::npos;
    const auto lastState = [&] {
        const std::string all = monitor.All();
        const std::size_t m = all.rfind("microphone muted"), l = all.rfind("microphone live");
        const std::size_t u = all.rfind("microphone state unknown");
        const std::size_t last = std::max({m == std::string::npos ? 0 : m, l == std::string::npos ? 0 : l,
                                           u == std::string::npos ? 0 : u});
        return last == m ? "muted" : last == l ? "live" : "unknown";
    };
    for (int i = 0; i < 200 && lastState() != std::string(muted ? "muted" : "live"); ++i) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(lastState(), std::string(muted ? "muted" : "live")) << monitor.All();
    EXPECT_EQ(monitor.Count("MicrophoneMute: muted") + monitor.Count("MicrophoneMute: unmuted"), 1)
        << "no press was carried out late";
    monitor.Signal(SIGTERM);
    EXPECT_EQ(monitor.Wait(10s), 0) << monitor.All();
}

INSTANTIATE_TEST_SUITE_P(, VxmmonSoundServer, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "PipeWire" : "PulseAudio"; });

// The shipped program on the machine's own hidraw devices (none here): it
// finds none and keeps running, goes on without a tray (said once) until a
// watcher appears, shows no "Config" without a vxmcfg beside it, and ends in
// order on SIGTERM.
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
    // No vxmcfg beside the shipped program: "Config" is not shown.
    const Menu menu = ReadMenu(peer.Get(), peer.registered.front());
    ASSERT_FALSE(menu.empty());
    EXPECT_FALSE(menu.begin()->second.visible) << menu.begin()->second.label;
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
