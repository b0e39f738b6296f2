// Files, folders and paths on Linux: the core's "\"-composed paths over native
// folders, names without case, whole-file writes, the documents folder and
// the clock.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "platform/linux/files_linux.h"
#include "platform/linux/posix.h"
#include "profile/options.h"
#include "temp_dir.h"

namespace vxm::linuxos {
namespace {

u16 U(const std::string& s) { return Utf16(s); }

TEST(Files, TheCoresBackslashPathsReachNativeFolders) {
    testing::TempDir dir;
    FileSystem fs;
    const u16 documents = U(dir.Path());
    // Composed as the profile paths are: documents + "\" + folder + "\" + name.
    EXPECT_TRUE(fs.CreateFolder(documents + u"\\ZRNProfile"));
    EXPECT_TRUE(fs.DirectoryExists(documents + u"\\ZRNProfile\\"));
    EXPECT_FALSE(fs.CreateFolder(documents + u"\\ZRNProfile\\"));  // it exists, as CreateDirectoryW says
    EXPECT_FALSE(fs.CreateFolder(documents + u"\\no\\such"));       // one level only
    const std::string record("\x01\x00\xFF\x7F", 4);
    ASSERT_EQ(fs.WriteFile(documents + u"\\ZRNProfile\\ZRNProfile1.pfd",
                           reinterpret_cast<const std::uint8_t*>(record.data()), record.size()),
              0);
    EXPECT_EQ(testing::ReadBytes(dir / "ZRNProfile/ZRNProfile1.pfd"), record);
    EXPECT_TRUE(fs.FileExists(documents + u"/ZRNProfile/ZRNProfile1.pfd"));
    std::vector<std::uint8_t> back;
    ASSERT_EQ(fs.ReadFile(documents + u"\\ZRNProfile\\ZRNProfile1.pfd", back), 0);
    EXPECT_EQ(std::string(back.begin(), back.end()), record);
    EXPECT_EQ(fs.WriteFile(documents + u"\\missing\\a.pfd", back.data(), back.size()), kErrorPathNotFound);
    EXPECT_EQ(fs.ReadFile(documents + u"\\missing.pfd", back), platform::kErrorFileNotFound);
}

TEST(Files, TheProfileFolderOfTheCoreLandsInTheDocumentsFolder) {
    testing::TempDir dir;
    ::mkdir((dir / "Docs").c_str(), 0700);
    struct Paths final : platform::ISystemPaths {
        u16 documents;
        u16 ExecutableFolder() override { return u16(); }
        u16 PersonalDocumentsFolder() override { return documents; }
    } paths;
    FileSystem fs;
    TOptionsFromConfigFile options;
    options.ProfileFolder = u"ZRNProfile";
    options.ProfileMacroFolder = u"MacroDB";
    for (const std::string& documents : {dir / "Docs", dir / "Docs/"}) {
        paths.documents = U(documents);
        EXPECT_EQ(GetPersonalDocumentMacroDatabasePath(fs, paths, options),
                  U(documents) + u"\\ZRNProfile\\MacroDB\\MacroSet.MSDB");
        struct stat st {};
        EXPECT_EQ(::stat((dir / "Docs/ZRNProfile/MacroDB").c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
    }
}

TEST(Files, NamesMatchWithoutCaseAndAnExactNameWins) {
    testing::TempDir dir;
    FileSystem fs;
    ::mkdir((dir / "Profiles").c_str(), 0700);
    testing::WriteBytes(dir / "Profiles/Game.PFD", "upper");
    const u16 root = U(dir.Path());
    EXPECT_TRUE(fs.FileExists(root + u"\\profiles\\game.pfd"));
    EXPECT_TRUE(fs.DirectoryExists(root + u"\\PROFILES"));
    EXPECT_FALSE(fs.CreateFolder(root + u"\\PROFILES"));
    std::vector<std::uint8_t> out;
    ASSERT_EQ(fs.ReadFile(root + u"\\profiles\\GAME.pfd", out), 0);
    EXPECT_EQ(std::string(out.begin(), out.end()), "upper");
    // Writing under another spelling replaces the file that is there.
    const std::string text = "again";
    ASSERT_EQ(fs.WriteFile(root + u"\\PROFILES\\game.pfd", reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
              0);
    EXPECT_EQ(testing::ReadBytes(dir / "Profiles/Game.PFD"), "again");
    EXPECT_FALSE(testing::Exists(dir / "Profiles/game.pfd"));
    // Where two spellings exist, the exact one is the file meant.
    testing::WriteBytes(dir / "Profiles/game.pfd", "lower");
    ASSERT_EQ(fs.ReadFile(root + u"\\Profiles\\game.pfd", out), 0);
    EXPECT_EQ(std::string(out.begin(), out.end()), "lower");
    EXPECT_EQ(ResolveNoCase(dir / "PROFILES/new/deeper"), dir / "Profiles/new/deeper");
}

TEST(Files, WholeFileWritesKeepModeAndLinksAndRefuseBadTargets) {
    testing::TempDir dir;
    FileSystem fs;
    testing::WriteBytes(dir / "real.pfd", "old");
    ::chmod((dir / "real.pfd").c_str(), 0640);
    ASSERT_EQ(::symlink((dir / "real.pfd").c_str(), (dir / "link.pfd").c_str()), 0);
    const std::string text = "new content";
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    ASSERT_EQ(fs.WriteFile(U(dir / "link.pfd"), data, text.size()), 0);
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "link.pfd").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat((dir / "real.pfd").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(testing::ReadBytes(dir / "real.pfd"), text);
    // No temporary file is left behind.
    EXPECT_EQ(std::system(("test $(ls -A " + dir.Path() + " | wc -l) -eq 2").c_str()), 0);

    ::mkdir((dir / "folder").c_str(), 0700);
    EXPECT_NE(fs.WriteFile(U(dir / "folder"), data, text.size()), 0);
    EXPECT_NE(fs.WriteFile(U(dir.Path()) + u"\\", data, text.size()), 0);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(fs.ReadFile(U(dir / "folder"), out), platform::kErrorAccessDenied);
    // A FIFO in a file's place is refused at once, not waited on.
    ASSERT_EQ(::mkfifo((dir / "fifo.pfd").c_str(), 0600), 0);
    EXPECT_EQ(fs.ReadFile(U(dir / "fifo.pfd"), out), platform::kErrorAccessDenied);
    EXPECT_EQ(fs.ReadFileAtMost(U(dir / "real.pfd"), 3, out), platform::kErrorFileTooLarge);
    ASSERT_EQ(fs.ReadFileAtMost(U(dir / "real.pfd"), text.size(), out), 0);
    EXPECT_EQ(out.size(), text.size());
}

TEST(Paths, ProgramFolderEndsWithASeparator) {
    SystemPaths paths;
    const u16 folder = paths.ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), u'/');
    FileSystem fs;
    EXPECT_TRUE(fs.DirectoryExists(folder));
    EXPECT_TRUE(fs.FileExists(folder + u"vxm_linux_tests"));
}

TEST(Paths, UserDirsFileNamesTheDocumentsFolder) {
    const std::string home = "/home/u";
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home), "/home/u/Dokumente");
    EXPECT_EQ(DocumentsFolderFromUserDirs("# comment\n  XDG_DOCUMENTS_DIR = \"/data/docs/\"\n", home), "/data/docs");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"", home), "/home/u/My \"Docs\"");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"a\"\nXDG_DOCUMENTS_DIR=\"/b\"\n", home), "/b");
    // Forms the file does not allow, and other folders, name none.
    for (const char* text : {"XDG_DOCUMENTS_DIR=\"relative\"", "XDG_DOCUMENTS_DIR=$HOME/x",
                             "XDG_DOCUMENTS_DIR=\"$HOMEx\"", "XDG_DOCUMENTS_DIR=\"/open", "#XDG_DOCUMENTS_DIR=\"/c\""}) {
        EXPECT_EQ(DocumentsFolderFromUserDirs(text, home), "") << text;
    }
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/x\"", ""), "");
}

TEST(Paths, DocumentsFolderFallsBackToHome) {
    testing::TempDir dir;
    testing::ScopedEnv home("HOME", dir.Path().c_str());
    testing::ScopedEnv config("XDG_CONFIG_HOME", (dir / "cfg").c_str());
    SystemPaths paths;
    EXPECT_EQ(paths.PersonalDocumentsFolder(), U(dir.Path()));  // no user-dirs.dirs
    ::mkdir((dir / "cfg").c_str(), 0700);
    testing::WriteBytes(dir / "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n");
    EXPECT_EQ(paths.PersonalDocumentsFolder(), U(dir.Path()));  // named, but not there
    ::mkdir((dir / "Documents").c_str(), 0700);
    EXPECT_EQ(paths.PersonalDocumentsFolder(), U(dir / "Documents"));
    testing::ScopedEnv relative("XDG_CONFIG_HOME", "cfg");  // not absolute: $HOME/.config
    EXPECT_EQ(paths.PersonalDocumentsFolder(), U(dir.Path()));
}

// The program's own files: the user's copy, then the administrator's (each
// folder of $XDG_CONFIG_DIRS in turn), then the package's; names without case,
// "\"-paths as the core writes them.
TEST(Paths, ProgramFilesComeFromTheUserThenTheSystemThenThePackage) {
    testing::TempDir dir;
    testing::ScopedEnv config("XDG_CONFIG_HOME", (dir / "user").c_str());
    testing::ScopedEnv dirs("XDG_CONFIG_DIRS", ("relative:" + dir / "site" + ":" + dir / "xdg").c_str());
    SystemPaths paths(dir / "share/vxmmon/../vxmmon");
    const std::vector<std::string> folders = paths.ProgramFileFolders();
    ASSERT_EQ(folders.size(), 5u);
    EXPECT_EQ(folders[0], dir / "user/vxmmon/");
    EXPECT_EQ(folders[1], dir / "site/vxmmon/");
    EXPECT_EQ(folders[2], dir / "xdg/vxmmon/");
    EXPECT_EQ(folders[3], Utf8(paths.ExecutableFolder()));
    EXPECT_EQ(folders[4], dir / "share/vxmmon/");
    const u16 icon = u"\\images\\0409\\icons\\logo.ico";
    // In none of them: where the program's folder would hold it.
    EXPECT_EQ(paths.ProgramFile(u"config.ini"), paths.ExecutableFolder() + u"config.ini");
    for (const char* folder : {"share/vxmmon", "xdg/vxmmon", "site/vxmmon", "user/vxmmon"}) {
        ASSERT_EQ(std::system(("mkdir -p " + dir / folder + "/Images/0409/icons").c_str()), 0);
        testing::WriteBytes(dir / folder + "/Config.INI", folder);
        testing::WriteBytes(dir / folder + "/Images/0409/icons/logo.ico", folder);
        EXPECT_EQ(paths.ProgramFile(u"config.ini"), U(dir / folder + "/Config.INI"));
        EXPECT_EQ(paths.ProgramFile(icon), U(dir / folder + "/Images/0409/icons/logo.ico"));
    }
    // A folder in a file's place is passed over.
    ::unlink((dir / "user/vxmmon/Config.INI").c_str());
    ::mkdir((dir / "user/vxmmon/config.ini").c_str(), 0700);
    EXPECT_EQ(paths.ProgramFile(u"config.ini"), U(dir / "site/vxmmon/Config.INI"));
}

TEST(Clock, StampCountsDaysFrom1899AsTheRecordsDo) {
    EXPECT_DOUBLE_EQ(DateTimeStamp(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(DateTimeStamp(1900, 1, 1, 0, 0, 0, 0), 2.0);
    EXPECT_DOUBLE_EQ(DateTimeStamp(2000, 1, 1, 12, 0, 0, 0), 36526.5);
    EXPECT_DOUBLE_EQ(DateTimeStamp(2024, 2, 29, 6, 0, 0, 0), 45351.25);

    // Local time read as it stands: in UTC the stamp follows the epoch.
    testing::ScopedEnv tz("TZ", "UTC");
    ::tzset();
    const double before = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;  // 1970-01-01 is day 25569
    const double now = Clock().LocalDateTime();
    const double after = 25569.0 + static_cast<double>(std::time(nullptr) + 1) / 86400.0;
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
}

}  // namespace
}  // namespace vxm::linuxos
