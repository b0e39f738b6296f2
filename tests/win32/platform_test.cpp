// The Win32 backends against the real (Wine) registry, files and INI reader:
// they must give the same answers as the fakes the native tests rely on.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/ini_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

using platform::RegRoot;

u16 TempFolder() {
    wchar_t buf[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, buf);
    u16 base = U(buf) + u"vxm_platform_test_" + ToU16(GetCurrentProcessId());
    CreateDirectoryW(W(base).c_str(), nullptr);
    return base + u"\\";
}

TEST(Win32Registry, CreateWriteReadAndMatchWithoutCase) {
    Registry reg;
    long err = 0;
    const u16 path = u"Software\\vxm-test\\" + ToU16(GetCurrentProcessId());
    EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, path, false, err), nullptr);
    EXPECT_NE(err, 0);
    EXPECT_EQ(reg.OpenKey(RegRoot::None, path, true, err), nullptr);

    auto key = reg.OpenKey(RegRoot::CurrentUser, path, true, err);
    ASSERT_NE(key, nullptr) << err;
    std::vector<std::uint8_t> bytes(30964);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_EQ(key->SetValue(u"ProfileSettingGroup.pfd", platform::kRegBinary, bytes.data(), bytes.size()), 0);
    const std::uint32_t id = 3;
    EXPECT_EQ(key->SetValue(u"ProfileID", platform::kRegDword, reinterpret_cast<const std::uint8_t*>(&id), 4), 0);
    key.reset();

    auto again = reg.OpenKey(RegRoot::CurrentUser, u"SOFTWARE\\VXM-TEST\\" + ToU16(GetCurrentProcessId()), false, err);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->ValueExists(u"profilesettinggroup.PFD"));
    EXPECT_FALSE(again->ValueExists(u"missing"));
    platform::RegValue v;
    EXPECT_EQ(again->QueryValue(u"ProfileSettingGroup.pfd", v), 0);
    EXPECT_EQ(v.type, platform::kRegBinary);
    EXPECT_EQ(v.data, bytes);
    EXPECT_EQ(again->QueryValue(u"ProfileID", v), 0);
    EXPECT_EQ(v.type, platform::kRegDword);
    EXPECT_EQ(v.data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(again->QueryValue(u"missing", v), ERROR_FILE_NOT_FOUND);
    again.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\vxm-test");
}

TEST(Win32Files, OneLevelFoldersAndWholeFiles) {
    FileSystem fs;
    const u16 base = TempFolder();
    EXPECT_TRUE(fs.DirectoryExists(base));
    EXPECT_FALSE(fs.CreateFolder(base + u"a\\b"));
    EXPECT_TRUE(fs.CreateFolder(base + u"a"));
    EXPECT_FALSE(fs.CreateFolder(base + u"a"));
    const std::vector<std::uint8_t> data = {1, 2, 3, 0, 255};
    const u16 file = base + u"a\\f.pfd";
    EXPECT_EQ(fs.WriteFile(file, data.data(), data.size()), 0);
    EXPECT_TRUE(fs.FileExists(base + u"A\\F.PFD"));
    EXPECT_FALSE(fs.DirectoryExists(file));
    std::vector<std::uint8_t> back;
    EXPECT_EQ(fs.ReadFile(file, back), 0);
    EXPECT_EQ(back, data);
    EXPECT_EQ(fs.WriteFile(file, data.data(), 2), 0) << "truncates";
    EXPECT_EQ(fs.ReadFile(file, back), 0);
    EXPECT_EQ(back.size(), 2u);
    EXPECT_NE(fs.ReadFile(base + u"none", back), 0);
    EXPECT_NE(fs.WriteFile(base + u"missing\\f", data.data(), 1), 0);
}

TEST(Win32Ini, SectionsAndKeysIgnoreCase) {
    const u16 file = TempFolder() + u"config.ini";
    const char text[] = "[OPTIONS]\r\nProfileRegFolder = my folder \r\nprofileFolder=\r\n";
    FileSystem().WriteFile(file, reinterpret_cast<const std::uint8_t*>(text), sizeof(text) - 1);
    IniReader ini;
    EXPECT_EQ(ini.ReadString(file, u"options", u"profileregfolder", u"d"), u"my folder");
    EXPECT_EQ(ini.ReadString(file, u"options", u"profileFolder", u"d"), u"");
    EXPECT_EQ(ini.ReadString(file, u"options", u"missing", u"d"), u"d");
    EXPECT_EQ(ini.ReadString(file + u".none", u"options", u"x", u"d"), u"d");
}

TEST(Win32Paths, ExecutableAndDocumentsFolders) {
    SystemPaths paths;
    const u16 exe = paths.ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), u'\\');
    EXPECT_TRUE(FileSystem().FileExists(exe + u"win32_platform_tests.exe"));
    const u16 docs = paths.PersonalDocumentsFolder();
    EXPECT_FALSE(docs.empty());
    EXPECT_TRUE(FileSystem().DirectoryExists(docs));
}

}  // namespace
}  // namespace vxm::win32
