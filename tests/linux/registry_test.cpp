// The registry on files: what lands on disk, names without case, values
// replaced whole even when the writer dies, and damaged value files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/linux/posix.h"
#include "platform/linux/registry_linux.h"
#include "temp_dir.h"

namespace vxm::linuxos {
namespace {

using platform::RegRoot;
using platform::RegValue;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> b) { return std::vector<std::uint8_t>(b.begin(), b.end()); }

struct Store {
    testing::TempDir dir;
    Registry registry{dir / "registry"};
    std::string KeyFolder(const std::string& path) const { return dir / ("registry/HKEY_CURRENT_USER/" + path); }
    std::unique_ptr<platform::IRegistryKey> Open(u16view path, bool create, long* error = nullptr) {
        long e = -1;
        auto key = registry.OpenKey(RegRoot::CurrentUser, path, create, e);
        if (error) *error = e;
        return key;
    }
};

TEST(Registry, ValueFileIsTheRecordImageAndNamesMatchWithoutCase) {
    Store s;
    auto key = s.Open(u"software\\software\\zrngmmouse", true);
    ASSERT_TRUE(key);
    const std::vector<std::uint8_t> record = Bytes({0, 1, 2, 0xFF, 0, 0x80});
    ASSERT_EQ(key->SetValue(u"Game1", platform::kRegBinary, record.data(), record.size()), 0);
    const std::uint8_t id[4] = {3, 0, 0, 0};
    ASSERT_EQ(key->SetValue(u"ProfileID", platform::kRegDword, id, 4), 0);
    key.reset();

    // Exactly the bytes, nothing around them: a .pfd copy of it is the record.
    EXPECT_EQ(testing::ReadBytes(s.KeyFolder("software/software/zrngmmouse/Game1.REG_BINARY")),
              std::string(record.begin(), record.end()));
    EXPECT_EQ(testing::ReadBytes(s.KeyFolder("software/software/zrngmmouse/ProfileID.REG_DWORD")),
              std::string("\x03\0\0\0", 4));

    long error = -1;
    auto again = s.Open(u"SOFTWARE\\Software\\ZRNGMMOUSE", false, &error);
    ASSERT_TRUE(again) << error;
    EXPECT_TRUE(again->ValueExists(u"game1"));
    RegValue v;
    ASSERT_EQ(again->QueryValue(u"GAME1", v), 0);
    EXPECT_EQ(v.type, platform::kRegBinary);
    EXPECT_EQ(v.data, record);
    ASSERT_EQ(again->QueryValue(u"profileid", v), 0);
    EXPECT_EQ(v.type, platform::kRegDword);
    EXPECT_EQ(v.data, Bytes({3, 0, 0, 0}));

    // A write under another spelling keeps the name as it was created.
    ASSERT_EQ(again->SetValue(u"PROFILEID", platform::kRegDword, id, 4), 0);
    EXPECT_TRUE(testing::Exists(s.KeyFolder("software/software/zrngmmouse/ProfileID.REG_DWORD")));
    EXPECT_FALSE(testing::Exists(s.KeyFolder("software/software/zrngmmouse/PROFILEID.REG_DWORD")));
}

TEST(Registry, OpeningKeysAndRoots) {
    Store s;
    long error = -1;
    EXPECT_FALSE(s.Open(u"software\\missing", false, &error));
    EXPECT_EQ(error, platform::kErrorFileNotFound);
    EXPECT_FALSE(testing::Exists(s.dir / "registry"));  // a read creates nothing

    EXPECT_FALSE(s.registry.OpenKey(RegRoot::None, u"software", true, error));
    EXPECT_EQ(error, platform::kErrorInvalidHandle);

    ASSERT_TRUE(s.Open(u"software\\a\\b", true, &error));
    EXPECT_EQ(error, 0);
    struct stat st {};
    ASSERT_EQ(::stat(s.KeyFolder("software/a/b").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);  // the user's own, as HKCU is
    EXPECT_TRUE(s.Open(u"Software\\A\\B", false));
    EXPECT_TRUE(s.registry.OpenKey(RegRoot::LocalMachine, u"software", true, error));
    EXPECT_TRUE(testing::Exists(s.dir / "registry/HKEY_LOCAL_MACHINE/software"));

    auto key = s.Open(u"software\\a", false);
    RegValue v;
    EXPECT_FALSE(key->ValueExists(u"nothing"));
    EXPECT_EQ(key->QueryValue(u"nothing", v), platform::kErrorFileNotFound);
    EXPECT_FALSE(key->ValueExists(u"b"));  // a subkey is no value
}

TEST(Registry, NamesCannotLeaveTheStoreOrCollide) {
    Store s;
    auto key = s.Open(u"software\\..\\..\\..\\x.REG_SZ", true);
    ASSERT_TRUE(key);
    EXPECT_TRUE(testing::Exists(s.KeyFolder("software/%2E%2E/%2E%2E/%2E%2E/x%2EREG_SZ")));
    EXPECT_FALSE(testing::Exists(s.dir / "x.REG_SZ"));
    const std::uint8_t b[1] = {1};
    ASSERT_EQ(key->SetValue(u"a/b%", platform::kRegBinary, b, 1), 0);
    ASSERT_EQ(key->SetValue(u"", platform::kRegSz, b, 1), 0);
    EXPECT_TRUE(testing::Exists(s.KeyFolder("software/%2E%2E/%2E%2E/%2E%2E/x%2EREG_SZ/a%2Fb%25.REG_BINARY")));
    RegValue v;
    EXPECT_EQ(key->QueryValue(u"a/b%", v), 0);
    EXPECT_EQ(key->QueryValue(u"", v), 0);
    EXPECT_EQ(v.type, platform::kRegSz);
    // A value named like a subkey and a subkey named like a value file.
    auto parent = s.Open(u"software", false);
    ASSERT_EQ(parent->SetValue(u"..", platform::kRegBinary, b, 1), 0);
    EXPECT_EQ(parent->QueryValue(u"..", v), 0);
    EXPECT_TRUE(s.Open(u"software\\..", false));
}

TEST(Registry, TypeChangeLeavesOneValueAndTheNewerFileWins) {
    Store s;
    auto key = s.Open(u"software\\t", true);
    const std::uint8_t dword[4] = {5, 0, 0, 0};
    ASSERT_EQ(key->SetValue(u"ProfileID", platform::kRegDword, dword, 4), 0);
    ASSERT_EQ(key->SetValue(u"ProfileID", platform::kRegBinary, dword, 2), 0);
    EXPECT_FALSE(testing::Exists(s.KeyFolder("software/t/ProfileID.REG_DWORD")));
    RegValue v;
    ASSERT_EQ(key->QueryValue(u"ProfileID", v), 0);
    EXPECT_EQ(v.type, platform::kRegBinary);
    EXPECT_EQ(v.data.size(), 2u);

    // What a writer that died between its rename and the clean-up leaves:
    // two files of the value; the one written last counts.
    testing::WriteBytes(s.KeyFolder("software/t/Mode.REG_DWORD"), std::string("\x01\0\0\0", 4));
    testing::WriteBytes(s.KeyFolder("software/t/mode.REG_BINARY"), "new");
    const timespec older[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, s.KeyFolder("software/t/Mode.REG_DWORD").c_str(), older, 0), 0);
    ASSERT_EQ(key->QueryValue(u"MODE", v), 0);
    EXPECT_EQ(v.type, platform::kRegBinary);
    EXPECT_EQ(std::string(v.data.begin(), v.data.end()), "new");
    // The next write keeps one file, under the spelling that counted.
    ASSERT_EQ(key->SetValue(u"MODE", platform::kRegDword, dword, 4), 0);
    EXPECT_FALSE(testing::Exists(s.KeyFolder("software/t/Mode.REG_DWORD")));
    EXPECT_FALSE(testing::Exists(s.KeyFolder("software/t/mode.REG_BINARY")));
    EXPECT_TRUE(testing::Exists(s.KeyFolder("software/t/mode.REG_DWORD")));
    // Unknown type numbers keep their number.
    ASSERT_EQ(key->SetValue(u"odd", 0x12345678u, dword, 1), 0);
    ASSERT_EQ(key->QueryValue(u"odd", v), 0);
    EXPECT_EQ(v.type, 0x12345678u);
    EXPECT_TRUE(testing::Exists(s.KeyFolder("software/t/odd.REG_305419896")));
}

TEST(Registry, DamagedValueFilesReadAsErrors) {
    Store s;
    auto key = s.Open(u"software\\d", true);
    const std::string folder = s.KeyFolder("software/d/");
    testing::WriteBytes(folder + "Bad.REG_BOGUS", "x");
    testing::WriteBytes(folder + "Num.REG_007", "x");
    testing::WriteBytes(folder + "Big.REG_99999999999", "x");
    ASSERT_EQ(::mkfifo((folder + "Fifo.REG_BINARY").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((folder + "Dir.REG_BINARY").c_str(), 0700), 0);
    {
        // A value past the limit is refused, not read into memory.
        const int fd = ::open((folder + "Huge.REG_BINARY").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxRegistryValueSize) + 1), 0);
        ::close(fd);
    }
    RegValue v;
    for (const char16_t* name : {u"Bad", u"Num", u"Big"}) {
        EXPECT_TRUE(key->ValueExists(name));
        EXPECT_EQ(key->QueryValue(name, v), kErrorFileCorrupt);
    }
    EXPECT_TRUE(key->ValueExists(u"Fifo"));
    EXPECT_NE(key->QueryValue(u"Fifo", v), 0);  // and it does not wait for a writer
    EXPECT_FALSE(key->ValueExists(u"Dir"));
    EXPECT_EQ(key->QueryValue(u"Huge", v), platform::kErrorFileTooLarge);

    // A stray file beside a good one does not hide it.
    const std::uint8_t b[2] = {7, 7};
    ASSERT_EQ(key->SetValue(u"Bad", platform::kRegBinary, b, 2), 0);
    ASSERT_EQ(key->QueryValue(u"Bad", v), 0);
    EXPECT_EQ(v.data, Bytes({7, 7}));
    // A temporary file of a writer that died is no value.
    testing::WriteBytes(folder + "%tmp%1-1", "half");
    EXPECT_FALSE(key->ValueExists(u"%tmp%1-1"));
    EXPECT_EQ(key->SetValue(u"v", platform::kRegBinary, b, kMaxRegistryValueSize + 1), platform::kErrorInvalidParameter);
}

TEST(Registry, AWriterKilledAtAnyMomentLeavesTheOldValueOrTheNew) {
    Store s;
    ASSERT_TRUE(s.Open(u"software\\crash", true));
    constexpr std::size_t kSize = 1 << 20;
    {
        const std::vector<std::uint8_t> first(kSize, 0);
        ASSERT_EQ(s.Open(u"software\\crash", false)->SetValue(u"Record", platform::kRegBinary, first.data(), kSize), 0);
    }
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            Registry registry(s.dir / "registry");
            long e = 0;
            auto key = registry.OpenKey(RegRoot::CurrentUser, u"software\\crash", false, e);
            std::vector<std::uint8_t> record(kSize);
            for (std::uint8_t fill = 1;; ++fill) {
                std::fill(record.begin(), record.end(), fill);
                key->SetValue(u"Record", platform::kRegBinary, record.data(), record.size());
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 7 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        RegValue v;
        ASSERT_EQ(s.Open(u"software\\crash", false)->QueryValue(u"Record", v), 0);
        ASSERT_EQ(v.data.size(), kSize) << "round " << round;
        EXPECT_EQ(std::count(v.data.begin(), v.data.end(), v.data[0]), static_cast<long>(kSize)) << "round " << round;
    }
}

}  // namespace
}  // namespace vxm::linuxos
