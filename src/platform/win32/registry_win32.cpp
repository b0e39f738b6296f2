#include "platform/win32/registry_win32.h"

#include <windows.h>

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

}  // namespace vxm::win32
