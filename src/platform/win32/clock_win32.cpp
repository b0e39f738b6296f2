#include "platform/win32/clock_win32.h"

#include <windows.h>

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
