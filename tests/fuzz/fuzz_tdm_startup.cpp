// TDM's start-up over stored data the fuzzer chooses, then the configuration
// application's messages (7035, 7037) and the monitor's own 7524 through the
// real TVXMMONMAIN over the fake host, with any wParam and lParam.
//
// The fuzzer chooses config.ini (absent, the sample's keys with its own
// values, or raw bytes), and under the registry folder it names, each of the
// group record "ProfileSettingGroup.pfd", the global settings
// "allsettings.pfd", "RecordRPROFILE.pfd", "ProfileID" and the five profiles'
// values: absent, the factory image, that image with some bytes changed or
// cut short, or raw bytes, each with a registry type of its choosing; the
// group record says which profiles are kept in files and where, and those
// .pfd files are absent, the factory image, or other bytes. Sometimes every
// registry write fails, or the profile folder refuses writes.
//
// What may change in the stored data, and nothing else (checked after every
// message, and after the window and TDM are gone):
//   - a registry value that existed keeps its type and bytes, except
//     "ProfileID", which may be set to a REG_DWORD of 0 to 4;
//   - under the registry folder of config.ini, the values that may be
//     created where none was are the group record and the global settings
//     (a binary of exactly their record's size; their factory defaults,
//     written when the value was missing), and "ProfileID" (REG_DWORD 0 to 4);
//     no profile value and no "RecordRPROFILE.pfd" is ever written;
//   - a file that existed keeps its bytes; the files that may be created
//     are profile files (".pfd", a profile record's size: a file-kept
//     profile's defaults, written when its file was missing). Folders may be
//     created.
// And a 7035 ends where a fresh start over the same stored data followed by
// the same three reloads ends: both fail (a start that stops fails the
// reload), or both load the same records; a 7035 that succeeds has run the
// start-up to its end.
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "app/monitor.h"
#include "common/fixed_text.h"
#include "fuzz_check.h"
#include "profile/defaults.h"
#include "profile/tdm.h"
#include "support/fake_monitor_host.h"

namespace vxm {
namespace {

using platform::RegRoot;
using platform::RegValue;

struct FixedClock final : platform::IClock {
    double LocalDateTime() override { return 46000.25; }
};

constexpr char16_t kGroupName[] = u"ProfileSettingGroup.pfd";
constexpr char16_t kSettingsName[] = u"allsettings.pfd";
constexpr char16_t kMacroName[] = u"RecordRPROFILE.pfd";
constexpr char16_t kProfileIdName[] = u"ProfileID";

std::uint32_t RegType(FuzzedDataProvider& in) {
    // Values read as the end of the input are binary, as stored records are.
    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
        case 13: return platform::kRegSz;
        case 14: return platform::kRegDword;
        case 15: return in.ConsumeIntegral<std::uint32_t>();
        default: return platform::kRegBinary;
    }
}

// A stored image: nothing, the factory image, or it changed, cut or replaced.
std::optional<std::vector<std::uint8_t>> Image(FuzzedDataProvider& in, std::vector<std::uint8_t> factory) {
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0: return std::nullopt;
        case 1:
        case 2: return factory;
        case 3: {
            const int patches = in.ConsumeIntegralInRange<int>(1, 8);
            for (int i = 0; i < patches && !factory.empty(); ++i) {
                factory[in.ConsumeIntegralInRange<std::size_t>(0, factory.size() - 1)] = in.ConsumeIntegral<std::uint8_t>();
            }
            return factory;
        }
        case 4:
            factory.resize(in.ConsumeIntegralInRange<std::size_t>(0, factory.size() + 8));
            return factory;
        default: return in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 64));
    }
}

std::vector<std::uint8_t> Factory(void (*restore)(TMemoryStream&), std::size_t size) {
    TMemoryStream s(size, 0);
    restore(s);
    return s;
}

const std::vector<std::uint8_t>& ProfileFactory(int index) {
    static const auto images = [] {
        std::vector<std::vector<std::uint8_t>> all;
        for (int i = 0; i < kProfileCount; ++i) {
            TMemoryStream s(sizeof(TMouseProfileInfo), 0);
            RestoreGameProfileDefaults(s, i, 1.0);
            all.push_back(s);
        }
        return all;
    }();
    return images[static_cast<std::size_t>(index)];
}

const std::vector<std::uint8_t>& SettingsFactory() {
    static const auto image = Factory([](TMemoryStream& s) { RestoreAllSettingDefaults(s); }, sizeof(TALLGAMESINFO));
    return image;
}

u16 ConfigText(FuzzedDataProvider& in) {
    u16 t = u"[options]\r\n";
    const char16_t* keys[] = {u"ProfileRegFolder", u"profileFolder", u"profilePrefix", u"profileMacroFolder"};
    for (const char16_t* k : keys) {
        if (in.ConsumeBool()) t += u16(k) + u"=" + fuzz::Text(in, 24) + u"\r\n";
    }
    return t;
}

// Everything stored, and where the monitor's design lets it write.
struct Stored {
    std::map<u16, RegValue> registry;
    std::map<u16, std::vector<std::uint8_t>> files;
};

Stored Take(fake::FakePlatform& p) { return {p.registry.Snapshot(), p.files.AllFiles()}; }

// The snapshot name of value `name` under the folder `key`.
u16 SnapshotName(u16view key, u16view name) {
    fake::FakeRegistry scratch;
    scratch.Put(RegRoot::CurrentUser, key, name, platform::kRegBinary, {});
    return scratch.Snapshot().begin()->first;
}

struct Rules {
    u16 group, settings, profileId;
    void Check(const Stored& before, const Stored& now, const char* when) const {
        for (const auto& [name, value] : now.registry) {
            auto it = before.registry.find(name);
            const bool isId = name == profileId;
            const bool idValue = value.type == platform::kRegDword && value.data.size() == 4 && value.data[1] == 0 &&
                                 value.data[2] == 0 && value.data[3] == 0 && value.data[0] <= 4;
            if (it != before.registry.end()) {
                if (it->second.type == value.type && it->second.data == value.data) continue;
                FUZZ_CHECK(isId && idValue, "%s: the stored value %s was changed (type %u, %zu bytes)", when,
                           fuzz::Show(name).c_str(), value.type, value.data.size());
                continue;
            }
            if (isId) {
                FUZZ_CHECK(idValue, "%s: ProfileID created as something else than 0 to 4", when);
            } else if (name == group) {
                FUZZ_CHECK(value.type == platform::kRegBinary && value.data.size() == sizeof(TProfileSettingGroup),
                           "%s: the group record was created as type %u, %zu bytes", when, value.type, value.data.size());
            } else if (name == settings) {
                FUZZ_CHECK(value.type == platform::kRegBinary &&
                               value.data == SettingsFactory(),
                           "%s: the global settings were created with other than their defaults", when);
            } else {
                FUZZ_CHECK(false, "%s: the value %s was created", when, fuzz::Show(name).c_str());
            }
        }
        for (const auto& [name, value] : before.registry) {
            FUZZ_CHECK(now.registry.count(name), "%s: the value %s went", when, fuzz::Show(name).c_str());
        }
        for (const auto& [path, bytes] : now.files) {
            auto it = before.files.find(path);
            if (it != before.files.end()) {
                FUZZ_CHECK(it->second == bytes, "%s: the file %s was changed", when, fuzz::Show(path).c_str());
                continue;
            }
            const bool pfd = path.size() >= 4 && EqualsNoCase(u16view(path).substr(path.size() - 4), u".pfd");
            FUZZ_CHECK(pfd && bytes.size() == sizeof(TMouseProfileInfo), "%s: the file %s was created (%zu bytes)",
                       when, fuzz::Show(path).c_str(), bytes.size());
        }
        for (const auto& [path, bytes] : before.files) {
            FUZZ_CHECK(now.files.count(path), "%s: the file %s went", when, fuzz::Show(path).c_str());
        }
    }
};

// A fresh start over a copy of the stored data, then the three reloads of a
// 7035: whether they failed, and the records they left.
struct Reloaded {
    bool failed = false;
    std::vector<std::uint8_t> current, settings, group;
    int profile = -1, groupIndex = -1;
};

Reloaded ReloadOf(TDM& dm, bool failed) {
    Reloaded r;
    r.failed = failed;
    if (failed) return r;
    r.current = SaveRecordImage(*dm.FCurrentProfileInfo);
    r.settings = SaveRecordImage(*dm.FAllProfileSettingInfo);
    r.group = SaveRecordImage(*dm.FProfileSettingGroup);
    r.profile = dm.FProfileIndex;
    r.groupIndex = dm.FProfileGroupIndex;
    return r;
}

Reloaded FreshStartAndReload(fake::FakePlatform& p, FixedClock& clock) {
    fake::FakeRegistry registry = p.registry;
    fake::FakeFileSystem files = p.files;
    fake::FakeIniReader ini(files);
    fake::FakeSystemPaths paths = p.paths;
    TDM dm(ProfilePlatform{registry, files, ini, paths, clock});
    // A start that stopped: the reload fails as well, the data being the same.
    if (!dm.StartupComplete()) return ReloadOf(dm, true);
    try {
        dm.LoadProfileGroupSettingInfoFromRegistry();
        dm.LoadAllProfileInfoFromRegistry();
        dm.LoadCurrentProfileInfoFromRegistry();
    } catch (const std::exception&) {
        return ReloadOf(dm, true);
    }
    return ReloadOf(dm, false);
}

std::uintptr_t WParam(FuzzedDataProvider& in) {
    static const std::uintptr_t kValues[] = {0, 1, 4, 5, 10, 18, 19, 20, 21, 25, 26, 255, 256,
                                             std::numeric_limits<std::uintptr_t>::max(),
                                             std::numeric_limits<std::uintptr_t>::max() - 20};
    return in.ConsumeBool() ? in.PickValueInArray(kValues) : in.ConsumeIntegral<std::uintptr_t>();
}

std::intptr_t LParam(FuzzedDataProvider& in) {
    static const std::intptr_t kValues[] = {0, 1, 2, 3, 4, 5, -1, 255, 256, 0x100000000LL,
                                            std::numeric_limits<std::intptr_t>::min(),
                                            std::numeric_limits<std::intptr_t>::max(),
                                            std::numeric_limits<std::intptr_t>::min() + 4};
    return in.ConsumeBool() ? in.PickValueInArray(kValues) : in.ConsumeIntegral<std::intptr_t>();
}

void Run(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    FixedClock clock;
    fake::FakeMonitorHost host;
    host.windows[app::kConfigWindowClass] = 77;
    fake::FakePlatform& p = host.platform;
    const u16 config = p.paths.exeFolder + u"config.ini";
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: break;
        case 1: {
            const u16 t = ConfigText(in);
            p.files.PutText(config, Utf8(t));
            break;
        }
        case 2: p.files.PutFile(config, in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 256))); break;
        default: p.files.PutText(config, "[options]\r\nProfileRegFolder=software\\zrngmmouse\r\n"); break;
    }
    const TOptionsFromConfigFile options = ReadOptionsFromConfigFile(p.ini, p.paths);
    const u16 key = options.ProfileRegFolder;

    // The group record decides which profiles live in files, and where.
    std::vector<std::uint8_t> groupFactory;
    try {
        TMemoryStream s(sizeof(TProfileSettingGroup), 0);
        RestoreProfileSettingGroupDefaults(s, options, p.files, p.paths);
        groupFactory = s;
    } catch (const std::exception&) {
        groupFactory.assign(sizeof(TProfileSettingGroup), 0);
    }
    auto group = std::make_unique<TProfileSettingGroup>();
    LoadRecordImage(*group, groupFactory.data(), groupFactory.size());
    if (in.ConsumeIntegralInRange<int>(0, 3) != 0) {
        // Mostly in range, so that start-up gets past them to the profiles.
        auto pick = [&](int low, int high) {
            return in.ConsumeIntegralInRange<int>(0, 7) == 7 ? in.ConsumeIntegralInRange<int>(-2, high + 2)
                                                             : in.ConsumeIntegralInRange<int>(low, high);
        };
        group->CurrentProfileGroup = pick(0, 1);
        group->ProfileIndexOfProfileGroup[0] = pick(0, 4);
        group->ProfileIndexOfProfileGroup[1] = pick(0, 4);
    }
    for (auto& e : group->ProfileSettingList) {
        e.StoreInFile = static_cast<Byte>(in.ConsumeIntegralInRange<int>(0, 3) == 3 ? 1 : in.ConsumeIntegralInRange<int>(0, 2) == 2 ? 2 : 0);
    }
    auto groupImage = Image(in, SaveRecordImage(*group));
    if (groupImage) p.registry.Put(RegRoot::CurrentUser, key, kGroupName, RegType(in), *groupImage);
    if (auto settings = Image(in, SettingsFactory())) {
        if (settings->size() >= 2 + offsetof(TALLGAMESINFO, CurrentGame) && in.ConsumeBool()) {
            (*settings)[offsetof(TALLGAMESINFO, CurrentGame)] = in.ConsumeIntegralInRange<std::uint8_t>(0, 6);
        }
        p.registry.Put(RegRoot::CurrentUser, key, kSettingsName, RegType(in), *settings);
    }
    if (auto macro = Image(in, std::vector<std::uint8_t>(sizeof(TMACROKEYINFO), 0))) {
        p.registry.Put(RegRoot::CurrentUser, key, kMacroName, RegType(in), *macro);
    }
    if (in.ConsumeBool()) {
        p.registry.Put(RegRoot::CurrentUser, key, kProfileIdName, RegType(in),
                       in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 8)));
    }
    for (int i = 0; i < kProfileCount; ++i) {
        const TGAMESETTINGINFO& e = group->ProfileSettingList[i];
        const u16 name = ReadFixedText(e.FileName);
        if (auto value = Image(in, ProfileFactory(i))) p.registry.Put(RegRoot::CurrentUser, key, name, RegType(in), *value);
        if (auto file = Image(in, ProfileFactory(i))) {
            p.files.AddDirectories(ReadFixedText(e.FilePath));
            p.files.PutFile(WithTrailingBackslash(ReadFixedText(e.FilePath)) + name, *file);
        }
    }
    if (in.ConsumeIntegralInRange<int>(0, 15) == 15) p.registry.failWritesWith = platform::kErrorAccessDenied;
    if (in.ConsumeIntegralInRange<int>(0, 15) == 15) p.files.readOnlyFolders.insert(u"c:\\users\\gamer\\documents\\zrnprofile");

    const Stored before = Take(p);
    const Rules rules{SnapshotName(key, kGroupName), SnapshotName(key, kSettingsName), SnapshotName(key, kProfileIdName)};
    {
        auto dm = std::make_unique<TDM>(ProfilePlatform{p.registry, p.files, p.ini, p.paths, clock});
        rules.Check(before, Take(p), "start-up");
        auto window = std::make_unique<app::TVXMMONMAIN>(host, *dm);
        rules.Check(before, Take(p), "the window's creation");
        const int steps = in.ConsumeIntegralInRange<int>(0, 12);
        for (int i = 0; i < steps && in.remaining_bytes() > 0; ++i) {
            static const unsigned kMessages[] = {app::kMsgReloadProfiles, app::kMsgReloadSettings, app::ButtonEventMessage};
            const unsigned msg = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? in.ConsumeIntegral<unsigned>()
                                                                             : in.PickValueInArray(kMessages);
            const std::uintptr_t w = WParam(in);
            const std::intptr_t l = LParam(in);
            const std::size_t lines = host.log.size();
            host.Deliver(msg, w, l);
            if (in.ConsumeBool()) host.DeliverPosted();
            rules.Check(before, Take(p), "a message");
            if (msg == app::kMsgReloadProfiles) {
                bool failed = false;
                for (std::size_t k = lines; k < host.log.size(); ++k) {
                    if (host.log[k].rfind("Debug:message 7035 failed", 0) == 0) failed = true;
                }
                const Reloaded fresh = FreshStartAndReload(p, clock);
                const Reloaded mine = ReloadOf(*dm, failed);
                FUZZ_CHECK(failed || dm->StartupComplete(),
                           "a 7035 succeeded without running the start-up to its end (it stopped at: %s)",
                           dm->StartupError().c_str());
                FUZZ_CHECK(fresh.failed == mine.failed, "a 7035 %s where a fresh start and reload %s",
                           mine.failed ? "failed" : "succeeded", fresh.failed ? "fails" : "succeeds");
                FUZZ_CHECK(fresh.profile == mine.profile && fresh.groupIndex == mine.groupIndex,
                           "a 7035 ends on profile %d of group %d, a fresh start on %d of %d", mine.profile,
                           mine.groupIndex, fresh.profile, fresh.groupIndex);
                FUZZ_CHECK(fresh.current == mine.current && fresh.settings == mine.settings && fresh.group == mine.group,
                           "a 7035 loads other records than a fresh start does");
            }
        }
        window.reset();
        dm.reset();
    }
    rules.Check(before, Take(p), "the end");
}

}  // namespace
}  // namespace vxm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vxm::Run(data, size);
    return 0;
}
