// Read loop benchmark: an idle stand-in device for a fixed time (wake-ups of
// the read thread), then a stream of reports (time from a report being
// available to OnData running on the main thread), for the event-driven loop
// and for the 1 ms polling loop, side by side.
//   hid_read_bench.exe [idle-ms] [reports]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "hid/hid_data.h"
#include "hid/read_thread.h"
#include "platform/win32/monitor_host.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "win/testing/standin_hid.h"

using namespace vxm;

namespace {

std::atomic<std::uint64_t> g_wakeUps{0};

// Counts the wake-ups of every channel it hands out.
class CountingChannel final : public platform::IHidReadChannel {
public:
    explicit CountingChannel(std::unique_ptr<platform::IHidReadChannel> inner) : inner_(std::move(inner)) {}
    ~CountingChannel() override { Close(); }
    int InputReportLength() const override { return inner_->InputReportLength(); }
    long StartRead(std::uint8_t* b, std::size_t n) override { return inner_->StartRead(b, n); }
    bool WaitForCompletion(platform::IStopSource& s) override { return Count(inner_->WaitForCompletion(s)); }
    bool PollForCompletion() override { return Count(inner_->PollForCompletion()); }
    std::uint64_t WakeUps() const override { return inner_->WakeUps(); }
    bool Result(std::uint32_t& b, long& e) override { return inner_->Result(b, e); }
    std::uint32_t MaxUsageListLength() override { return 0; }
    bool GetUsages(const std::uint8_t*, std::size_t, std::vector<std::uint16_t>&) override {
        return false;
    }
    void Close() override { inner_->Close(); }

private:
    bool Count(bool r) {
        const std::uint64_t now = inner_->WakeUps();
        g_wakeUps += now - seen_;
        seen_ = now;
        return r;
    }
    std::unique_ptr<platform::IHidReadChannel> inner_;
    std::uint64_t seen_ = 0;
};

class CountingSystem final : public platform::IHidSystem {
public:
    explicit CountingSystem(platform::IHidSystem& inner) : inner_(inner) {}
    std::vector<platform::HidInterface> EnumerateInterfaces() override { return inner_.EnumerateInterfaces(); }
    std::unique_ptr<platform::IHidDevice> Open(u16view p, bool o) override { return inner_.Open(p, o); }
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view p) override {
        return std::make_unique<CountingChannel>(inner_.OpenReadChannel(p));
    }
    void DebugOutput(u16view t) override { inner_.DebugOutput(t); }

private:
    platform::IHidSystem& inner_;
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
    TuiHidDeviceReadThread::UsePollingLoop = polling;
    const u16 pipe = u"\\\\.\\pipe\\vxm-bench-" + ToU16(GetCurrentProcessId()) + u"-" + ToU16(round);
    HANDLE server = CreateNamedPipeW(win32::W(pipe).c_str(), PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    win32::HidSystem real;
    testing::StandInHidSystem standIn(real, pipe);
    CountingSystem counting(standIn);
    win32::IniReader ini;
    // The monitor's own hand-over: a window on this (main) thread.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    win32::MainThreadDispatcher dispatcher(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatcher));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == win32::kMainThreadCallMessage) {
            reinterpret_cast<win32::MainThreadDispatcher*>(GetWindowLongPtrW(h, GWLP_USERDATA))->Run(l);
            return 0;
        }
        return DefWindowProcW(h, m, w, l);
    }));

    std::vector<double> sent(reports, 0), got(reports, 0);
    TuiHIDData data(HidDependencies{counting, ini, dispatcher, u"C:\\nowhere\\", [](unsigned ms) { Sleep(ms); }});
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
    DestroyWindow(window);

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
