// The files backend against Wine's file system: the answers the fake gives.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/wide.h"
#include "win32/temp_folder.h"

namespace vxm::win32 {
namespace {

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


}  // namespace
}  // namespace vxm::win32
