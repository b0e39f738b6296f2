// Start-up errors of the profile data, then the user's repair, then the
// configuration application's reload, through the monitor's own message
// handler: nothing crashes on the way, nothing unreadable is written over,
// and the reload ends where a fresh start over the repaired data would.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "app/monitor.h"
#include "common/errors.h"
#include "profile/tdm.h"
#include "support/fake_monitor_host.h"

namespace vxm::app {
namespace {

using fake::FakeMonitorHost;
using fake::FakePlatform;
using platform::RegRoot;

constexpr char16_t kKey[] = u"software\\software\\zrngmmouse";
constexpr int kMuteButton = 10;

struct FixedClock final : platform::IClock {
    double LocalDateTime() override { return 46000.5; }
};

// Record images as the configuration application would store them.
std::vector<Byte> GroupImage(FakePlatform& p, int currentGroup, int profileOfGroup0, int profileOfGroup1) {
    TMemoryStream s(sizeof(TProfileSettingGroup), 0);
    RestoreProfileSettingGroupDefaults(s, ReadOptionsFromConfigFile(p.ini, p.paths), p.files, p.paths);
    auto g = std::make_unique<TProfileSettingGroup>();
    LoadRecordImage(*g, s.data(), s.size());
    g->CurrentProfileGroup = currentGroup;
    g->ProfileIndexOfProfileGroup[0] = profileOfGroup0;
    g->ProfileIndexOfProfileGroup[1] = profileOfGroup1;
    return SaveRecordImage(*g);
}

std::vector<Byte> SettingsImage(Word currentGame, Byte language) {
    TMemoryStream s(sizeof(TALLGAMESINFO), 0);
    RestoreAllSettingDefaults(s);
    auto a = std::make_unique<TALLGAMESINFO>();
    LoadRecordImage(*a, s.data(), s.size());
    a->CurrentGame = currentGame;
    a->CurrentLanguage = language;
    return SaveRecordImage(*a);
}

// A game profile whose button 10 is the microphone mute.
std::vector<Byte> MuteProfileImage(int index) {
    TMemoryStream s(sizeof(TMouseProfileInfo), 0);
    RestoreGameProfileDefaults(s, index, 1.0);
    auto m = std::make_unique<TMouseProfileInfo>();
    LoadRecordImage(*m, s.data(), s.size());
    m->ConfigInfo.ButtonFuncInfo[kMuteButton].FunctionIndex = 28;
    return SaveRecordImage(*m);
}

void Put(FakePlatform& p, u16view name, std::vector<Byte> data, std::uint32_t type = platform::kRegBinary) {
    p.registry.Put(RegRoot::CurrentUser, kKey, name, type, std::move(data));
}

struct Case {
    const char* name;
    std::function<void(FakePlatform&)> damage;  // the data a start-up stops at
    std::function<void(FakePlatform&)> repair;  // what the user fixes afterwards
    const char* error;                           // part of the start-up error
    std::vector<const char*> written;            // part of each thing start-up stored before it
};

std::vector<Case> Cases() {
    return {
        {"BadGroupRecord",
         [](FakePlatform& p) {
             // Profile 2 is kept in a file that does not exist yet: the reload
             // after the repair writes its defaults there, as a start would.
             auto group = GroupImage(p, 7, 0, 1);
             auto g = std::make_unique<TProfileSettingGroup>();
             LoadRecordImage(*g, group.data(), group.size());
             g->ProfileSettingList[2].StoreInFile = 1;
             Put(p, u"ProfileSettingGroup.pfd", SaveRecordImage(*g));
             Put(p, u"ZRNProfile2.pfd", MuteProfileImage(1));
         },
         [](FakePlatform& p) {
             const auto& stored = p.registry.Find(RegRoot::CurrentUser, kKey, u"ProfileSettingGroup.pfd")->data;
             auto fixed = stored;
             fixed[0] = 1;  // CurrentProfileGroup 1, whose profile is 1
             Put(p, u"ProfileSettingGroup.pfd", fixed);
         },
         "profile group 7",
         {}},
        {"SettingsValueOfTheWrongType",
         [](FakePlatform& p) {
             Put(p, u"allsettings.pfd", {'x', 0}, platform::kRegSz);
             Put(p, u"ZRNProfile1.pfd", MuteProfileImage(0));
         },
         [](FakePlatform& p) { Put(p, u"allsettings.pfd", SettingsImage(3, 1)); },
         "allsettings.pfd",
         // The group defaults went in first: its folders, then its value.
         {"folder", "ZRNProfile1_Macros", "ZRNProfile5_Macros", "registry value \"ProfileSettingGroup.pfd\""}},
        {"ProfileValueOfTheWrongType",
         [](FakePlatform& p) {
             // The group's profile lies after the one that cannot be read.
             Put(p, u"ProfileSettingGroup.pfd", GroupImage(p, 0, 3, 1));
             Put(p, u"allsettings.pfd", SettingsImage(2, 0));
             Put(p, u"ZRNProfile2.pfd", {1, 2, 3}, platform::kRegDword);
             Put(p, u"ZRNProfile4.pfd", MuteProfileImage(3));
         },
         [](FakePlatform& p) { Put(p, u"ZRNProfile2.pfd", MuteProfileImage(1)); },
         "ZRNProfile2.pfd",
         {}},
        {"DocumentsFolderCannotBeWritten",
         [](FakePlatform& p) {
             p.files.readOnlyFolders.insert(u"c:\\users\\gamer\\documents");
             Put(p, u"ZRNProfile1.pfd", MuteProfileImage(0));
         },
         [](FakePlatform& p) { p.files.readOnlyFolders.clear(); },
         "cannot create the folder",
         {}},
    };
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class StartupRepair : public ::testing::TestWithParam<Case> {};

struct Monitor {
    FakeMonitorHost host;
    FixedClock clock;
    std::unique_ptr<TDM> dm;
    std::unique_ptr<TVXMMONMAIN> window;

    Monitor() {
        host.os = {2, 10};
        host.windows[kConfigWindowClass] = 77;
        host.coreAudio.AddMicrophone(u"mic");
    }
    FakePlatform& Data() { return host.platform; }
    void Start() {
        auto& p = host.platform;
        dm = std::make_unique<TDM>(ProfilePlatform{p.registry, p.files, p.ini, p.paths, clock});
        window = std::make_unique<TVXMMONMAIN>(host, *dm);
    }
    // The message as another process sends it; true when it went through.
    bool Send(unsigned msg, std::intptr_t lParam = 0) {
        host.log.clear();
        EXPECT_TRUE(window->HandleMessage(msg, 0, lParam));
        for (const auto& line : host.log) {
            if (line.find("failed") != std::string::npos) return false;
        }
        return true;
    }
    // A key report of the mute button, then what it posted, as the loop would.
    void PressMuteButton() {
        host.log.clear();
        std::uint8_t data[7] = {0x00, 0x04, 0x00, 0, 0, 0, 0};
        window->uiHIDData1Data(u"HID\\X", u"\\\\?\\x", 7, data, 7);
        host.DeliverPosted();
    }
    bool Muted() { return host.coreAudio.Of(u"mic").muted; }
};

// What is stored, apart from folders, which a start creates without losing anything.
struct Stored {
    std::map<u16, platform::RegValue> values;
    std::map<u16, std::vector<std::uint8_t>> files;
};
Stored StoredData(FakePlatform& p) { return {p.registry.Snapshot(), p.files.AllFiles()}; }

void ExpectSameStore(const Stored& a, const Stored& b) {
    ASSERT_EQ(a.values.size(), b.values.size());
    for (const auto& [name, v] : a.values) {
        auto it = b.values.find(name);
        ASSERT_NE(it, b.values.end()) << Utf8(name);
        EXPECT_EQ(v.type, it->second.type) << Utf8(name);
        EXPECT_TRUE(v.data == it->second.data) << Utf8(name);
    }
    ASSERT_EQ(a.files.size(), b.files.size());
    for (const auto& [name, data] : a.files) {
        auto it = b.files.find(name);
        ASSERT_NE(it, b.files.end()) << Utf8(name);
        EXPECT_TRUE(data == it->second) << Utf8(name);
    }
}

template <typename T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

void ExpectSameProfileData(TDM& a, TDM& b) {
    EXPECT_EQ(a.FProfileIndex, b.FProfileIndex);
    EXPECT_EQ(a.FProfileGroupIndex, b.FProfileGroupIndex);
    EXPECT_TRUE(SameBytes(*a.FAllProfileSettingInfo, *b.FAllProfileSettingInfo));
    EXPECT_TRUE(SameBytes(*a.FProfileSettingGroup, *b.FProfileSettingGroup));
    EXPECT_TRUE(SameBytes(*a.FCurrentProfileInfo, *b.FCurrentProfileInfo));
    EXPECT_TRUE(SameBytes(*a.FRecordMacroInfo, *b.FRecordMacroInfo));
    TuiProfile* ca[] = {&a.uiProfileAllSettingInfo, &a.uiProfileGame1, &a.uiProfileGame2, &a.uiProfileGame3,
                        &a.uiProfileGame4, &a.uiProfileGame5, &a.uiProfileSettingGroup, &a.uiProfileRecordMacroInfo};
    TuiProfile* cb[] = {&b.uiProfileAllSettingInfo, &b.uiProfileGame1, &b.uiProfileGame2, &b.uiProfileGame3,
                        &b.uiProfileGame4, &b.uiProfileGame5, &b.uiProfileSettingGroup, &b.uiProfileRecordMacroInfo};
    for (std::size_t i = 0; i < std::size(ca); ++i) {
        EXPECT_EQ(ca[i]->RootKey(), cb[i]->RootKey()) << "component " << i;
        EXPECT_EQ(ca[i]->KeyPath(), cb[i]->KeyPath()) << "component " << i;
        EXPECT_EQ(ca[i]->FileName(), cb[i]->FileName()) << "component " << i;
        EXPECT_EQ(ca[i]->FilePath(), cb[i]->FilePath()) << "component " << i;
        EXPECT_TRUE(ca[i]->Stream() == cb[i]->Stream()) << "component " << i;
    }
}

TEST_P(StartupRepair, ReloadAfterTheRepairEndsWhereAFreshStartWould) {
    const Case& c = GetParam();
    Monitor broken;
    c.damage(broken.Data());
    broken.Start();
    ASSERT_FALSE(broken.dm->StartupComplete());
    EXPECT_NE(broken.dm->StartupError().find(c.error), std::string::npos) << broken.dm->StartupError();
    const Stored afterStart = StoredData(broken.Data());

    // Unrepaired, every message is handled without harm and writes nothing.
    broken.PressMuteButton();
    EXPECT_FALSE(broken.Muted()) << "no profile is loaded yet";
    EXPECT_FALSE(broken.Send(kMsgReloadSettings));
    EXPECT_FALSE(broken.Send(kMsgReloadProfiles, 3));
    EXPECT_FALSE(broken.dm->StartupComplete());
    ExpectSameStore(StoredData(broken.Data()), afterStart);

    c.repair(broken.Data());
    EXPECT_TRUE(broken.Send(kMsgReloadProfiles, 3)) << ::testing::PrintToString(broken.host.log);
    EXPECT_TRUE(broken.dm->StartupComplete());
    EXPECT_EQ(broken.dm->StartupError(), "");
    EXPECT_EQ(broken.dm->StartupErrorText(), u"");

    Monitor fresh;
    c.damage(fresh.Data());
    c.repair(fresh.Data());
    fresh.Start();
    ASSERT_TRUE(fresh.dm->StartupComplete()) << fresh.dm->StartupError();
    EXPECT_TRUE(fresh.Send(kMsgReloadProfiles, 3));

    ExpectSameProfileData(*broken.dm, *fresh.dm);
    ExpectSameStore(StoredData(broken.Data()), StoredData(fresh.Data()));
    const auto* id = broken.Data().registry.Find(RegRoot::CurrentUser, kKey, u"ProfileID");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->data, (std::vector<std::uint8_t>{3, 0, 0, 0}));

    // The repaired profile is the one in effect: its button 10 mutes.
    broken.PressMuteButton();
    EXPECT_TRUE(broken.Muted());
}

TEST_P(StartupRepair, SettingsReloadAfterTheRepairAlsoCompletesTheStart) {
    const Case& c = GetParam();
    Monitor broken;
    c.damage(broken.Data());
    broken.Start();
    c.repair(broken.Data());
    EXPECT_TRUE(broken.Send(kMsgReloadSettings));
    Monitor fresh;
    c.damage(fresh.Data());
    c.repair(fresh.Data());
    fresh.Start();
    EXPECT_TRUE(fresh.Send(kMsgReloadSettings));
    ExpectSameProfileData(*broken.dm, *fresh.dm);
    ExpectSameStore(StoredData(broken.Data()), StoredData(fresh.Data()));
}

TEST_P(StartupRepair, TheMessageSaysWhatStartUpStoredBeforeItStopped) {
    const Case& c = GetParam();
    Monitor m;
    c.damage(m.Data());
    const Stored before = StoredData(m.Data());
    const std::size_t dirsBefore = m.Data().files.DirectoryCount();
    m.Start();
    const std::string text = Utf8(m.dm->StartupErrorText());
    EXPECT_NE(text.find(m.dm->StartupError()), std::string::npos) << text;
    const bool changed = StoredData(m.Data()).values.size() != before.values.size() ||
                         StoredData(m.Data()).files.size() != before.files.size() ||
                         m.Data().files.DirectoryCount() != dirsBefore;
    EXPECT_EQ(changed, !c.written.empty());
    if (c.written.empty()) {
        EXPECT_NE(text.find("Nothing stored was changed."), std::string::npos) << text;
        EXPECT_TRUE(m.dm->StartupWrites().empty());
    } else {
        EXPECT_EQ(text.find("Nothing stored was changed"), std::string::npos) << text;
        for (const char* w : c.written) EXPECT_NE(text.find(w), std::string::npos) << w << " in\n" << text;
        // The profile folder, five macro folders and the group value.
        EXPECT_EQ(m.dm->StartupWrites().size(), 7u);
        for (const auto& w : m.dm->StartupWrites()) EXPECT_NE(text.find(Utf8(w)), std::string::npos) << text;
    }
}

// Every operation of the profile manager, on whatever start-up left behind:
// none may crash, and none may write over the data that could not be read.
TEST_P(StartupRepair, EveryOperationIsSafeBeforeTheRepair) {
    const Case& c = GetParam();
    Monitor m;
    c.damage(m.Data());
    m.Start();
    TDM& dm = *m.dm;
    const Stored stored = StoredData(m.Data());

    auto profile = std::make_unique<TMouseProfileInfo>();
    auto macro = std::make_unique<TMACROKEYINFO>();
    std::memset(macro.get(), 0, sizeof(*macro));
    for (int i = -1; i <= 5; ++i) {
        dm.SwitchToProfile(i);
        dm.ReadProfileInfo(*profile, i);
        dm.SaveBackToProfileInfo(*profile, i);
        dm.RestoreProfileInfoToDefault(i);
        try {
            dm.LoadProfileInfoFromRegistry(i);
        } catch (const StoreError&) {
            // The value that stopped start-up is still unreadable: said, not hidden.
        }
        dm.SetProfileChanged(i, true);
        dm.IsProfileChanged(i);
        if (i >= 0 && i <= 4) {
            EXPECT_THROW(dm.SaveProfileInfoToRegistry(i), StoreError);
        } else {
            EXPECT_FALSE(dm.SaveProfileInfoToRegistry(i));
        }
    }
    // A bad group record names a profile out of range: refused, as always.
    for (int g = -1; g <= 2; ++g) {
        try {
            dm.SwitchToProfileGroup(g);
        } catch (const RangeError&) {
        }
        try {
            dm.RestoreProfileGroupToDefault(g);
        } catch (const RangeError&) {
        }
    }
    dm.ReadCurrentProfileInfo();
    dm.LoadCurrentProfileInfoFromFile(u"C:\\Users\\gamer\\Documents\\none.pfd");
    dm.SaveBackToCurrentProfileInfo();
    dm.RestoreCurrentProfileInfoToDefault();
    dm.RestoreAllProfileInfoToDefault();
    dm.RestoreToDefaultCPISetting();
    dm.RestoreToDefaultLightAndReportAdvancedSetting();
    dm.LoadRecordMacroInfoFromRegistry();
    dm.ChangeCurrentProfileFileNameAndPath(u"C:\\Users\\gamer\\Documents\\x.pfd");
    dm.GetAllProfilesMacroIndexList();
    dm.InitTestDefaultValue();
    dm.SaveBackToProfileGroupSettingInfo();
    EXPECT_THROW(dm.SaveCurrentProfileInfoToRegistry(), StoreError);
    EXPECT_THROW(dm.SaveCurrentProfileInfoToFile(), StoreError);
    EXPECT_THROW(dm.SaveCurrentProfileInfoToFile(u"C:\\Users\\gamer\\Documents\\y.pfd"), StoreError);
    EXPECT_THROW(dm.SaveBackAllProfileInfo(), StoreError);
    EXPECT_THROW(dm.SaveBackAllProfileInfoToFile(), StoreError);
    EXPECT_THROW(dm.SaveBackAllProfileSettingInfo(), StoreError);
    EXPECT_THROW(dm.SaveProfileGroupSettingInfoToRegistry(), StoreError);
    EXPECT_THROW(dm.SaveBackRecordMacroInfoToRegistry(*macro), StoreError);
    EXPECT_THROW(dm.RestoreProfileSettingGroupToDefault(), StoreError);
    EXPECT_EQ(dm.CurrentProfile().ConfigInfo.ButtonCount, dm.FCurrentProfileInfo->ConfigInfo.ButtonCount);
    dm.CurrentLanguage();
    ExpectSameStore(StoredData(m.Data()), stored);
    EXPECT_FALSE(dm.StartupComplete());

    // The monitor's own handlers on the same state.
    for (std::uintptr_t w = 0; w <= 25; ++w) m.window->HandleMessage(ButtonEventMessage, w, 1);
    m.window->HandleMessage(kMsgReloadSettings, 0, 0);
    m.window->HandleMessage(kMsgReloadProfiles, 0, 2);
    ExpectSameStore(StoredData(m.Data()), [&] {
        Stored s = stored;
        // Profile switches (events 21 to 25) write "ProfileID": nothing else.
        if (const auto* id = m.Data().registry.Find(RegRoot::CurrentUser, kKey, u"ProfileID")) {
            s.values[u"2147483649:software\\software\\zrngmmouse\\profileid"] = *id;
        }
        return s;
    }());
}

INSTANTIATE_TEST_SUITE_P(Errors, StartupRepair, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vxm::app
