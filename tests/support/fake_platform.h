#pragma once
// In-memory fakes of the platform seams, deterministic and inspectable.
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/system_paths.h"

namespace vxm::fake {

using platform::RegRoot;
using platform::RegValue;

class FakeRegistry final : public platform::IRegistry {
public:
    struct Key {
        std::map<u16, std::pair<u16, RegValue>> values;  // folded name -> (name, value)
    };

    std::unique_ptr<platform::IRegistryKey> OpenKey(RegRoot root, u16view path, bool create, long& error) override;

    // Test helpers.
    bool KeyExists(RegRoot root, u16view path) const;
    const RegValue* Find(RegRoot root, u16view path, u16view name) const;
    void Put(RegRoot root, u16view path, u16view name, std::uint32_t type, std::vector<std::uint8_t> data);
    std::size_t KeyCount() const { return keys_.size(); }
    std::size_t ValueCount(RegRoot root, u16view path) const;
    // Every value, named "root:folded key\\name", for comparing whole registries.
    std::map<u16, RegValue> Snapshot() const;

    long failOpenWith = 0;   // non-zero: every OpenKey fails with this code
    long failWritesWith = 0; // non-zero: every SetValue fails with this code
    int opens = 0;
    int writes = 0;

private:
    friend class FakeRegistryKey;
    static u16 Fold(RegRoot root, u16view path);
    std::map<u16, Key> keys_;
};

class FakeFileSystem final : public platform::IFileSystem {
public:
    FakeFileSystem();

    bool FileExists(u16view path) override;
    bool DirectoryExists(u16view path) override;
    bool CreateFolder(u16view path) override;
    long ReadFile(u16view path, std::vector<std::uint8_t>& out) override;
    long ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) override;
    long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) override;

    // Test helpers.
    void AddDirectories(u16view path);  // every level
    void PutFile(u16view path, std::vector<std::uint8_t> data);
    void PutText(u16view path, std::string_view utf8) { PutFile(path, {utf8.begin(), utf8.end()}); }
    const std::vector<std::uint8_t>* Find(u16view path) const;
    std::size_t FileCount() const { return files_.size(); }
    std::size_t DirectoryCount() const { return dirs_.size(); }
    const std::map<u16, std::vector<std::uint8_t>>& AllFiles() const { return files_; }  // folded paths
    const std::set<u16>& AllDirectories() const { return dirs_; }

    std::set<u16> readOnlyFolders;  // folded folder paths where writes fail
    int writes = 0;

private:
    static u16 Fold(u16view path);
    static u16 Parent(const u16& folded);
    std::set<u16> dirs_;
    std::map<u16, std::vector<std::uint8_t>> files_;
};

// Reads INI text stored in a FakeFileSystem with the platform's rules.
class FakeIniReader final : public platform::IIniReader {
public:
    explicit FakeIniReader(FakeFileSystem& files) : files_(files) {}
    u16 ReadString(u16view file, u16view section, u16view key, u16view defaultValue) override;

private:
    FakeFileSystem& files_;
};

class FakeSystemPaths final : public platform::ISystemPaths {
public:
    u16 ExecutableFolder() override { return exeFolder; }
    u16 PersonalDocumentsFolder() override { return documents; }
    u16 exeFolder = u"C:\\Program Files\\Mouse\\";
    u16 documents = u"C:\\Users\\gamer\\Documents";
};

// Every line, in order, from whichever thread wrote it.
class FakeDebugOutput final : public platform::IDebugOutput {
public:
    void DebugOutput(u16view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(Utf8(text));
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// All fakes wired together, with the folders above already present.
struct FakePlatform {
    FakePlatform() {
        files.AddDirectories(paths.exeFolder);
        files.AddDirectories(paths.documents);
    }
    FakeRegistry registry;
    FakeFileSystem files;
    FakeIniReader ini{files};
    FakeSystemPaths paths;
};

}  // namespace vxm::fake
