// The paths backend: the executable's folder and the documents folder.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

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
