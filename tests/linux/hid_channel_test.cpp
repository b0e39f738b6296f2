// The hidraw read channel over a stand-in device (a SOCK_SEQPACKET socket
// pair keeps report boundaries as hidraw does), alone and under the core's
// read thread; the machine's own hidraw nodes; the udev arrival source.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "hid/hid_data.h"
#include "platform/linux/hid_arrival_linux.h"
#include "platform/linux/hid_linux.h"
#include "platform/debug_output.h"
#include "platform/linux/ini_linux.h"
#include "support/fake_hid.h"
#include "support/fake_platform.h"
#include "temp_dir.h"

namespace vxm::linuxos {
namespace {

using namespace std::chrono_literals;

// Report IDs 7 and 8 of 7 bytes each in a vendor collection, behind a mouse
// collection (report 1) on the same node.
const std::vector<std::uint8_t> kDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0,
    0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x07, 0x09, 0x02, 0x75, 0x08, 0x95, 0x07, 0x81, 0x02,
    0x85, 0x08, 0x09, 0x03, 0x95, 0x07, 0x81, 0x02, 0xC0,
};

HidReadCollection VendorCollection(bool filter = true) {
    const auto d = ParseReportDescriptor(kDescriptor.data(), kDescriptor.size());
    HidReadCollection c;
    c.caps = d->collections.at(1);
    c.numbered = d->numbered;
    c.filter = filter;
    return c;
}

struct SocketPair {
    SocketPair() {
        int sv[2] = {-1, -1};
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) == 0) {
            device = UniqueFd(sv[0]);
            peer = UniqueFd(sv[1]);
        }
    }
    void Send(std::vector<std::uint8_t> report) const {
        ASSERT_EQ(::send(peer.Get(), report.data(), report.size(), MSG_NOSIGNAL), static_cast<ssize_t>(report.size()));
    }
    UniqueFd device;
    UniqueFd peer;
};

class TestStop final : public platform::IStopSource {
public:
    bool Stopped() const override { return stopped_.load(); }
    void AddWaker(platform::IWaker* w) override {
        std::lock_guard<std::mutex> lock(mutex_);
        wakers_.push_back(w);
    }
    void RemoveWaker(platform::IWaker* w) override {
        std::lock_guard<std::mutex> lock(mutex_);
        wakers_.erase(std::remove(wakers_.begin(), wakers_.end(), w), wakers_.end());
    }
    void Set() {
        stopped_ = true;
        std::lock_guard<std::mutex> lock(mutex_);
        for (platform::IWaker* w : wakers_) w->Wake();
    }

private:
    std::atomic<bool> stopped_{false};
    std::mutex mutex_;
    std::vector<platform::IWaker*> wakers_;
};

struct Completion {
    bool completed = false;
    bool ok = false;
    std::uint32_t bytes = 0;
    long error = 0;
    std::vector<std::uint8_t> report;
};

Completion ReadOne(platform::IHidReadChannel& channel, platform::IStopSource& stop) {
    Completion c;
    c.report.assign(static_cast<std::size_t>(channel.InputReportLength()), 0xEE);
    EXPECT_EQ(channel.StartRead(c.report.data(), c.report.size()), platform::kErrorIoPending);
    c.completed = channel.WaitForCompletion(stop);
    if (c.completed) c.ok = channel.Result(c.bytes, c.error);
    return c;
}

TEST(HidChannel, OneReportPerReadWithItsIdFirstAndFullLength) {
    SocketPair pair;
    auto channel = MakeHidReadChannel(std::move(pair.device), VendorCollection());
    ASSERT_EQ(channel->InputReportLength(), 8);
    TestStop stop;
    pair.Send({7, 1, 2, 3, 4, 5, 6, 7});
    pair.Send({1, 0x05});             // the mouse collection's report: passed over
    pair.Send({8, 1, 3});             // shorter than the collection's length
    pair.Send({7, 9, 9, 9, 9, 9, 9, 9});
    const std::vector<std::vector<std::uint8_t>> expected = {
        {7, 1, 2, 3, 4, 5, 6, 7}, {8, 1, 3, 0, 0, 0, 0, 0}, {7, 9, 9, 9, 9, 9, 9, 9}};
    for (const auto& want : expected) {
        const Completion c = ReadOne(*channel, stop);
        ASSERT_TRUE(c.completed);
        ASSERT_TRUE(c.ok) << c.error;
        EXPECT_EQ(c.bytes, 8u);
        EXPECT_EQ(c.report, want);
    }
}

TEST(HidChannel, AnUnnumberedDeviceGetsIdZeroAndAVanishedOneEndsAfterItsLastReport) {
    const std::vector<std::uint8_t> plain = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08,
                                             0x95, 0x04, 0x81, 0x02, 0xC0};
    const auto d = ParseReportDescriptor(plain.data(), plain.size());
    ASSERT_TRUE(d && !d->numbered);
    SocketPair pair;
    auto channel = MakeHidReadChannel(std::move(pair.device), HidReadCollection{d->collections[0], false, false});
    ASSERT_EQ(channel->InputReportLength(), 5);
    TestStop stop;
    pair.Send({0xA1, 0xB2, 0xC3, 0xD4});
    pair.peer.Reset();  // unplugged right after its report
    Completion c = ReadOne(*channel, stop);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.report, (std::vector<std::uint8_t>{0, 0xA1, 0xB2, 0xC3, 0xD4}));
    c = ReadOne(*channel, stop);
    ASSERT_TRUE(c.completed);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.error, platform::kErrorDeviceNotConnected);
    channel->Close();
    channel->Close();  // twice is harmless
    std::uint8_t b[8];
    EXPECT_EQ(channel->StartRead(b, sizeof b), platform::kErrorInvalidHandle);
}

// Voluntary context switches of one thread: how often it went to sleep.
long SwitchesOf(long tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    }
    return -1;
}

char StateOf(long tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() ? '?' : stat[paren + 2];
}

TEST(HidChannel, AnIdleReaderSleepsWithoutWakingAndAStopEndsIt) {
    SocketPair pair;
    auto channel = MakeHidReadChannel(std::move(pair.device), VendorCollection());
    TestStop stop;
    std::atomic<long> tid{0};
    Completion first, second;
    std::thread reader([&] {
        tid = ::syscall(SYS_gettid);
        first = ReadOne(*channel, stop);
        second = ReadOne(*channel, stop);
    });
    while (tid == 0) std::this_thread::yield();
    // Asleep in its wait...
    for (int i = 0; i < 2000 && StateOf(tid) != 'S'; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(StateOf(tid), 'S');
    const long before = SwitchesOf(tid);
    std::this_thread::sleep_for(300ms);
    // ...it has not woken once while nothing came (a 1 ms poll would have woken 300 times).
    EXPECT_EQ(SwitchesOf(tid), before);
    EXPECT_EQ(StateOf(tid), 'S');
    pair.Send({8, 1, 2, 0, 0, 0, 0, 0});
    for (int i = 0; i < 2000 && !(SwitchesOf(tid) > before && StateOf(tid) == 'S'); ++i) std::this_thread::sleep_for(1ms);
    stop.Set();
    reader.join();
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(first.report[0], 8);
    EXPECT_FALSE(second.completed);  // the stop, not a report
}

// The stand-in device under the core's read thread: a HID system whose one
// interface is the vendor collection of a socket pair.
class StandInHidSystem final : public platform::IHidSystem {
public:
    explicit StandInHidSystem(UniqueFd device) : device_(std::move(device)) {}
    std::vector<platform::HidInterface> EnumerateInterfaces() override {
        return {{u"/dev/hidraw-standin&col02", HidHardwareIds({0x1234, 0x5678, 0x0100, 1}, 0xFFA0, 0x0001, 2)}};
    }
    std::unique_ptr<platform::IHidDevice> Open(u16view, bool) override {
        struct Device final : platform::IHidDevice {
            std::optional<platform::HidCaps> Capabilities() override {
                const HidCollection c = VendorCollection().caps;
                return platform::HidCaps{c.usage, c.usagePage, c.inputReportByteLength, c.outputReportByteLength,
                                         c.featureReportByteLength};
            }
            long Write(const std::uint8_t*, std::size_t) override { return 0; }
            long GetFeature(std::uint8_t*, std::size_t) override { return 0; }
            long SetFeature(const std::uint8_t*, std::size_t) override { return 0; }
            std::uintptr_t NativeHandle() const override { return 0; }
        };
        return std::make_unique<Device>();
    }
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view) override {
        return MakeHidReadChannel(std::move(device_), VendorCollection());
    }

private:
    UniqueFd device_;
};

// What the read thread tells the debugger, kept.
struct DebugLines final : platform::IDebugOutput {
    void DebugOutput(u16view text) override {
        std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(Utf8(text));
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

struct Road {
    testing::TempDir dir;
    SocketPair pair;
    StandInHidSystem hid{std::move(pair.device)};
    IniReader ini;
    fake::FakeDispatcher main;
    DebugLines debug;
    std::unique_ptr<TuiHIDData> data;
    std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> reports;
    std::vector<u16> ids;
    std::atomic<int> lost{0};

    Road() {
        // The include list holds the Windows form of the collection's id.
        testing::WriteBytes(dir / "config.ini", "[IncludeHIDDeviceList]\nid1=hid\\vid_1234&pid_5678&mi_01&col02\n");
        data = std::make_unique<TuiHIDData>(HidDependencies{hid, ini, main, debug, Utf16(dir.Path()) + u"/",
                                                            [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }});
        data->OnData = [this](const u16& id, const u16&, std::uint8_t reportId, const std::uint8_t* d, std::uint16_t size) {
            ids.push_back(id);
            reports.emplace_back(reportId, std::vector<std::uint8_t>(d, d + size));
        };
        data->OnDeviceNotConnected = [this](const u16&, const u16&) { ++lost; };
        data->HidFindAndReadDevice({0x0001, 0xFFA0}, u"*");
    }
    // Runs the hand-overs on this thread, as the main loop would.
    bool Deliver(std::size_t count) {
        for (int i = 0; i < 200 && reports.size() < count; ++i) {
            if (main.WaitForCall(20)) main.RunPending();
        }
        return reports.size() >= count;
    }
};

TEST(HidRoad, ReportsReachTheMainThreadAndAnUnplugEndsTheReaderOnce) {
    Road r;
    ASSERT_EQ(r.data->ReadThreadCount(), 1);
    r.pair.Send({1, 0x01});                    // the node's other collection
    r.pair.Send({7, 0, 0, 0x02, 0, 0, 0, 0});  // a key report
    r.pair.Send({8, 1, 3});                    // a profile switch, sent short
    ASSERT_TRUE(r.Deliver(2));
    ASSERT_EQ(r.reports.size(), 2u);
    EXPECT_EQ(r.reports[0].first, 7);
    EXPECT_EQ(r.reports[0].second, (std::vector<std::uint8_t>{0, 0, 0x02, 0, 0, 0, 0}));
    EXPECT_EQ(r.reports[1].first, 8);
    EXPECT_EQ(r.reports[1].second.size(), 7u);  // the decoder's length, as Windows delivers it
    EXPECT_EQ(r.ids[0], u"HID\\VID_1234&PID_5678&REV_0100&MI_01&Col02");

    r.pair.peer.Reset();  // unplugged
    for (int i = 0; i < 4000 && r.data->ReadThreadCount() != 0; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_EQ(r.data->ReadThreadCount(), 0);
    EXPECT_EQ(r.lost.load(), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(r.lost.load(), 1);
    std::lock_guard<std::mutex> lock(r.debug.mutex);
    EXPECT_EQ(std::count(r.debug.lines.begin(), r.debug.lines.end(), "ERROR_DEVICE_NOT_CONNECTED++++++++++++++++"), 1);
}

TEST(HidRoad, AStopEndsAnIdleReaderWithoutALostDevice) {
    Road r;
    ASSERT_EQ(r.data->ReadThreadCount(), 1);
    r.data->HidStopRead();
    EXPECT_EQ(r.data->ReadThreadCount(), 0);
    EXPECT_EQ(r.lost.load(), 0);
}

TEST(Hid, TheMachinesNodesAndNodesThatAreNoHid) {
    HidSystem hid;
    const auto interfaces = hid.EnumerateInterfaces();
    struct stat st {};
    if (::stat("/sys/class/hidraw", &st) != 0) {
        EXPECT_TRUE(interfaces.empty());  // no hidraw here: nothing, and no error
    }
    // The core's search over this machine finds nothing to read and keeps going.
    IniReader ini;
    fake::FakeDispatcher main;
    DebugLines debug;
    TuiHIDData data(HidDependencies{hid, ini, main, debug, u"/nonexistent/", nullptr});
    data.HidFindAndReadDevice({0x0001, 0xFFA0}, u"*");
    if (interfaces.empty()) {
        EXPECT_EQ(data.ReadThreadCount(), 0);
    }

    EXPECT_FALSE(hid.Open(u"/dev/hidraw-none", false));
    // A node that is no HID device gives no capabilities, so no search takes it.
    auto null = hid.Open(u"/dev/null", false);
    ASSERT_TRUE(null);
    EXPECT_FALSE(null->Capabilities());
    std::vector<std::uint8_t> buffer(20000, 0);
    EXPECT_EQ(null->GetFeature(buffer.data(), buffer.size()), platform::kErrorInvalidParameter);
    EXPECT_NE(null->GetFeature(buffer.data(), 9), 0);
    auto channel = hid.OpenReadChannel(u"/dev/hidraw-none&col02");
    std::uint8_t b[8];
    EXPECT_EQ(channel->StartRead(b, sizeof b), platform::kErrorInvalidHandle);
}

TEST(HidArrivals, MonitorIsPollableAndReadsWithoutBlocking) {
    EXPECT_EQ(KindOfAction("add"), HidrawChange::Kind::Arrival);
    EXPECT_EQ(KindOfAction("remove"), HidrawChange::Kind::Removal);
    EXPECT_EQ(KindOfAction("change"), HidrawChange::Kind::Other);
    for (const char* source : {"udev", "kernel"}) {
        auto arrivals = HidrawArrivals::Open(source);
        if (!arrivals) GTEST_SKIP() << "no netlink monitor here";
        ASSERT_GE(arrivals->Fd(), 0);
        pollfd p{arrivals->Fd(), POLLIN, 0};
        EXPECT_EQ(::poll(&p, 1, 0), 0);  // nothing waits
        EXPECT_TRUE(arrivals->ReadChanges().empty());
    }
    EXPECT_FALSE(HidrawArrivals::Open("neither"));
}

}  // namespace
}  // namespace vxm::linuxos
