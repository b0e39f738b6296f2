#include "platform/linux/registry_linux.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "platform/linux/posix.h"

namespace vxm::linuxos {
namespace {

constexpr const char* kTypeNames[] = {
    "REG_NONE",          "REG_SZ",          "REG_EXPAND_SZ",
    "REG_BINARY",        "REG_DWORD",       "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",          "REG_MULTI_SZ",    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR", "REG_RESOURCE_REQUIREMENTS_LIST", "REG_QWORD",
};
constexpr std::uint32_t kNamedTypes = sizeof(kTypeNames) / sizeof(kTypeNames[0]);

// One file that stands for the value asked for.
struct Candidate {
    std::string file;
    std::string namePart;
    std::optional<std::uint32_t> type;
    timespec modified{};
};

bool Newer(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Opens the folder `name` of `dirFd`, or the one whose name differs only in
// case; with `create`, makes it when there is none.
UniqueFd OpenFolderNoCase(int dirFd, const std::string& name, bool create, long& error) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    for (int attempt = 0; attempt < 3; ++attempt) {
        UniqueFd fd(::openat(dirFd, name.c_str(), kFlags));
        if (fd.Valid()) return fd;
        if (errno != ENOENT) {
            error = WindowsError(errno);
            return UniqueFd();
        }
        UniqueFd scan(::dup(dirFd));
        if (DIR* dir = scan.Valid() ? ::fdopendir(scan.Get()) : nullptr) {
            scan.Release();  // the stream owns it now
            ::rewinddir(dir);
            std::string best;
            while (const dirent* entry = ::readdir(dir)) {
                const std::string_view n(entry->d_name);
                if (EqualsNoCaseAscii(n, name) && (best.empty() || n < best)) best = std::string(n);
            }
            ::closedir(dir);
            if (!best.empty()) {
                fd.Reset(::openat(dirFd, best.c_str(), kFlags));
                if (fd.Valid()) return fd;
                if (errno != ENOENT) {
                    error = WindowsError(errno);
                    return UniqueFd();
                }
                continue;  // gone meanwhile: look again
            }
        }
        if (!create) {
            error = platform::kErrorFileNotFound;
            return UniqueFd();
        }
        if (::mkdirat(dirFd, name.c_str(), 0700) != 0 && errno != EEXIST) {
            error = WindowsError(errno);
            return UniqueFd();
        }
    }
    error = platform::kErrorFileNotFound;
    return UniqueFd();
}

class RegistryKey final : public platform::IRegistryKey {
public:
    explicit RegistryKey(UniqueFd fd) : fd_(std::move(fd)) {}

    bool ValueExists(u16view name) override { return !Candidates(EscapeRegistryName(name, false)).empty(); }

    long QueryValue(u16view name, platform::RegValue& out) override {
        const std::vector<Candidate> all = Candidates(EscapeRegistryName(name, false));
        if (all.empty()) return platform::kErrorFileNotFound;
        const Candidate* best = Best(all);
        if (!best) return kErrorFileCorrupt;
        std::vector<std::uint8_t> data;
        const long rc = ReadRegularFileAt(fd_.Get(), best->file, kMaxRegistryValueSize, data);
        if (rc == platform::kErrorFileNotFound) return kErrorFileCorrupt;  // replaced while we looked
        if (rc != platform::kErrorSuccess) return rc;
        out.type = *best->type;
        out.data = std::move(data);
        return platform::kErrorSuccess;
    }

    long SetValue(u16view name, std::uint32_t type, const std::uint8_t* data, std::size_t size) override {
        if (size > kMaxRegistryValueSize || (size > 0 && !data)) return platform::kErrorInvalidParameter;
        const std::string escaped = EscapeRegistryName(name, false);
        const std::vector<Candidate> before = Candidates(escaped);
        // An existing value keeps the spelling of its name.
        const Candidate* kept = Best(before);
        const std::string file = (kept ? kept->namePart : escaped) + "." + RegistryTypeSuffix(type);
        const long rc = ReplaceFileAt(fd_.Get(), file, data, size, 0600);
        if (rc != platform::kErrorSuccess) return rc;
        // Files of the same value under another type or spelling go, but only
        // those there before: a writer racing us with another type keeps its
        // file, and the newer of the two counts.
        for (const Candidate& c : before) {
            if (c.file != file) ::unlinkat(fd_.Get(), c.file.c_str(), 0);
        }
        return platform::kErrorSuccess;
    }

private:
    // Every regular file of this folder named for the value `escaped`.
    std::vector<Candidate> Candidates(const std::string& escaped) const {
        std::vector<Candidate> out;
        UniqueFd scan(::dup(fd_.Get()));
        DIR* dir = scan.Valid() ? ::fdopendir(scan.Get()) : nullptr;
        if (!dir) return out;
        scan.Release();
        ::rewinddir(dir);
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view n(entry->d_name);
            const std::size_t dot = n.rfind('.');
            if (dot == std::string_view::npos || !EqualsNoCaseAscii(n.substr(0, dot), escaped)) continue;
            struct stat st {};
            if (::fstatat(fd_.Get(), entry->d_name, &st, 0) != 0 || S_ISDIR(st.st_mode)) continue;
            Candidate c;
            c.file = std::string(n);
            c.namePart = std::string(n.substr(0, dot));
            std::uint32_t type = 0;
            if (S_ISREG(st.st_mode) && ParseRegistryTypeSuffix(n.substr(dot + 1), type)) c.type = type;
            c.modified = st.st_mtim;
            out.push_back(std::move(c));
        }
        ::closedir(dir);
        return out;
    }

    // The newest file with a valid type (the first by name among equals).
    static const Candidate* Best(const std::vector<Candidate>& all) {
        const Candidate* best = nullptr;
        for (const Candidate& c : all) {
            if (!c.type) continue;
            if (!best || Newer(c.modified, best->modified) ||
                (SameTime(c.modified, best->modified) && c.file < best->file)) {
                best = &c;
            }
        }
        return best;
    }

    UniqueFd fd_;
};

const char* RootFolderName(platform::RegRoot root) {
    switch (root) {
        case platform::RegRoot::CurrentUser: return "HKEY_CURRENT_USER";
        case platform::RegRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
        case platform::RegRoot::None: break;
    }
    return nullptr;
}

}  // namespace

std::string EscapeRegistryName(u16view name, bool keyName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = Utf8(name);
    std::string out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '%' || (keyName && c == '.')) {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::string RegistryTypeSuffix(std::uint32_t type) {
    if (type < kNamedTypes) return kTypeNames[type];
    return "REG_" + std::to_string(type);
}

bool ParseRegistryTypeSuffix(std::string_view suffix, std::uint32_t& type) {
    for (std::uint32_t i = 0; i < kNamedTypes; ++i) {
        if (EqualsNoCaseAscii(suffix, kTypeNames[i])) {
            type = i;
            return true;
        }
    }
    if (suffix.size() < 5 || suffix.size() > 14 || !EqualsNoCaseAscii(suffix.substr(0, 4), "REG_")) return false;
    const std::string_view digits = suffix.substr(4);
    if (digits.size() > 1 && digits[0] == '0') return false;
    unsigned long long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 0xFFFFFFFFull) return false;
    type = static_cast<std::uint32_t>(value);
    return true;
}

Registry::Registry(std::string folder) : folder_(std::move(folder)) {}

std::string Registry::DefaultFolder() {
    const std::string config = ConfigHome();
    return config.empty() ? std::string() : config + "/vxmmon/registry";
}

std::unique_ptr<platform::IRegistryKey> Registry::OpenKey(platform::RegRoot root, u16view path, bool create,
                                                          long& error) {
    const char* rootName = RootFolderName(root);
    if (!rootName) {
        error = platform::kErrorInvalidHandle;
        return nullptr;
    }
    if (folder_.empty() || folder_[0] != '/') {
        error = kErrorPathNotFound;
        return nullptr;
    }
    // The store's own folders, made on the first write.
    UniqueFd current(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<std::string> levels;
    for (std::size_t pos = 1; pos <= folder_.size();) {
        std::size_t end = folder_.find('/', pos);
        if (end == std::string::npos) end = folder_.size();
        if (end > pos) levels.push_back(folder_.substr(pos, end - pos));
        pos = end + 1;
    }
    levels.emplace_back(rootName);
    for (const std::string& level : levels) {
        UniqueFd next(::openat(current.Get(), level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!next.Valid() && errno == ENOENT && create) {
            if (::mkdirat(current.Get(), level.c_str(), 0700) == 0 || errno == EEXIST) {
                next.Reset(::openat(current.Get(), level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            }
        }
        if (!next.Valid()) {
            error = WindowsError(errno);
            return nullptr;
        }
        current = std::move(next);
    }
    // Key path components, separated by "\" as on Windows.
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find(u'\\', pos);
        if (end == u16view::npos) end = path.size();
        if (end > pos) {
            const std::string name = EscapeRegistryName(path.substr(pos, end - pos), true);
            UniqueFd next = OpenFolderNoCase(current.Get(), name, create, error);
            if (!next.Valid()) return nullptr;
            current = std::move(next);
        }
        pos = end + 1;
    }
    error = platform::kErrorSuccess;
    return std::make_unique<RegistryKey>(std::move(current));
}

}  // namespace vxm::linuxos
