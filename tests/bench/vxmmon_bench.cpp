// Figures of the Linux monitor, printed (not a test of thresholds):
//  - idle wake-ups of the read loop: the core's read thread over the hidraw
//    channel (a socket-pair stand-in device), its hand-over to a main loop,
//    counted as context switches of the process's threads while no report
//    comes;
//  - idle wake-ups of the whole vxmmon process (its test build with the
//    stand-in mouse, reading, tray and bus connected): context switches
//    summed over /proc/<pid>/task/*/status across the idle period;
//  - report-to-mute latency: a key report of the mute button written to the
//    stand-in device until the monitor says the sound server acknowledged
//    the mute (median and p99), side by side with the same figure of a bare
//    libpulse program (pulse_set_mute: a datagram in, one
//    pa_context_set_source_mute_by_name and its acknowledgement, a line out),
//    in alternating blocks of 50, and the ratio of the medians.
//   vxmmon_bench [idle-ms] [reports]      inside tests/wine/session.sh
#include <dirent.h>
#include <sys/syscall.h>

#include <algorithm>
#include <fstream>
#include <iostream>

#include "hid/hid_data.h"
#include "monitor_rig.h"
#include "platform/linux/hid_descriptor.h"
#include "platform/linux/hid_linux.h"
#include "platform/linux/ini_linux.h"
#include "platform/linux/main_loop_linux.h"
#include "platform/linux/seams_linux.h"
#include "temp_dir.h"

namespace {

using namespace vxm;
using namespace std::chrono_literals;

// Voluntary and involuntary context switches of every thread of `pid`, but `skip`.
long Switches(const std::string& pid, long skip = -1) {
    long total = 0;
    const std::string tasks = "/proc/" + pid + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (!dir) return -1;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.' || std::atol(e->d_name) == skip) continue;
        std::ifstream in(tasks + "/" + e->d_name + "/status");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(24));
            if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(27));
        }
    }
    ::closedir(dir);
    return total;
}

const std::uint8_t kDescriptor[] = {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x07, 0x09, 0x02, 0x75, 0x08,
                                    0x95, 0x07, 0x81, 0x02, 0x85, 0x08, 0x09, 0x03, 0x95, 0x07, 0x81, 0x02, 0xC0};

class OneDevice final : public platform::IHidSystem {
public:
    explicit OneDevice(int fd) : fd_(fd) {}
    std::vector<platform::HidInterface> EnumerateInterfaces() override {
        return {{u"/dev/hidraw-bench", linuxos::HidHardwareIds({0x1234, 0x5678, 0x0100, 1}, 0xFFA0, 0x0001, 0)}};
    }
    std::unique_ptr<platform::IHidDevice> Open(u16view, bool) override {
        struct Device final : platform::IHidDevice {
            std::optional<platform::HidCaps> Capabilities() override { return platform::HidCaps{1, 0xFFA0, 8, 0, 0}; }
            long Write(const std::uint8_t*, std::size_t) override { return 0; }
            long GetFeature(std::uint8_t*, std::size_t) override { return 0; }
            long SetFeature(const std::uint8_t*, std::size_t) override { return 0; }
            std::uintptr_t NativeHandle() const override { return 0; }
        };
        return std::make_unique<Device>();
    }
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view) override {
        const auto d = linuxos::ParseReportDescriptor(kDescriptor, sizeof kDescriptor);
        return linuxos::MakeHidReadChannel(linuxos::UniqueFd(::fcntl(fd_, F_DUPFD_CLOEXEC, 3)),
                                           linuxos::HidReadCollection{d->collections.at(0), true, false});
    }

private:
    int fd_;
};

void ReadLoopIdle(unsigned idleMs) {
    testing::TempDir dir;
    testing::WriteBytes(dir / "config.ini", "[options]\n");
    testing::StandInDevice device;
    OneDevice hid(device.childEnd);
    linuxos::IniReader ini;
    linuxos::MainLoop loop;
    linuxos::StreamDebugOutput debug(2, false);
    std::atomic<long> loopTid{0};
    std::atomic<int> reports{0};
    TuiHIDData data(HidDependencies{hid, ini, loop.Dispatcher(), debug, Utf16(dir.Path()) + u"/",
                                    [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }});
    data.OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++reports; };
    data.HidFindAndReadDevice({0x0001, 0xFFA0}, u"*");
    std::thread runner([&] {
        loopTid = ::syscall(SYS_gettid);
        loop.Run();
    });
    device.Send({7, 1, 0, 0, 0, 0, 0, 0});
    while (reports == 0) std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(100ms);
    const long self = ::syscall(SYS_gettid);
    const long before = Switches("self", self);
    std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
    const long after = Switches("self", self);
    std::cout << "Linux read loop (read thread over hidraw channel + main loop), idle " << idleMs
              << " ms: " << after - before << " wake-ups\n";
    data.HidStopRead();
    loop.Post([&] { loop.Terminate(); });
    runner.join();
}

void Monitor(unsigned idleMs, int count) {
    testing::TempDir dir;
    const std::string key = dir / "config/vxmmon/registry/HKEY_CURRENT_USER/software/software/zrngmmouse";
    testing::Shell("mkdir -p '" + key + "'");
    for (const char* n : {"1", "3"}) {
        testing::WriteBytes(key + "/ZRNProfile" + n + ".pfd.REG_BINARY", testing::ProfileWithFunction(10, 28));
    }
    testing::Shell("pactl set-source-mute @DEFAULT_SOURCE@ 0");
    testing::StandInDevice device;
    testing::Child monitor(VXMMON_STANDIN, {"--device-fd=" + std::to_string(device.childEnd), "--verbose"},
                           {"XDG_CONFIG_HOME=" + dir / "config", "HOME=" + dir.Path()}, device.childEnd);
    // Reading has started once a report is decoded (button 0 does nothing).
    device.Send({7, 1, 0, 0, 0, 0, 0, 0});
    if (monitor.WaitLine("KeyIndex = 0", 1, 20s).empty()) {
        std::cout << "vxmmon did not start reading:\n" << monitor.All();
        return;
    }
    std::this_thread::sleep_for(500ms);
    const std::string pid = std::to_string(monitor.Pid());
    const long before = Switches(pid);
    std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
    const long after = Switches(pid);
    std::cout << "vxmmon process (all threads: main loop, read thread, libpulse), idle " << idleMs
              << " ms: " << after - before << " wake-ups\n";

    // Side by side in this session: the bare libpulse program driven the
    // same way (a datagram in, the acknowledged mute's line out), in
    // alternating blocks so that both see the same load.
    testing::StandInDevice bareDevice;
    testing::Child bare(PULSE_SET_MUTE, {"--device-fd=" + std::to_string(bareDevice.childEnd)}, {},
                        bareDevice.childEnd);
    if (bare.WaitLine("ready", 1, 10s).empty()) {
        std::cout << "the bare set-mute program did not start:\n" << bare.All();
        return;
    }
    std::vector<double> monitorMs, bareMs;
    const auto press = [](testing::Child& child, const testing::StandInDevice& dev, int i, std::vector<double>& ms) {
        const char* line = i % 2 == 0 ? "MicrophoneMute: muted" : "MicrophoneMute: unmuted";
        const int seen = child.Count(line);
        const auto start = testing::Clock::now();
        dev.Send({7, 0x00, 0x04, 0x00, 0, 0, 0, 0});
        if (child.WaitLine(line, seen + 1, 5s).empty()) return false;
        ms.push_back(std::chrono::duration<double, std::milli>(testing::Clock::now() - start).count());
        return true;
    };
    constexpr int kBlock = 50;
    for (int done = 0; done < count; done += kBlock) {
        for (int i = done; i < std::min(count, done + kBlock); ++i) {
            if (!press(monitor, device, i, monitorMs)) {
                std::cout << "no mute after report " << i << "\n" << monitor.All();
                return;
            }
        }
        for (int i = done; i < std::min(count, done + kBlock); ++i) {
            if (!press(bare, bareDevice, i, bareMs)) {
                std::cout << "the bare program gave no mute after press " << i << "\n" << bare.All();
                return;
            }
        }
    }
    const auto at = [](std::vector<double> ms, double q) {
        std::sort(ms.begin(), ms.end());
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * static_cast<double>(ms.size())))];
    };
    std::cout << "report-to-mute (stand-in device -> PulseAudio acknowledged -> the monitor's line), " << count
              << " presses: median " << at(monitorMs, 0.5) << " ms, p99 " << at(monitorMs, 0.99) << " ms\n";
    std::cout << "bare libpulse set-mute, driven the same way, " << count << " presses: median " << at(bareMs, 0.5)
              << " ms, p99 " << at(bareMs, 0.99) << " ms\n";
    std::cout << "ratio of the medians (report-to-mute / bare set-mute): " << at(monitorMs, 0.5) / at(bareMs, 0.5)
              << " (target: at most 1.5)\n";
    ::shutdown(bareDevice.testEnd, SHUT_RDWR);
    bare.WaitLine("in-process set-mute round trip", 1, 5s);
    std::cout << "bare program, " << bare.WaitLine("in-process set-mute round trip", 1, 0s) << "\n";
    std::cout << "pactl after the last press: " << testing::PactlSourceMute() << "\n";
    monitor.Signal(SIGTERM);
    monitor.Wait(10s);
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned idleMs = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 5000;
    const int reports = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;
    ReadLoopIdle(idleMs);
    if (!testing::InSession()) {
        std::cout << "vxmmon figures need tests/wine/session.sh (session bus, PulseAudio)\n";
        return 0;
    }
    Monitor(idleMs, reports);
    return 0;
}
