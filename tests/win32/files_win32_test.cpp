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

int FilesIn(const u16& folder) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(W(folder + u"*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return n;
}

// A write that fails part way (here: a buffer whose second page is not
// there) keeps the old file whole; a target another program holds open is
// still written; nothing is left beside it.
TEST(Win32Files, AFailedWriteKeepsTheOldFileAndNothingIsLeftBeside) {
    FileSystem fs;
    const u16 folder = TempFolder() + u"replace\\";
    ASSERT_TRUE(fs.CreateFolder(folder.substr(0, folder.size() - 1)));
    const u16 file = folder + u"ui.local";
    const std::vector<std::uint8_t> old = {'o', 'l', 'd', 0, 9};
    ASSERT_EQ(fs.WriteFile(file, old.data(), old.size()), 0);

    SYSTEM_INFO si;
    GetSystemInfo(&si);
    auto* pages = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(pages, nullptr);
    ASSERT_NE(VirtualAlloc(pages, si.dwPageSize, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_NE(fs.WriteFile(file, pages, 2 * si.dwPageSize), 0);
    VirtualFree(pages, 0, MEM_RELEASE);
    std::vector<std::uint8_t> back;
    ASSERT_EQ(fs.ReadFile(file, back), 0);
    EXPECT_EQ(back, old);
    EXPECT_EQ(FilesIn(folder), 1);

    // Held open without delete sharing, as an editor might: still written.
    const std::vector<std::uint8_t> next = {'n', 'e', 'w'};
    {
        HANDLE held = CreateFileW(W(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_EQ(fs.WriteFile(file, next.data(), next.size()), 0);
        CloseHandle(held);
    }
    ASSERT_EQ(fs.ReadFile(file, back), 0);
    EXPECT_EQ(back, next);
    // And replaced whole when nobody holds it; the second time too.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(fs.WriteFile(file, old.data(), old.size()), 0);
        ASSERT_EQ(fs.ReadFile(file, back), 0);
        EXPECT_EQ(back, old);
    }
    EXPECT_EQ(FilesIn(folder), 1);
}


}  // namespace
}  // namespace vxm::win32
