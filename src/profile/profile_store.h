#pragma once
// TuiProfile: one record's bytes in memory, moved to and from a binary
// registry value or a file.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "common/text.h"
#include "platform/files.h"
#include "platform/registry.h"

namespace vxm {

using TMemoryStream = std::vector<std::uint8_t>;
using TuiProfileOnRestoreToDefault = std::function<void(TMemoryStream& AStream)>;
using TuiProfileEvent = std::function<void(TMemoryStream& AStream, bool& bContinue)>;
using TuiProfileEvent2 = std::function<void(const TMemoryStream& AStream)>;

class TuiProfile {
public:
    TuiProfile(platform::IRegistry& registry, platform::IFileSystem& files) : registry_(registry), files_(files) {}

    platform::RegRoot RootKey() const { return FRootKey; }
    void SetRootKey(platform::RegRoot root) { FRootKey = root; }
    const u16& KeyPath() const { return FKeyPath; }
    void SetKeyPath(u16view path) { FKeyPath = u16(path); }
    const u16& FileName() const { return FFileName; }
    void SetFileName(u16view name) { FFileName = u16(name); }
    const u16& FilePath() const { return FFilePath; }
    // Ignored unless it names an existing folder; stored with a final "\".
    void SetFilePath(u16view path);
    std::int64_t Size() const { return FSize; }
    void SetSize(std::int64_t size);

    // Size of the record the stream holds. Restoring defaults first extends
    // a shorter stream with zeros to this size, so a handler never writes
    // past its end. 0: no extension.
    std::size_t RecordSize = 0;

    TuiProfileOnRestoreToDefault OnRestoreToDefault;
    TuiProfileEvent OnBeforeSaveToRegistry;
    TuiProfileEvent OnBeforeSaveToFile;
    TuiProfileEvent OnBeforeLoadFromRegistry;
    TuiProfileEvent OnBeforeLoadFromFile;
    TuiProfileEvent2 OnAfterSaveToRegistry;
    TuiProfileEvent2 OnAfterSaveToFile;
    TuiProfileEvent2 OnAfterLoadFromRegistry;
    TuiProfileEvent2 OnAfterLoadFromFile;

    int Write(const void* Buffer, int Count);
    int Read(void* Buffer, int Count) const;
    template <typename Record>
    int WriteRecord(const Record& r) { return Write(&r, static_cast<int>(sizeof(Record))); }
    template <typename Record>
    int ReadRecord(Record& r) const { return Read(&r, static_cast<int>(sizeof(Record))); }

    bool LoadStreamFromRegistry();
    bool SaveStreamToRegistry();
    bool LoadStreamFromFile();
    bool LoadStreamFromFile(u16view strFilewithpath);
    bool SaveStreamToFile();
    bool SaveStreamToFile(u16view strFileWithPath);
    bool PreSaveStreamToFile(u16view strFileWithPath);
    void RestoreToDefault();
    // Back to a new component's state: no place, no file, an empty stream.
    // The bound handlers and RecordSize stay.
    void Clear();

    const TMemoryStream& Stream() const { return FMemoryStream; }

private:
    bool Before(const TuiProfileEvent& ev);
    bool RegistryTargetValid() const;
    // The record's key, once `before` let it go on and the place is valid;
    // null otherwise.
    std::unique_ptr<platform::IRegistryKey> OpenTargetKey(const TuiProfileEvent& before);
    bool ReadWholeFile(u16view path);
    void WriteWholeFile(u16view path);
    bool EnsureFolder(u16view folder);

    platform::IRegistry& registry_;
    platform::IFileSystem& files_;
    TMemoryStream FMemoryStream;
    platform::RegRoot FRootKey = platform::RegRoot::None;
    u16 FKeyPath;
    u16 FFileName;
    u16 FFilePath;
    std::int64_t FSize = 0;
};

}  // namespace vxm
