#include "profile/profile_store.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/errors.h"

namespace vxm {

using platform::RegRoot;

void TuiProfile::SetFilePath(u16view path) {
    if (path == FFilePath || !files_.DirectoryExists(path)) return;
    FFilePath = WithTrailingBackslash(u16(path));
}

void TuiProfile::SetSize(std::int64_t size) {
    if (size == FSize) return;
    if (size < 0 || static_cast<std::uint64_t>(size) > 0x7FFFFFFF) throw RangeError("stream size out of range");
    FSize = size;
    FMemoryStream.resize(static_cast<std::size_t>(size));
}

int TuiProfile::Write(const void* Buffer, int Count) {
    if (Count <= 0) return 0;
    const auto n = static_cast<std::size_t>(Count);
    if (FMemoryStream.size() < n) FMemoryStream.resize(n);
    std::memcpy(FMemoryStream.data(), Buffer, n);
    FSize = static_cast<std::int64_t>(FMemoryStream.size());
    return Count;
}

int TuiProfile::Read(void* Buffer, int Count) const {
    if (Count <= 0) return 0;
    const std::size_t n = std::min(FMemoryStream.size(), static_cast<std::size_t>(Count));
    if (n) std::memcpy(Buffer, FMemoryStream.data(), n);
    return static_cast<int>(n);
}

bool TuiProfile::Before(const TuiProfileEvent& ev) {
    if (!ev) return true;
    bool go = true;
    ev(FMemoryStream, go);
    return go;
}

bool TuiProfile::RegistryTargetValid() const {
    return (FRootKey == RegRoot::CurrentUser || FRootKey == RegRoot::LocalMachine) && !FKeyPath.empty() &&
           !FFileName.empty();
}

std::unique_ptr<platform::IRegistryKey> TuiProfile::OpenTargetKey(const TuiProfileEvent& before) {
    if (!Before(before)) return nullptr;
    if (!RegistryTargetValid()) return nullptr;
    long error = 0;
    // A key that cannot be opened is a failed load or save: the stream and
    // the registry stay as they were.
    return registry_.OpenKey(FRootKey, FKeyPath, true, error);
}

namespace {
StoreError Failed(const char* what, u16view name, long rc) {
    return StoreError(std::string("cannot ") + what + " \"" + Utf8(name) + "\" (error " + std::to_string(rc) + ")");
}
}  // namespace

bool TuiProfile::LoadStreamFromRegistry() {
    auto key = OpenTargetKey(OnBeforeLoadFromRegistry);
    if (!key) return false;
    if (!key->ValueExists(FFileName)) return false;
    platform::RegValue value;
    const long rc = key->QueryValue(FFileName, value);
    if (rc != platform::kErrorSuccess) throw Failed("read registry value", FFileName, rc);
    if (value.type != platform::kRegBinary) {
        throw StoreError("registry value \"" + Utf8(FFileName) + "\" is of type " + std::to_string(value.type) +
                         ", not binary");
    }
    FMemoryStream = std::move(value.data);
    key.reset();
    if (OnAfterLoadFromRegistry) OnAfterLoadFromRegistry(FMemoryStream);
    return true;
}

bool TuiProfile::SaveStreamToRegistry() {
    auto key = OpenTargetKey(OnBeforeSaveToRegistry);
    if (!key) return false;
    const long rc = key->SetValue(FFileName, platform::kRegBinary, FMemoryStream.data(), FMemoryStream.size());
    if (rc != platform::kErrorSuccess) throw Failed("write registry value", FFileName, rc);
    key.reset();
    if (OnAfterSaveToRegistry) OnAfterSaveToRegistry(FMemoryStream);
    return true;
}

bool TuiProfile::ReadWholeFile(u16view path) {
    TMemoryStream bytes;
    const long rc = files_.ReadFile(path, bytes);
    if (rc != platform::kErrorSuccess) throw Failed("read file", path, rc);
    FMemoryStream = std::move(bytes);
    return true;
}

void TuiProfile::WriteWholeFile(u16view path) {
    const long rc = files_.WriteFile(path, FMemoryStream.data(), FMemoryStream.size());
    if (rc != platform::kErrorSuccess) throw Failed("write file", path, rc);
}

bool TuiProfile::LoadStreamFromFile() {
    if (!Before(OnBeforeLoadFromFile)) return false;
    if (FFilePath.empty()) return false;
    FFilePath = WithTrailingBackslash(FFilePath);
    const u16 full = FFilePath + FFileName;
    if (!files_.FileExists(full)) return false;
    ReadWholeFile(full);
    if (OnAfterLoadFromFile) OnAfterLoadFromFile(FMemoryStream);
    return true;
}

bool TuiProfile::LoadStreamFromFile(u16view strFilewithpath) {
    if (!files_.FileExists(strFilewithpath)) return false;
    if (!Before(OnBeforeLoadFromFile)) return false;
    if (!files_.FileExists(strFilewithpath)) return false;
    ReadWholeFile(strFilewithpath);
    if (OnAfterLoadFromFile) OnAfterLoadFromFile(FMemoryStream);
    return true;
}

bool TuiProfile::SaveStreamToFile() {
    if (!Before(OnBeforeSaveToFile)) return false;
    if (FFilePath.empty()) return false;
    FFilePath = WithTrailingBackslash(FFilePath);
    WriteWholeFile(FFilePath + FFileName);
    if (OnAfterSaveToFile) OnAfterSaveToFile(FMemoryStream);
    return true;
}

bool TuiProfile::EnsureFolder(u16view folder) {
    if (folder.empty()) return true;
    return files_.DirectoryExists(folder) || files_.CreateFolder(folder);
}

bool TuiProfile::SaveStreamToFile(u16view strFileWithPath) {
    u16 folder, name;
    SplitPath(strFileWithPath, folder, name);
    if (!EnsureFolder(folder)) return false;
    if (!Before(OnBeforeSaveToFile)) return false;
    WriteWholeFile(strFileWithPath);
    if (OnAfterSaveToFile) OnAfterSaveToFile(FMemoryStream);
    return true;
}

bool TuiProfile::PreSaveStreamToFile(u16view strFileWithPath) {
    u16 folder, name;
    SplitPath(strFileWithPath, folder, name);
    if (!EnsureFolder(folder)) return false;
    FFilePath = folder;
    FFileName = name;
    return true;
}

void TuiProfile::RestoreToDefault() {
    if (!OnRestoreToDefault) return;
    // An empty stream stays empty (the test handler relies on it); a short
    // one is extended with zeros so that no handler writes past its end.
    if (!FMemoryStream.empty() && FMemoryStream.size() < RecordSize) FMemoryStream.resize(RecordSize, 0);
    OnRestoreToDefault(FMemoryStream);
}

void TuiProfile::Clear() {
    FMemoryStream.clear();
    FRootKey = RegRoot::None;
    FKeyPath.clear();
    FFileName.clear();
    FFilePath.clear();
    FSize = 0;
}

}  // namespace vxm
