// The least a microphone toggle can cost through libpulse, driven the way
// vxmmon_bench drives vxmmon: each datagram on the inherited socket
// "--device-fd=N" is a press, answered by one
// pa_context_set_source_mute_by_name("@DEFAULT_SOURCE@") (muting and
// unmuting by turns) and, once the server acknowledged it, the line
// "MicrophoneMute: muted" or "MicrophoneMute: unmuted" on standard error.
// One thread, one plain pa_mainloop, nothing else. When the socket closes it
// prints the round trips it measured itself (set to acknowledgement) and ends.
#include <poll.h>
#include <pulse/pulseaudio.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Ack {
    bool done = false;
    bool success = false;
};

void Say(const std::string& line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(2, text.data(), text.size());
}

}  // namespace

int main(int argc, char** argv) {
    int fd = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--device-fd=", 12) == 0) fd = std::atoi(argv[i] + 12);
    }
    if (fd < 0) {
        std::fprintf(stderr, "usage: pulse_set_mute --device-fd=N\n");
        return 2;
    }
    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "pulse_set_mute");
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        Say("connect failed");
        return 1;
    }
    while (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || pa_mainloop_iterate(loop, 1, nullptr) < 0) {
            Say("no sound server");
            return 1;
        }
    }
    Say("ready");
    std::vector<double> ms;
    bool mute = true;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, -1) < 0) continue;
        char report[64];
        if (::recv(fd, report, sizeof report, 0) <= 0) break;
        const auto start = std::chrono::steady_clock::now();
        Ack ack;
        pa_operation* op = pa_context_set_source_mute_by_name(
            context, "@DEFAULT_SOURCE@", mute ? 1 : 0,
            [](pa_context*, int success, void* data) {
                auto* a = static_cast<Ack*>(data);
                a->done = true;
                a->success = success != 0;
            },
            &ack);
        while (op && !ack.done && pa_mainloop_iterate(loop, 1, nullptr) >= 0) {
        }
        if (op) pa_operation_unref(op);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        Say(!ack.success ? "MicrophoneMute: failed" : mute ? "MicrophoneMute: muted" : "MicrophoneMute: unmuted");
        mute = !mute;
    }
    if (!ms.empty()) {
        std::sort(ms.begin(), ms.end());
        const auto at = [&](double q) {
            return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * static_cast<double>(ms.size())))];
        };
        char line[160];
        std::snprintf(line, sizeof line, "in-process set-mute round trip, %zu sets: median %.3f ms, p99 %.3f ms",
                      ms.size(), at(0.5), at(0.99));
        Say(line);
    }
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return 0;
}
