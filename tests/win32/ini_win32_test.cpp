// The INI backend: the same rules as the fake reader.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/ini_win32.h"
#include "platform/win32/wide.h"
#include "win32/temp_folder.h"

namespace vxm::win32 {
namespace {

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


}  // namespace
}  // namespace vxm::win32
