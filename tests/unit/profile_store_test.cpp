// The profile stream store: registry and file edge cases, short streams
// before the defaults, the file path setter.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "profile/defaults.h"
#include "profile/profile_store.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

using fake::FakePlatform;
using platform::RegRoot;

struct FixedClock final : platform::IClock {
    double LocalDateTime() override { return 46364.75; }
};

TEST(ProfileStore, RegistryLoadEdgeCases) {
    FakePlatform p;
    TuiProfile s(p.registry, p.files);
    s.SetFileName(u"v");
    s.SetKeyPath(u"k");
    EXPECT_FALSE(s.LoadStreamFromRegistry()) << "root 0";
    EXPECT_FALSE(s.SaveStreamToRegistry());
    EXPECT_EQ(p.registry.KeyCount(), 0u);

    s.SetRootKey(RegRoot::CurrentUser);
    std::vector<std::uint8_t> big(140072, 0xAA);
    s.Write(big.data(), static_cast<int>(big.size()));
    int afterLoads = 0;
    s.OnAfterLoadFromRegistry = [&](const TMemoryStream&) { ++afterLoads; };
    p.registry.failOpenWith = 5;
    EXPECT_FALSE(s.LoadStreamFromRegistry()) << "an unopened key is a failed load";
    EXPECT_EQ(afterLoads, 0);
    EXPECT_EQ(s.Stream().size(), 140072u);
    p.registry.failOpenWith = 0;

    p.registry.Put(RegRoot::CurrentUser, u"k", u"v", platform::kRegBinary, std::vector<std::uint8_t>(10, 1));
    EXPECT_TRUE(s.LoadStreamFromRegistry());
    EXPECT_EQ(afterLoads, 1);
    std::vector<std::uint8_t> out(140072, 0);
    EXPECT_EQ(s.Read(out.data(), 140072), 10);
    EXPECT_EQ(out[10], 0);

    s.OnBeforeSaveToRegistry = [](TMemoryStream&, bool& go) { go = false; };
    const int writes = p.registry.writes;
    EXPECT_FALSE(s.SaveStreamToRegistry());
    EXPECT_EQ(p.registry.writes, writes);
}

TEST(ProfileStore, ShortStreamIsExtendedBeforeDefaultsAndEmptyTestStreamStaysEmpty) {
    FakePlatform p;
    FixedClock clock;
    TuiProfile s(p.registry, p.files);
    s.RecordSize = sizeof(TMouseProfileInfo);
    s.OnRestoreToDefault = [&](TMemoryStream& m) { RestoreGameProfileDefaults(m, 0, clock.LocalDateTime()); };
    const std::uint8_t ten[10] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
    s.Write(ten, 10);
    s.RestoreToDefault();
    ASSERT_EQ(s.Stream().size(), 140072u);
    auto rec = std::make_unique<TMouseProfileInfo>();
    s.ReadRecord(*rec);
    EXPECT_EQ(ButtonFunctionIndex(*rec, 16), 5);
    EXPECT_EQ(rec->ConfigInfo.ButtonFuncInfo[16].KeyValue, 0x6B);
    EXPECT_EQ(rec->ProfileHeader.FFileType[0], 9) << "bytes the handler does not name keep their value";

    TMemoryStream empty;
    RestoreTestProfileDefaults(empty, 1.0);
    EXPECT_TRUE(empty.empty());
}

TEST(ProfileStore, FilePathSetterAcceptsOnlyExistingFolders) {
    FakePlatform p;
    TuiProfile s(p.registry, p.files);
    s.SetFilePath(u"C:\\nowhere");
    EXPECT_EQ(s.FilePath(), u"");
    s.SetFilePath(u"C:\\Users\\gamer\\Documents");
    EXPECT_EQ(s.FilePath(), u"C:\\Users\\gamer\\Documents\\");
}

}  // namespace
}  // namespace vxm
