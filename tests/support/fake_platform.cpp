#include "support/fake_platform.h"

#include <algorithm>

namespace vxm::fake {
namespace {

u16 FoldText(u16view s) {
    u16 out(s);
    for (auto& c : out) {
        c = AsciiLower(c == u'/' ? u'\\' : c);
    }
    return out;
}

}  // namespace

class FakeRegistryKey final : public platform::IRegistryKey {
public:
    FakeRegistryKey(FakeRegistry& owner, FakeRegistry::Key& key) : owner_(owner), key_(key) {}

    bool ValueExists(u16view name) override { return key_.values.count(FoldText(name)) != 0; }

    long QueryValue(u16view name, RegValue& out) override {
        auto it = key_.values.find(FoldText(name));
        if (it == key_.values.end()) return platform::kErrorFileNotFound;
        out = it->second.second;
        return platform::kErrorSuccess;
    }

    long SetValue(u16view name, std::uint32_t type, const std::uint8_t* data, std::size_t size) override {
        if (owner_.failWritesWith != 0) return owner_.failWritesWith;
        ++owner_.writes;
        key_.values[FoldText(name)] = {u16(name), RegValue{type, std::vector<std::uint8_t>(data, data + size)}};
        return platform::kErrorSuccess;
    }

private:
    FakeRegistry& owner_;
    FakeRegistry::Key& key_;
};

u16 FakeRegistry::Fold(RegRoot root, u16view path) {
    u16 folded = ToU16(static_cast<long long>(root)) + u":" + FoldText(path);
    while (!folded.empty() && folded.back() == u'\\') folded.pop_back();
    return folded;
}

std::unique_ptr<platform::IRegistryKey> FakeRegistry::OpenKey(RegRoot root, u16view path, bool create,
                                                              long& error) {
    ++opens;
    if (root != RegRoot::CurrentUser && root != RegRoot::LocalMachine) {
        error = 6;  // ERROR_INVALID_HANDLE
        return nullptr;
    }
    if (failOpenWith != 0) {
        error = failOpenWith;
        return nullptr;
    }
    const u16 folded = Fold(root, path);
    auto it = keys_.find(folded);
    if (it == keys_.end()) {
        if (!create) {
            error = platform::kErrorFileNotFound;
            return nullptr;
        }
        it = keys_.emplace(folded, Key{}).first;
    }
    error = platform::kErrorSuccess;
    return std::make_unique<FakeRegistryKey>(*this, it->second);
}

bool FakeRegistry::KeyExists(RegRoot root, u16view path) const { return keys_.count(Fold(root, path)) != 0; }

const RegValue* FakeRegistry::Find(RegRoot root, u16view path, u16view name) const {
    auto k = keys_.find(Fold(root, path));
    if (k == keys_.end()) return nullptr;
    auto v = k->second.values.find(FoldText(name));
    return v == k->second.values.end() ? nullptr : &v->second.second;
}

void FakeRegistry::Put(RegRoot root, u16view path, u16view name, std::uint32_t type, std::vector<std::uint8_t> data) {
    keys_[Fold(root, path)].values[FoldText(name)] = {u16(name), RegValue{type, std::move(data)}};
}

std::size_t FakeRegistry::ValueCount(RegRoot root, u16view path) const {
    auto k = keys_.find(Fold(root, path));
    return k == keys_.end() ? 0 : k->second.values.size();
}

std::map<u16, RegValue> FakeRegistry::Snapshot() const {
    std::map<u16, RegValue> all;
    for (const auto& [key, k] : keys_) {
        for (const auto& [name, value] : k.values) all[key + u"\\" + name] = value.second;
    }
    return all;
}

FakeFileSystem::FakeFileSystem() = default;

u16 FakeFileSystem::Fold(u16view path) {
    u16 folded;
    for (char16_t c : FoldText(path)) {
        // Windows treats "a\\b" as "a\b".
        if (c == u'\\' && !folded.empty() && folded.back() == u'\\') continue;
        folded.push_back(c);
    }
    while (folded.size() > 1 && folded.back() == u'\\') folded.pop_back();
    return folded;
}

u16 FakeFileSystem::Parent(const u16& folded) {
    const auto pos = folded.find_last_of(u'\\');
    return pos == u16::npos ? u16() : folded.substr(0, pos);
}

bool FakeFileSystem::FileExists(u16view path) { return files_.count(Fold(path)) != 0; }

bool FakeFileSystem::DirectoryExists(u16view path) {
    const u16 f = Fold(path);
    // A drive root ("c:") always exists.
    return dirs_.count(f) != 0 || (f.size() == 2 && f[1] == u':');
}

bool FakeFileSystem::CreateFolder(u16view path) {
    const u16 f = Fold(path);
    if (f.empty() || DirectoryExists(f) || files_.count(f)) return false;
    const u16 parent = Parent(f);
    if (parent.empty() || !DirectoryExists(parent) || readOnlyFolders.count(parent)) return false;
    dirs_.insert(f);
    return true;
}

long FakeFileSystem::ReadFile(u16view path, std::vector<std::uint8_t>& out) {
    auto it = files_.find(Fold(path));
    if (it == files_.end()) return platform::kErrorFileNotFound;
    out = it->second;
    return platform::kErrorSuccess;
}

long FakeFileSystem::ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) {
    auto it = files_.find(Fold(path));
    if (it == files_.end()) return platform::kErrorFileNotFound;
    if (it->second.size() > maxSize) return platform::kErrorFileTooLarge;
    out = it->second;
    return platform::kErrorSuccess;
}

long FakeFileSystem::WriteFile(u16view path, const std::uint8_t* data, std::size_t size) {
    const u16 f = Fold(path);
    const u16 parent = Parent(f);
    if (!DirectoryExists(parent)) return 3;  // ERROR_PATH_NOT_FOUND
    if (readOnlyFolders.count(parent) || dirs_.count(f)) return platform::kErrorAccessDenied;
    ++writes;
    files_[f] = std::vector<std::uint8_t>(data, data + size);
    return platform::kErrorSuccess;
}

void FakeFileSystem::AddDirectories(u16view path) {
    u16 f = Fold(path);
    while (!f.empty() && !(f.size() == 2 && f[1] == u':')) {
        dirs_.insert(f);
        f = Parent(f);
    }
}

void FakeFileSystem::PutFile(u16view path, std::vector<std::uint8_t> data) {
    const u16 f = Fold(path);
    AddDirectories(Parent(f));
    files_[f] = std::move(data);
}

const std::vector<std::uint8_t>* FakeFileSystem::Find(u16view path) const {
    auto it = files_.find(Fold(path));
    return it == files_.end() ? nullptr : &it->second;
}

u16 FakeIniReader::ReadString(u16view file, u16view section, u16view key, u16view defaultValue) {
    std::vector<std::uint8_t> bytes;
    if (files_.ReadFile(file, bytes) != platform::kErrorSuccess) return u16(defaultValue);
    u16 text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        }
    } else {
        text = Utf16(std::string(bytes.begin(), bytes.end()));
    }
    auto trim = [](u16view s) {
        const auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; };
        while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
        while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
        return s;
    };
    bool inSection = false;
    u16view rest = text;
    while (!rest.empty()) {
        const auto eol = rest.find(u'\n');
        const u16view line = trim(rest.substr(0, eol));
        rest = eol == u16view::npos ? u16view() : rest.substr(eol + 1);
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            const auto close = line.find(u']');
            inSection = close != u16view::npos && EqualsNoCase(trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const auto eq = line.find(u'=');
        if (eq == u16view::npos || !EqualsNoCase(trim(line.substr(0, eq)), key)) continue;
        u16view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return u16(value);
    }
    return u16(defaultValue);
}

}  // namespace vxm::fake
