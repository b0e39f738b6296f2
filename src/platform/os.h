#pragma once
// The version of the operating system the program runs on.
namespace vxm::platform {

struct OsVersion {
    unsigned platformId = 2;  // VER_PLATFORM_WIN32_NT
    unsigned major = 10;

    // Windows Vista and later: Core Audio instead of the legacy mixer.
    bool IsNt6OrLater() const { return platformId == 2 && major >= 6; }
};

class IOsVersion {
public:
    virtual ~IOsVersion() = default;
    virtual OsVersion GetOsVersion() = 0;
};

}  // namespace vxm::platform
