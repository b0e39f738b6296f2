// The monitor's single-instance guard against the real (Wine) object manager:
// the races and rights under which a second monitor must still end.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include "monitor/process_host.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

u16 MutexName(const char16_t* what) { return u"vxm-test-" + u16(what) + u"-" + ToU16(GetCurrentProcessId()); }

TEST(Win32SingleInstance, ACreationAfterAnotherStartCreatedTheMutexLosesTheRace) {
    const u16 name = MutexName(u"race");
    ProcessHost first;
    EXPECT_FALSE(first.MutexExists(name));
    // Another start got between the check and the creation.
    HANDLE other = CreateMutexW(nullptr, TRUE, W(name).c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(first.CreateOwnedMutex(name));
    first.ReleaseOwnedMutex();  // holds nothing: the other start's mutex stays
    EXPECT_TRUE(ProcessHost().MutexExists(name));
    CloseHandle(other);
    ProcessHost next;
    EXPECT_FALSE(next.MutexExists(name));
    EXPECT_TRUE(next.CreateOwnedMutex(name));
}

TEST(Win32SingleInstance, AMutexThatMayNotBeOpenedCountsAsExisting) {
    // What an instance at another integrity level looks like: everyone may
    // wait on it, nothing more.
    const u16 name = MutexName(u"rights");
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &sd,
                                                                     nullptr));
    SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
    HANDLE other = CreateMutexW(&sa, TRUE, W(name).c_str());
    LocalFree(sd);
    ASSERT_NE(other, nullptr);
    ProcessHost process;
    EXPECT_TRUE(process.MutexExists(name));
    EXPECT_FALSE(process.CreateOwnedMutex(name));
    CloseHandle(other);
}

TEST(Win32SingleInstance, AnObjectOfAnotherKindUnderTheNameDoesNotStopTheMonitor) {
    const u16 name = MutexName(u"squat");
    HANDLE squatter = CreateEventW(nullptr, TRUE, FALSE, W(name).c_str());
    ASSERT_NE(squatter, nullptr);
    ProcessHost process;
    EXPECT_FALSE(process.MutexExists(name));
    EXPECT_TRUE(process.CreateOwnedMutex(name));
    CloseHandle(squatter);
}

}  // namespace
}  // namespace vxm::win32
