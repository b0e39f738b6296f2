// The fakes must answer as the platform does, or tests against them prove
// nothing: names without regard to case, one-level folder creation, INI rules.
#include <gtest/gtest.h>

#include "support/fake_platform.h"

namespace vxm::fake {
namespace {

TEST(FakeRegistry, KeysAndValuesMatchWithoutCaseAndOpenWithoutCreateFails) {
    FakeRegistry reg;
    long err = 0;
    EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, u"Software\\A", false, err), nullptr);
    EXPECT_EQ(err, platform::kErrorFileNotFound);
    EXPECT_EQ(reg.OpenKey(RegRoot::None, u"Software\\A", true, err), nullptr);
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, u"software\\a"));

    auto key = reg.OpenKey(RegRoot::CurrentUser, u"Software\\A", true, err);
    ASSERT_NE(key, nullptr);
    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(key->SetValue(u"Value.pfd", platform::kRegBinary, bytes, 3), 0);
    auto again = reg.OpenKey(RegRoot::CurrentUser, u"SOFTWARE\\a", false, err);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->ValueExists(u"value.PFD"));
    RegValue v;
    EXPECT_EQ(again->QueryValue(u"VALUE.pfd", v), 0);
    EXPECT_EQ(v.type, platform::kRegBinary);
    EXPECT_EQ(v.data, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(reg.KeyExists(RegRoot::LocalMachine, u"Software\\A"));
}

TEST(FakeFileSystem, CreatesOneLevelAndRefusesMissingParents) {
    FakeFileSystem fs;
    EXPECT_TRUE(fs.DirectoryExists(u"C:\\"));
    EXPECT_FALSE(fs.CreateFolder(u"C:\\a\\b"));
    EXPECT_TRUE(fs.CreateFolder(u"C:\\a"));
    EXPECT_FALSE(fs.CreateFolder(u"C:\\A")) << "existing folder";
    EXPECT_TRUE(fs.CreateFolder(u"C:\\a\\b\\"));
    const std::uint8_t data[] = {9};
    EXPECT_EQ(fs.WriteFile(u"c:\\A\\B\\f.pfd", data, 1), 0);
    EXPECT_NE(fs.WriteFile(u"c:\\missing\\f.pfd", data, 1), 0);
    EXPECT_TRUE(fs.FileExists(u"C:\\a\\b\\F.PFD"));
    EXPECT_FALSE(fs.DirectoryExists(u"C:\\a\\b\\F.PFD"));
}

TEST(FakeIni, SectionsAndKeysIgnoreCaseAndEmptyValuesAreNotDefaults) {
    FakePlatform p;
    const u16 file = p.paths.exeFolder + u"config.ini";
    p.files.PutText(file,
                    "; comment\r\n[Other]\r\nProfileRegFolder=wrong\r\n"
                    "[OPTIONS]\r\n  profileregfolder = my folder  \r\nprofileFolder=\r\nquoted=\"a b\"\r\n");
    EXPECT_EQ(p.ini.ReadString(file, u"options", u"ProfileRegFolder", u"d"), u"my folder");
    EXPECT_EQ(p.ini.ReadString(file, u"options", u"profileFolder", u"d"), u"");
    EXPECT_EQ(p.ini.ReadString(file, u"options", u"quoted", u"d"), u"a b");
    EXPECT_EQ(p.ini.ReadString(file, u"options", u"missing", u"d"), u"d");
    EXPECT_EQ(p.ini.ReadString(p.paths.exeFolder + u"none.ini", u"options", u"x", u"d"), u"d");
}

}  // namespace
}  // namespace vxm::fake
