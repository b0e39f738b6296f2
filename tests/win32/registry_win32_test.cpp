// The registry backend against Wine's registry: the answers the fake gives.
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/win32/registry_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

using platform::RegRoot;

TEST(Win32Registry, CreateWriteReadAndMatchWithoutCase) {
    Registry reg;
    long err = 0;
    const u16 path = u"Software\\vxm-test\\" + ToU16(GetCurrentProcessId());
    EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, path, false, err), nullptr);
    EXPECT_NE(err, 0);
    EXPECT_EQ(reg.OpenKey(RegRoot::None, path, true, err), nullptr);

    auto key = reg.OpenKey(RegRoot::CurrentUser, path, true, err);
    ASSERT_NE(key, nullptr) << err;
    std::vector<std::uint8_t> bytes(30964);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_EQ(key->SetValue(u"ProfileSettingGroup.pfd", platform::kRegBinary, bytes.data(), bytes.size()), 0);
    const std::uint32_t id = 3;
    EXPECT_EQ(key->SetValue(u"ProfileID", platform::kRegDword, reinterpret_cast<const std::uint8_t*>(&id), 4), 0);
    key.reset();

    auto again = reg.OpenKey(RegRoot::CurrentUser, u"SOFTWARE\\VXM-TEST\\" + ToU16(GetCurrentProcessId()), false, err);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->ValueExists(u"profilesettinggroup.PFD"));
    EXPECT_FALSE(again->ValueExists(u"missing"));
    platform::RegValue v;
    EXPECT_EQ(again->QueryValue(u"ProfileSettingGroup.pfd", v), 0);
    EXPECT_EQ(v.type, platform::kRegBinary);
    EXPECT_EQ(v.data, bytes);
    EXPECT_EQ(again->QueryValue(u"ProfileID", v), 0);
    EXPECT_EQ(v.type, platform::kRegDword);
    EXPECT_EQ(v.data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(again->QueryValue(u"missing", v), ERROR_FILE_NOT_FOUND);
    again.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\vxm-test");
}


}  // namespace
}  // namespace vxm::win32
