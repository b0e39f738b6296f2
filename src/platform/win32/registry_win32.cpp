#include "platform/win32/win32_platform.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

class RegistryKey final : public platform::IRegistryKey {
public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() override { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool ValueExists(u16view name) override {
        const std::wstring n = W(name);
        return RegQueryValueExW(key_, n.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    long QueryValue(u16view name, platform::RegValue& out) override {
        const std::wstring n = W(name);
        // The value may change size between the size query and the read.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = 0;
            DWORD size = 0;
            LONG rc = RegQueryValueExW(key_, n.c_str(), nullptr, &type, nullptr, &size);
            if (rc != ERROR_SUCCESS) return rc;
            out.data.assign(size, 0);
            rc = RegQueryValueExW(key_, n.c_str(), nullptr, &type, out.data.empty() ? nullptr : out.data.data(), &size);
            if (rc == ERROR_MORE_DATA) continue;
            if (rc != ERROR_SUCCESS) return rc;
            out.data.resize(size);
            out.type = type;
            return ERROR_SUCCESS;
        }
        return ERROR_MORE_DATA;
    }

    long SetValue(u16view name, std::uint32_t type, const std::uint8_t* data, std::size_t size) override {
        if (size > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
        const std::wstring n = W(name);
        return RegSetValueExW(key_, n.c_str(), 0, type, data, static_cast<DWORD>(size));
    }

private:
    HKEY key_;
};

HKEY RootHandle(platform::RegRoot root) {
    switch (root) {
        case platform::RegRoot::CurrentUser: return HKEY_CURRENT_USER;
        case platform::RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case platform::RegRoot::None: break;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<platform::IRegistryKey> Registry::OpenKey(platform::RegRoot root, u16view path, bool create,
                                                          long& error) {
    HKEY rootKey = RootHandle(root);
    if (!rootKey) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    const std::wstring p = W(path);
    HKEY key = nullptr;
    LONG rc;
    if (create) {
        rc = RegCreateKeyExW(rootKey, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                             &key, nullptr);
    } else {
        rc = RegOpenKeyExW(rootKey, p.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    }
    error = rc;
    if (rc != ERROR_SUCCESS) return nullptr;
    return std::make_unique<RegistryKey>(key);
}

bool FileSystem::FileExists(u16view path) {
    const DWORD a = GetFileAttributesW(W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSystem::DirectoryExists(u16view path) {
    const DWORD a = GetFileAttributesW(W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSystem::CreateFolder(u16view path) { return CreateDirectoryW(W(path).c_str(), nullptr) != 0; }

long FileSystem::ReadFile(u16view path, std::vector<std::uint8_t>& out) {
    // No record comes near this; refuse rather than allocate.
    return ReadFileAtMost(path, 0x7FFFFFFF, out);
}

long FileSystem::ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) {
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<long>(GetLastError());
    long rc = ERROR_SUCCESS;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) {
        rc = static_cast<long>(GetLastError());
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxSize) {
        rc = ERROR_FILE_TOO_LARGE;
    } else {
        out.assign(static_cast<std::size_t>(size.QuadPart), 0);
        std::size_t done = 0;
        while (done < out.size()) {
            DWORD got = 0;
            if (!::ReadFile(h, out.data() + done, static_cast<DWORD>(out.size() - done), &got, nullptr)) {
                rc = static_cast<long>(GetLastError());
                break;
            }
            if (got == 0) break;  // the file shrank while we read it
            done += got;
        }
        out.resize(done);
    }
    CloseHandle(h);
    return rc;
}

long FileSystem::WriteFile(u16view path, const std::uint8_t* data, std::size_t size) {
    HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<long>(GetLastError());
    long rc = ERROR_SUCCESS;
    std::size_t done = 0;
    while (done < size) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(size - done > 0x40000000u ? 0x40000000u : size - done);
        if (!::WriteFile(h, data + done, chunk, &put, nullptr)) {
            rc = static_cast<long>(GetLastError());
            break;
        }
        done += put;
    }
    if (!CloseHandle(h) && rc == ERROR_SUCCESS) rc = static_cast<long>(GetLastError());
    return rc;
}

u16 IniReader::ReadString(u16view file, u16view section, u16view key, u16view defaultValue) {
    const std::wstring f = W(file), s = W(section), k = W(key), d = W(defaultValue);
    std::wstring buffer(256, L'\0');
    for (;;) {
        const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), f.c_str());
        // A full buffer (size - 1) means the value may have been cut.
        if (n + 1 < buffer.size() || buffer.size() >= 65536) {
            buffer.resize(n);
            return U(buffer);
        }
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

u16 SystemPaths::ExecutableFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return u16();
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
    const auto slash = buffer.find_last_of(L"\\/");
    return U(slash == std::wstring::npos ? std::wstring() : buffer.substr(0, slash + 1));
}

u16 SystemPaths::PersonalDocumentsFolder() {
    PIDLIST_ABSOLUTE pidl = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, &pidl) != S_OK || !pidl) return u16();
    wchar_t path[MAX_PATH + 1] = {};
    const BOOL ok = SHGetPathFromIDListW(pidl, path);
    CoTaskMemFree(pidl);
    return ok ? U(path) : u16();
}

}  // namespace vxm::win32

namespace vxm::win32 {

double Clock::LocalDateTime() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    FILETIME ft{};
    SystemTimeToFileTime(&local, &ft);  // local fields read as if UTC: no zone shift
    const ULONGLONG ticks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    constexpr double kTicksPerDay = 864000000000.0;
    constexpr double kDaysFrom1601To1899 = 109205.0;  // 1601-01-01 to 1899-12-30
    return static_cast<double>(ticks) / kTicksPerDay - kDaysFrom1601To1899;
}

}  // namespace vxm::win32
