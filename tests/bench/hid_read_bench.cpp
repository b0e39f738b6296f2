// Read loop benchmark: an idle stand-in device for a fixed time (wake-ups of
// the read thread), then a stream of reports (time from a report being
// available to OnData running on the main thread), for the event-driven loop
// and for the 1 ms polling loop it replaced, side by side.
//   hid_read_bench.exe [idle-ms] [reports]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "hid/hid_data.h"
#include "platform/win32/debug_output_win32.h"
#include "platform/win32/handle_win32.h"
#include "platform/win32/ini_win32.h"
#include "platform/win32/wide.h"
#include "standin/standin_hid.h"
#include "win32/main_thread.h"

using namespace vxm;

namespace {

std::atomic<std::uint64_t> g_wakeUps{0};

VOID CALLBACK Tick(LPVOID, DWORD, DWORD) {}

// The stop a waiting read thread looks at each time it wakes up: each look
// after the first, which comes before the wait, is counted. For the polling
// loop a waitable timer also wakes the thread
// every millisecond while it waits, as that loop's SleepEx(1) did; the
// thread then looks at the stop and goes back to waiting.
class CountingStop final : public platform::IStopSource {
public:
    CountingStop(platform::IStopSource& inner, HANDLE pollTimer) : inner_(inner), pollTimer_(pollTimer) {}
    bool Stopped() const override {
        if (!first_) ++g_wakeUps;
        first_ = false;
        return inner_.Stopped();
    }
    void AddWaker(platform::IWaker* waker) override {
        inner_.AddWaker(waker);
        if (!pollTimer_) return;
        LARGE_INTEGER due;
        due.QuadPart = -10000;  // 1 ms from now, then every 1 ms
        SetWaitableTimer(pollTimer_, &due, 1, Tick, nullptr, FALSE);
    }
    void RemoveWaker(platform::IWaker* waker) override {
        if (pollTimer_) CancelWaitableTimer(pollTimer_);
        inner_.RemoveWaker(waker);
    }

private:
    platform::IStopSource& inner_;
    HANDLE pollTimer_;
    mutable bool first_ = true;
};

class CountingChannel final : public platform::IHidReadChannel {
public:
    CountingChannel(std::unique_ptr<platform::IHidReadChannel> inner, bool polling)
        : inner_(std::move(inner)), pollTimer_(polling ? CreateWaitableTimerW(nullptr, FALSE, nullptr) : nullptr) {}
    ~CountingChannel() override { Close(); }
    int InputReportLength() const override { return inner_->InputReportLength(); }
    long StartRead(std::uint8_t* b, std::size_t n) override { return inner_->StartRead(b, n); }
    bool WaitForCompletion(platform::IStopSource& stop) override {
        CountingStop counting(stop, pollTimer_.Get());
        return inner_->WaitForCompletion(counting);
    }
    bool Result(std::uint32_t& b, long& e) override { return inner_->Result(b, e); }
    std::uint32_t MaxUsageListLength() override { return 0; }
    bool GetUsages(const std::uint8_t*, std::size_t, std::vector<std::uint16_t>&) override { return false; }
    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<platform::IHidReadChannel> inner_;
    win32::UniqueHandle pollTimer_;
};

class CountingSystem final : public platform::IHidSystem {
public:
    CountingSystem(platform::IHidSystem& inner, bool polling) : inner_(inner), polling_(polling) {}
    std::vector<platform::HidInterface> EnumerateInterfaces() override { return inner_.EnumerateInterfaces(); }
    std::unique_ptr<platform::IHidDevice> Open(u16view p, bool o) override { return inner_.Open(p, o); }
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view p) override {
        return std::make_unique<CountingChannel>(inner_.OpenReadChannel(p), polling_);
    }

private:
    platform::IHidSystem& inner_;
    bool polling_;
};

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

void Pump(double untilMs) {
    while (Now() < untilMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
}

struct Figures {
    std::uint64_t idleWakeUps;
    double median, p99;
};

Figures Run(bool polling, int idleMs, int reports, int round) {
    const u16 pipe = u"\\\\.\\pipe\\vxm-bench-" + ToU16(GetCurrentProcessId()) + u"-" + ToU16(round);
    HANDLE server = CreateNamedPipeW(win32::W(pipe).c_str(), PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    testing::StandInHidSystem standIn(pipe);
    CountingSystem counting(standIn, polling);
    win32::IniReader ini;
    win32::DebuggerOutput debug;
    // The monitor's own hand-over: a window on this (main) thread.
    testing::MainThreadWindow window;

    std::vector<double> sent(reports, 0), got(reports, 0);
    TuiHIDData data(
        HidDependencies{counting, ini, window.Dispatcher(), debug, u"C:\\nowhere\\", [](unsigned ms) { Sleep(ms); }});
    data.OnData = [&](const u16&, const u16&, std::uint8_t, const std::uint8_t* d, std::uint16_t) {
        const int seq = d[0] | (d[1] << 8);
        if (seq < reports) got[seq] = Now();
    };
    data.HidFindAndReadDevice({0x0001, 0xFFA0}, u"*");
    ConnectNamedPipe(server, nullptr);
    Pump(Now() + 50);
    g_wakeUps = 0;
    Pump(Now() + idleMs);
    const std::uint64_t idle = g_wakeUps.load();

    for (int i = 0; i < reports; ++i) {
        std::uint8_t report[8] = {7, static_cast<std::uint8_t>(i & 0xFF), static_cast<std::uint8_t>(i >> 8)};
        DWORD n = 0;
        sent[i] = Now();
        WriteFile(server, report, 8, &n, nullptr);
        Pump(Now() + 5);
    }
    Pump(Now() + 50);
    data.HidStopRead();
    CloseHandle(server);

    std::vector<double> lat;
    for (int i = 0; i < reports; ++i) {
        if (got[i] > 0) lat.push_back(got[i] - sent[i]);
    }
    std::sort(lat.begin(), lat.end());
    Figures f{idle, 0, 0};
    if (!lat.empty()) {
        f.median = lat[lat.size() / 2];
        f.p99 = lat[std::min(lat.size() - 1, lat.size() * 99 / 100)];
    }
    if (static_cast<int>(lat.size()) != reports) std::printf("  (%zu of %d reports arrived)\n", lat.size(), reports);
    return f;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int idleMs = argc > 1 ? _wtoi(argv[1]) : 2000;
    const int reports = argc > 2 ? _wtoi(argv[2]) : 200;
    const Figures event = Run(false, idleMs, reports, 1);
    const Figures poll = Run(true, idleMs, reports, 2);
    std::printf("read loop            idle wake-ups/%d ms   report->OnData median   p99\n", idleMs);
    std::printf("event-driven (ours)  %10llu            %8.3f ms        %8.3f ms\n",
                static_cast<unsigned long long>(event.idleWakeUps), event.median, event.p99);
    std::printf("1 ms polling (old)   %10llu            %8.3f ms        %8.3f ms\n",
                static_cast<unsigned long long>(poll.idleWakeUps), poll.median, poll.p99);
    if (event.idleWakeUps > 0) {
        std::printf("idle wake-up ratio (polling / ours): %.1f\n",
                    static_cast<double>(poll.idleWakeUps) / static_cast<double>(event.idleWakeUps));
    } else {
        std::printf("idle wake-up ratio (polling / ours): ours never woke while idle\n");
    }
    return 0;
}
