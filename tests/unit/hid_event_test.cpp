// The arrival notifier: its own start arrival, which notifications count,
// and exceptions kept inside the window procedure.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "hid/hid_event.h"
#include "support/fake_monitor_host.h"

namespace vxm {
namespace {


TEST(HidArrivalNotifier, StartArrivalOnceAfter1500msAndOnlyInterfaceArrivalsCount) {
    fake::FakeMonitorHost host;
    TuiHIDEvent ev(host.CreateTimer(1500));
    int arrivals = 0, removals = 0, changes = 0;
    ev.OnDeviceArrival = [&] { ++arrivals; };
    ev.OnDeviceRemove = [&] { ++removals; };
    ev.OnDeviceChange = [&] { ++changes; };
    host.Advance(1499);
    EXPECT_EQ(arrivals, 0);
    host.Advance(1);
    EXPECT_EQ(arrivals, 1);
    host.Advance(10000);
    EXPECT_EQ(arrivals, 1) << "the start timer fires once";

    ev.WMDeviceChange(kDbtDeviceArrival, kDbtDevTypDeviceInterface);
    ev.WMDeviceChange(kDbtDeviceArrival, 2);  // a volume
    ev.WMDeviceChange(kDbtDeviceRemoveComplete, kDbtDevTypDeviceInterface);
    ev.WMDeviceChange(kDbtDevNodesChanged, 0);
    ev.WMDeviceChange(0x8001, kDbtDevTypDeviceInterface);
    EXPECT_EQ(arrivals, 2);
    EXPECT_EQ(removals, 1);
    EXPECT_EQ(changes, 1);
}

TEST(HidArrivalNotifier, AnExceptionFromAHandlerGoesToTheApplicationsHandler) {
    struct Timer final : platform::ITimer {
        void SetEnabled(bool e) override { enabled = e; }
        bool Enabled() const override { return enabled; }
        bool enabled = false;
    };
    struct Notifier final : TuiHIDEvent {
        Notifier() : TuiHIDEvent(std::make_unique<Timer>()) {}
        void HandleException(u16view message) override { messages.emplace_back(message); }
        std::vector<u16> messages;
    } n;
    int changes = 0;
    n.OnDeviceArrival = [] { throw std::runtime_error("arrival failed"); };
    n.OnDeviceChange = [&] {
        ++changes;
        throw 42;
    };
    EXPECT_NO_THROW(n.DispatchDeviceChange(kDbtDeviceArrival, kDbtDevTypDeviceInterface));
    EXPECT_NO_THROW(n.DispatchDeviceChange(kDbtDevNodesChanged, 0));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(n.messages, (std::vector<u16>{u"arrival failed", u"Unknown exception in a device notification"}));
}

}  // namespace
}  // namespace vxm
