// The profile manager against the fake registry and files: start-up
// scenarios, start-up errors that leave the stored data alone, the macro list.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <map>

#include "common/fixed_text.h"
#include "profile/tdm.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

using fake::FakePlatform;
using platform::RegRoot;

constexpr char16_t kKey[] = u"software\\software\\zrngmmouse";

struct FixedClock final : platform::IClock {
    double LocalDateTime() override { return 46364.75; }
};

struct World {
    FakePlatform p;
    FixedClock clock;
    std::unique_ptr<TDM> Start() { return std::make_unique<TDM>(ProfilePlatform{p.registry, p.files, p.ini, p.paths, clock}); }
    const platform::RegValue* Value(u16view name) { return p.registry.Find(RegRoot::CurrentUser, kKey, name); }
};

TEST(ProfileStartup, FirstRunWritesGroupAndSettingsDefaultsAndMakesTheThirdProfileCurrent) {
    World w;
    auto dm = w.Start();
    ASSERT_EQ(dm->StartupError(), "");
    ASSERT_NE(w.Value(u"ProfileSettingGroup.pfd"), nullptr);
    ASSERT_NE(w.Value(u"allsettings.pfd"), nullptr);
    EXPECT_EQ(w.Value(u"ProfileSettingGroup.pfd")->data.size(), 30964u);
    EXPECT_EQ(w.Value(u"allsettings.pfd")->data.size(), 30954u);
    EXPECT_EQ(w.Value(u"ProfileSettingGroup.pfd")->type, platform::kRegBinary);
    EXPECT_EQ(w.p.registry.ValueCount(RegRoot::CurrentUser, kKey), 2u) << "no profile value is written";

    const u16 docs = u"C:\\Users\\gamer\\Documents\\ZRNProfile";
    EXPECT_TRUE(w.p.files.DirectoryExists(docs));
    for (int n = 1; n <= 5; ++n) {
        EXPECT_TRUE(w.p.files.DirectoryExists(docs + u"\\ZRNProfile" + ToU16(n) + u"_Macros")) << n;
    }
    EXPECT_EQ(dm->FAllProfileSettingInfo->CurrentGame, 2);
    EXPECT_EQ(dm->FProfileIndex, 2);
    const TMouseProfileInfo& cur = *dm->FCurrentProfileInfo;
    EXPECT_EQ(cur.ConfigInfo.CurrentCPIIndex, 2);
    EXPECT_EQ(cur.ConfigInfo.LEDConfig.B, 255);
    EXPECT_EQ(cur.ProfileHeader.FFileVersion, 259);
    EXPECT_EQ(cur.ProfileHeader.FProfileUID.DataTime, 46364.75);

    const TGAMESETTINGINFO& e0 = dm->FProfileSettingGroup->ProfileSettingList[0];
    EXPECT_EQ(ReadFixedText(e0.FileName), u"ZRNProfile1.pfd");
    EXPECT_EQ(ReadFixedText(e0.KeyPath), kKey);
    EXPECT_EQ(ReadFixedText(e0.FilePath), docs + u"\\");
    EXPECT_EQ(ReadFixedText(e0.MacroPath), docs + u"\\\\ZRNProfile1_Macros");
    EXPECT_EQ(ReadFixedText(dm->FProfileSettingGroup->ProfileSettingList[4].FileName), u"ZRNProfile5.pfd");
    EXPECT_EQ(DeviceUsageAndPage.UsagePage, 0xFFA0);
    EXPECT_EQ(DeviceUsageAndPage.Usage, 0x0001);
}

TEST(ProfileStartup, SecondRunChangesNothing) {
    World w;
    w.Start();
    const auto group = w.Value(u"ProfileSettingGroup.pfd")->data;
    const auto all = w.Value(u"allsettings.pfd")->data;
    const int writes = w.p.registry.writes;
    auto dm = w.Start();
    EXPECT_EQ(dm->StartupError(), "");
    EXPECT_EQ(w.p.registry.writes, writes);
    EXPECT_EQ(w.Value(u"ProfileSettingGroup.pfd")->data, group);
    EXPECT_EQ(w.Value(u"allsettings.pfd")->data, all);
}

TEST(ProfileStartup, FileKeptProfileWithoutItsFileGetsDefaultsWrittenThere) {
    World w;
    auto group = std::make_unique<TProfileSettingGroup>();
    std::memset(group.get(), 0, sizeof(*group));
    group->ProfileIndexOfProfileGroup[1] = 1;
    for (int i = 0; i < 5; ++i) WriteFixedText(group->ProfileSettingList[i].FileName, u"P" + ToU16(i) + u".pfd");
    group->ProfileSettingList[0].StoreInFile = 1;
    WriteFixedText(group->ProfileSettingList[0].FilePath, u"C:\\Users\\gamer\\Documents\\Kept");
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"ProfileSettingGroup.pfd", platform::kRegBinary, SaveRecordImage(*group));
    auto dm = w.Start();
    EXPECT_EQ(dm->StartupError(), "");
    const auto* file = w.p.files.Find(u"C:\\Users\\gamer\\Documents\\Kept\\P0.pfd");
    ASSERT_NE(file, nullptr) << "its last folder level is created";
    ASSERT_EQ(file->size(), 140072u);
    auto profile = std::make_unique<TMouseProfileInfo>();
    LoadRecordImage(*profile, file->data(), file->size());
    EXPECT_EQ(profile->ConfigInfo.LEDConfig.G, 255);  // profile 1's yellow
    EXPECT_EQ(ButtonFunctionIndex(*profile, 3), 35);
}

TEST(ProfileStartup, OutOfRangeCurrentGameLeavesTheGroupProfileAndAZeroRecord) {
    World w;
    w.Start();
    auto all = std::make_unique<TALLGAMESINFO>();
    const auto& stored = w.Value(u"allsettings.pfd")->data;
    LoadRecordImage(*all, stored.data(), stored.size());
    all->CurrentGame = 7;
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"allsettings.pfd", platform::kRegBinary, SaveRecordImage(*all));
    auto dm = w.Start();
    EXPECT_EQ(dm->StartupError(), "");
    EXPECT_EQ(dm->FProfileIndex, 0);
    for (int b = 0; b < kButtonCount; ++b) EXPECT_EQ(ButtonFunctionIndex(*dm->FCurrentProfileInfo, b), 0);
    EXPECT_FALSE(dm->SwitchToProfile(5));
    EXPECT_EQ(dm->FAllProfileSettingInfo->CurrentGame, 7);
}

TEST(ProfileStartupErrors, BadGroupIndexIsReportedAndNothingStoredIsOverwritten) {
    World w;
    w.Start();
    auto group = std::make_unique<TProfileSettingGroup>();
    const auto& stored = w.Value(u"ProfileSettingGroup.pfd")->data;
    LoadRecordImage(*group, stored.data(), stored.size());
    group->CurrentProfileGroup = 7;
    const auto bad = SaveRecordImage(*group);
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"ProfileSettingGroup.pfd", platform::kRegBinary, bad);
    const int writes = w.p.registry.writes;
    auto dm = w.Start();
    EXPECT_NE(dm->StartupError().find("profile group 7"), std::string::npos) << dm->StartupError();
    EXPECT_EQ(w.p.registry.writes, writes);
    EXPECT_EQ(w.Value(u"ProfileSettingGroup.pfd")->data, bad);
}

TEST(ProfileStartupErrors, ValueOfTheWrongTypeNamesTheRecordAndIsKept) {
    World w;
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"allsettings.pfd", platform::kRegSz, {'h', 0, 'i', 0});
    auto dm = w.Start();
    EXPECT_NE(dm->StartupError().find("allsettings.pfd"), std::string::npos) << dm->StartupError();
    EXPECT_EQ(w.Value(u"allsettings.pfd")->type, platform::kRegSz);
}

TEST(ProfileStartupErrors, GarbageShortSettingsValueIsReadWithoutReachingPastIt) {
    World w;
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"allsettings.pfd", platform::kRegBinary, {1, 2, 3});
    auto dm = w.Start();
    EXPECT_EQ(dm->StartupError(), "");
    EXPECT_EQ(w.Value(u"allsettings.pfd")->data.size(), 3u) << "not overwritten";
    EXPECT_EQ(dm->FAllProfileSettingInfo->Allgameset[0].SettingFlag, 0x0201);
}

TEST(ProfileStartupErrors, PrefixTooLongForFileNameIsRefusedWithoutWriting) {
    World w;
    w.p.files.PutText(w.p.paths.exeFolder + u"config.ini", "[options]\nprofilePrefix=ThisPrefixIsTooLong\n");
    auto dm = w.Start();
    EXPECT_NE(dm->StartupError().find("does not fit"), std::string::npos) << dm->StartupError();
    EXPECT_EQ(w.Value(u"ProfileSettingGroup.pfd"), nullptr);
}

TEST(ProfileManager, MacroIndexListInOrderOfFirstUse) {
    World w;
    auto dm = w.Start();
    auto p = std::make_unique<TMouseProfileInfo>();
    dm->ReadProfileInfo(*p, 0);
    p->ConfigInfo.ButtonFuncInfo[1].FunctionKind = 4;
    p->ConfigInfo.ButtonFuncInfo[1].MacroIndex = 3;
    p->ConfigInfo.ButtonFuncInfo[2].FunctionKind = 4;
    p->ConfigInfo.ButtonFuncInfo[2].MacroIndex = 3;
    p->ConfigInfo.ButtonFuncInfo[18].FunctionKind = 4;  // beyond ButtonCount 18
    p->ConfigInfo.ButtonFuncInfo[18].MacroIndex = 9;
    dm->SaveBackToProfileInfo(*p, 0);
    dm->ReadProfileInfo(*p, 3);
    p->ConfigInfo.ButtonFuncInfo[5].FunctionKind = 4;
    p->ConfigInfo.ButtonFuncInfo[5].MacroIndex = 1;
    p->ConfigInfo.ButtonCount = 1000;  // a corrupt count stops at the last entry
    dm->SaveBackToProfileInfo(*p, 3);
    EXPECT_EQ(dm->GetAllProfilesMacroIndexList(), (std::vector<int>{3, 1}));
}

}  // namespace
}  // namespace vxm

namespace vxm {
namespace {

// The settings the monitor writes itself where no configuration application
// does: the mute button moves in all five profiles (one of them kept in a
// file), the button it leaves gets its factory function back, the language
// changes that one byte; a damaged record stops the edit with nothing
// written, and the manager's own state stays as it was.
TEST(ProfileSettingsEdit, MuteButtonAndLanguageAreWrittenWhereEachRecordLivesAndDamageIsNeverWrittenOver) {
    World w;
    // A first start on a platform that chooses the language: the factory
    // settings get its choice.
    const auto start = [&w] {
        return std::make_unique<TDM>(ProfilePlatform{w.p.registry, w.p.files, w.p.ini, w.p.paths, w.clock},
                                     [] { return std::uint8_t{1}; });
    };
    auto dm = start();
    ASSERT_EQ(dm->StartupError(), "");
    EXPECT_EQ(dm->CurrentLanguage(), 1);
    EXPECT_EQ(dm->MuteButton(), kNoMuteButton) << "the factory layout has no mute button";
    // Profile 2 is kept in a file.
    auto group = std::make_unique<TProfileSettingGroup>();
    dm->uiProfileSettingGroup.ReadRecord(*group);
    group->ProfileSettingList[1].StoreInFile = 1;
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"ProfileSettingGroup.pfd", platform::kRegBinary,
                     SaveRecordImage(*group));
    const u16 file2 = ReadFixedText(group->ProfileSettingList[1].FilePath) + u"ZRNProfile2.pfd";

    const auto stored = [&](int profile) {
        auto p = std::make_unique<TMouseProfileInfo>();
        std::memset(p.get(), 0, sizeof(*p));
        const std::vector<std::uint8_t>* bytes = nullptr;
        if (profile == 1) {
            bytes = w.p.files.Find(file2);
        } else if (const auto* v = w.Value(u"ZRNProfile" + ToU16(profile + 1) + u".pfd")) {
            bytes = &v->data;
        }
        if (bytes) LoadRecordImage(*p, bytes->data(), bytes->size());
        return p;
    };
    dm->SetMuteButton(10);
    for (int i = 0; i < 5; ++i) {
        const auto p = stored(i);
        const TBUTTONFUNCINFO& b = p->ConfigInfo.ButtonFuncInfo[10];
        EXPECT_EQ(b.FunctionIndex, 28) << i;
        EXPECT_EQ(b.FunctionType, 19) << i;
        EXPECT_EQ(b.FunctionCode, 1008) << i;
        EXPECT_EQ(MuteButtonOf(*p), 10) << "the only mute button, profile " << i;
        EXPECT_EQ(p->ConfigInfo.CurrentCPIIndex, i) << "the rest is the profile's own";
    }
    EXPECT_EQ(dm->MuteButton(), 10) << "the manager loaded them again";

    // Moved: button 11 (the digit key 5) gets its key back, button 18 its "no function".
    dm->SetMuteButton(18);
    for (int i = 0; i < 5; ++i) {
        const auto p = stored(i);
        const TBUTTONFUNCINFO& was = p->ConfigInfo.ButtonFuncInfo[10];
        EXPECT_EQ(was.FunctionIndex, 5) << i;
        EXPECT_EQ(was.FunctionKind, 8) << i;
        EXPECT_EQ(was.FunctionType, 16) << i;
        EXPECT_EQ(was.KeyValue, 0x35) << i;
        EXPECT_EQ(MuteButtonOf(*p), 18) << i;
    }
    dm->SetMuteButton(kNoMuteButton);
    for (int i = 0; i < 5; ++i) {
        const auto p = stored(i);
        EXPECT_EQ(MuteButtonOf(*p), kNoMuteButton) << i;
        EXPECT_EQ(p->ConfigInfo.ButtonFuncInfo[18].FunctionKind, 0) << i;
        EXPECT_EQ(p->ConfigInfo.ButtonFuncInfo[18].FunctionType, 13) << i;
    }
    EXPECT_THROW(dm->SetMuteButton(19), RangeError);

    // The language: only its byte changes.
    const auto before = w.Value(u"allsettings.pfd")->data;
    dm->SetCurrentLanguage(0);
    auto after = w.Value(u"allsettings.pfd")->data;
    EXPECT_EQ(after[offsetof(TALLGAMESINFO, CurrentLanguage)], 0);
    after[offsetof(TALLGAMESINFO, CurrentLanguage)] = before[offsetof(TALLGAMESINFO, CurrentLanguage)];
    EXPECT_EQ(after, before);
    EXPECT_EQ(dm->CurrentLanguage(), 0);

    // Damage: a profile cut short, global settings cut short.
    dm->SetMuteButton(4);
    auto cut = w.Value(u"ZRNProfile4.pfd")->data;
    cut.resize(1000);
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"ZRNProfile4.pfd", platform::kRegBinary, cut);
    const auto values = [&w] {
        std::map<u16, std::pair<std::uint32_t, std::vector<std::uint8_t>>> all;
        for (const auto& [name, value] : w.p.registry.Snapshot()) all[name] = {value.type, value.data};
        return all;
    };
    const auto registry = values();
    const auto files = w.p.files.AllFiles();
    try {
        dm->SetMuteButton(7);
        ADD_FAILURE() << "a damaged profile was written over";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("profile 4 (\"ZRNProfile4.pfd\") holds 1000 bytes"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(values(), registry);
    EXPECT_EQ(w.p.files.AllFiles(), files);
    EXPECT_EQ(dm->MuteButton(), 4) << "the manager kept its state";
    EXPECT_TRUE(dm->StartupComplete());
    auto settings = w.Value(u"allsettings.pfd")->data;
    settings.resize(30000);
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"allsettings.pfd", platform::kRegBinary, settings);
    EXPECT_THROW(dm->SetCurrentLanguage(1), StoreError);
    EXPECT_EQ(w.Value(u"allsettings.pfd")->data, settings);
    // A record of the wrong type stops the edit as it stops a start-up.
    w.p.registry.Put(RegRoot::CurrentUser, kKey, u"ZRNProfile4.pfd", platform::kRegDword, {1, 0, 0, 0});
    const auto first = w.Value(u"ZRNProfile1.pfd")->data;
    EXPECT_THROW(dm->SetMuteButton(7), StoreError);
    EXPECT_EQ(w.Value(u"ZRNProfile1.pfd")->data, first);
}

}  // namespace
}  // namespace vxm
