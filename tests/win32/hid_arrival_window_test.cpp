// The arrival notifier's hidden window on Wine: its registration filter, the
// DBT_DEVNODES_CHANGED it posts itself, which notifications it reports, and
// handlers' exceptions kept inside the window procedure.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <stdexcept>

#include "monitor/hid_arrival_window.h"
#include "platform/win32/debug_output_win32.h"
#include "win32/main_thread.h"

namespace vxm::win32 {
namespace {

using vxm::testing::Pump;

constexpr GUID kHidClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// The start timer is the core's business; here it never fires.
struct IdleTimer final : platform::ITimer {
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
    bool enabled = false;
};

struct Notifier {
    Notifier()
        : window(GetModuleHandleW(nullptr), std::make_unique<IdleTimer>(), debug,
                 [this](u16view message) { exceptions.emplace_back(message); }) {
        window.OnDeviceArrival = [this] { ++arrivals; };
        window.OnDeviceRemove = [this] { ++removals; };
        window.OnDeviceChange = [this] { ++changes; };
    }
    LRESULT Send(WPARAM wParam, LPARAM lParam) { return SendMessageW(window.Handle(), WM_DEVICECHANGE, wParam, lParam); }

    int arrivals = 0, removals = 0, changes = 0;
    std::vector<u16> exceptions;
    DebuggerOutput debug;
    HidArrivalWindow window;
};

TEST(Win32Notifier, TheFilterNamesOneInterfaceClass) {
    const DEV_BROADCAST_DEVICEINTERFACE_W hid = HidNotificationFilter(kHidInterfaceClassGuid);
    EXPECT_EQ(hid.dbcc_size, 32u);
    EXPECT_EQ(hid.dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
    EXPECT_TRUE(IsEqualGUID(hid.dbcc_classguid, kHidClass));
    EXPECT_EQ(hid.dbcc_name[0], L'\0');
    const DEV_BROADCAST_DEVICEINTERFACE_W other = HidNotificationFilter(u"{A5DCBF10-6530-11D2-901F-00C04FB951ED}");
    EXPECT_EQ(other.dbcc_classguid.Data1, 0xA5DCBF10u);
    EXPECT_EQ(other.dbcc_classguid.Data4[7], 0xED);
}

TEST(Win32Notifier, RegistersAndPostsItsOwnDevNodesChangedOnce) {
    Notifier n;
    MSG msg{};
    ASSERT_TRUE(PeekMessageW(&msg, n.window.Handle(), WM_DEVICECHANGE, WM_DEVICECHANGE, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(DBT_DEVNODES_CHANGED));
    EXPECT_EQ(msg.lParam, static_cast<LPARAM>(0xFFFFFFFF));
    EXPECT_EQ(n.changes, 0) << "raised when the loop runs, not during creation";
    Pump(50);
    EXPECT_EQ(n.changes, 1);
    EXPECT_EQ(n.arrivals, 0);
    EXPECT_TRUE(n.window.RegisterHidNotification()) << "Wine takes the HID class registration";
    Pump(50);
    EXPECT_EQ(n.changes, 2) << "each registration posts one";
}

TEST(Win32Notifier, InterfaceArrivalsAndRemovalsOnlyAndForgedPointersAreIgnored) {
    Notifier n;
    Pump(20);
    DEV_BROADCAST_DEVICEINTERFACE_W iface = HidNotificationFilter(kHidInterfaceClassGuid);
    DEV_BROADCAST_HDR volume{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
    EXPECT_EQ(n.Send(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&iface)), TRUE);
    n.Send(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    n.Send(DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&iface));
    n.Send(DBT_DEVICEARRIVAL, 0x10);  // not a readable address
    n.Send(DBT_DEVICEREMOVECOMPLETE, 0);
    n.Send(0x8001, reinterpret_cast<LPARAM>(&iface));  // DBT_DEVICEQUERYREMOVE: nothing
    EXPECT_EQ(n.arrivals, 1);
    EXPECT_EQ(n.removals, 1);
}

TEST(Win32Notifier, AnExceptionFromAHandlerGoesToTheApplicationsHandler) {
    Notifier n;
    Pump(20);
    n.window.OnDeviceChange = [] { throw std::runtime_error("device tree handler failed"); };
    n.window.OnDeviceArrival = [] { throw 7; };
    DEV_BROADCAST_DEVICEINTERFACE_W iface = HidNotificationFilter(kHidInterfaceClassGuid);
    LRESULT r1 = 0, r2 = 0;
    EXPECT_NO_THROW(r1 = n.Send(DBT_DEVNODES_CHANGED, 0));
    EXPECT_NO_THROW(r2 = n.Send(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&iface)));
    EXPECT_EQ(r1, TRUE);
    EXPECT_EQ(r2, TRUE);
    EXPECT_EQ(n.exceptions, (std::vector<u16>{u"device tree handler failed", u"Unknown exception in a device notification"}));
    // The window goes on reporting.
    n.window.OnDeviceChange = [&n] { ++n.changes; };
    n.Send(DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(n.changes, 2);
}

}  // namespace
}  // namespace vxm::win32
