#pragma once
// Pass-through registry and file system that note what reached storage:
// values set, files written, folders created. The profile manager records
// its start-up through them, so that what it tells the user after a failed
// start-up is what really happened.
#include <vector>

#include "platform/files.h"
#include "platform/registry.h"

namespace vxm {

class StoreJournal {
public:
    StoreJournal(platform::IRegistry& registry, platform::IFileSystem& files);
    StoreJournal(const StoreJournal&) = delete;
    StoreJournal& operator=(const StoreJournal&) = delete;

    platform::IRegistry& Registry() { return registry_; }
    platform::IFileSystem& Files() { return files_; }

    // Successful writes are appended here while recording, in the order they
    // happened ("registry value ...", "file ...", "folder ...").
    void StartRecording() {
        entries_.clear();
        recording_ = true;
    }
    void StopRecording() { recording_ = false; }
    const std::vector<u16>& Entries() const { return entries_; }

private:
    class Key;
    void Note(u16 entry) {
        if (recording_) entries_.push_back(std::move(entry));
    }

    class JournalRegistry final : public platform::IRegistry {
    public:
        JournalRegistry(StoreJournal& journal, platform::IRegistry& inner) : journal_(journal), inner_(inner) {}
        std::unique_ptr<platform::IRegistryKey> OpenKey(platform::RegRoot root, u16view path, bool create,
                                                        long& error) override;

    private:
        StoreJournal& journal_;
        platform::IRegistry& inner_;
    };

    class JournalFiles final : public platform::IFileSystem {
    public:
        JournalFiles(StoreJournal& journal, platform::IFileSystem& inner) : journal_(journal), inner_(inner) {}
        bool FileExists(u16view path) override { return inner_.FileExists(path); }
        bool DirectoryExists(u16view path) override { return inner_.DirectoryExists(path); }
        bool CreateFolder(u16view path) override;
        long ReadFile(u16view path, std::vector<std::uint8_t>& out) override { return inner_.ReadFile(path, out); }
        long ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) override {
            return inner_.ReadFileAtMost(path, maxSize, out);
        }
        long WriteFile(u16view path, const std::uint8_t* data, std::size_t size) override;

    private:
        StoreJournal& journal_;
        platform::IFileSystem& inner_;
    };

    JournalRegistry registry_;
    JournalFiles files_;
    std::vector<u16> entries_;
    bool recording_ = false;
};

}  // namespace vxm
