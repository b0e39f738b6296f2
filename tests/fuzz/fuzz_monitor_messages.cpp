// The monitor's main window over the recording host, with a profile manager
// on the fake registry whose five profiles put the microphone mute on button
// 10: a fuzzer-chosen sequence of device reports (any report ID, size and
// bytes, real button codes among them), window messages (any number, any
// wParam and lParam), deliveries of what was posted, timers, arrivals, tray
// and menu clicks, About page clicks, and teardowns in the middle: the
// window destroyed with messages pending, while its tray icon goes (another
// process's message arriving meanwhile), or from inside its own ending.
//
// Besides no crash: the microphone toggles exactly once per delivered 7524
// for button 10 with an lParam of 0 to 255, and never otherwise; a delivered
// profile switch 21 to 25 leaves "ProfileID" naming that profile; nothing
// reaches a window that is gone.
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "profile/tables.h"
#include "unit/road_rig.h"

namespace vxm::app {
namespace {

constexpr int kMuteButton = 10;

std::uintptr_t WParam(FuzzedDataProvider& in) {
    static const std::uintptr_t kValues[] = {0, 1, 10, 18, 19, 20, 21, 23, 25, 26, 255,
                                             std::numeric_limits<std::uintptr_t>::max(),
                                             std::numeric_limits<std::uintptr_t>::max() - 20, 0x100000000ULL + 10};
    return in.ConsumeBool() ? in.PickValueInArray(kValues) : in.ConsumeIntegral<std::uintptr_t>();
}

std::intptr_t LParam(FuzzedDataProvider& in) {
    static const std::intptr_t kValues[] = {0, 1, 4, 255, 256, -1, 0x100000001LL,
                                            std::numeric_limits<std::intptr_t>::min(),
                                            std::numeric_limits<std::intptr_t>::max()};
    return in.ConsumeBool() ? in.PickValueInArray(kValues) : in.ConsumeIntegral<std::intptr_t>();
}

struct Scenario {
    road_rig::Road road;
    int expectedToggles = 0;
    std::size_t pumped = 0;  // log lines already looked at for posts

    Scenario() {
        road.host.coreAudio.AddMicrophone(u"mic");
        // Stored, so that the reloads of 7035 and 7037 keep it.
        for (int i = 0; i < kProfileCount; ++i) {
            auto p = std::make_unique<TMouseProfileInfo>();
            road.dm->ReadProfileInfo(*p, i);
            p->ConfigInfo.ButtonFuncInfo[kMuteButton].FunctionIndex = kMicrophoneMuteFunction;
            road.dm->SaveBackToProfileInfo(*p, i);
            road.dm->SaveProfileInfoToRegistry(i);
        }
        road.dm->ReadCurrentProfileInfo();
    }
    int Toggles() { return road.host.coreAudio.Of(u"mic").setMuteCalls; }

    // A message as another process (or the message loop) delivers it.
    void Deliver(unsigned msg, std::uintptr_t w, std::intptr_t l) {
        const bool alive = road.window != nullptr;
        const bool handled = road.host.Deliver(msg, w, l);
        FUZZ_CHECK(alive || !handled, "message %u reached a window that is gone", msg);
        if (!alive) return;
        if (msg == ButtonEventMessage && w == kMuteButton && l >= 0 && l <= 255) ++expectedToggles;
        if (msg == ButtonEventMessage && w >= kFirstProfileEvent && w <= kFirstProfileEvent + 4) {
            const platform::RegValue* id = road.ProfileID();
            FUZZ_CHECK(id && id->type == platform::kRegDword && id->data.size() == 4 &&
                           id->data[0] == w - kFirstProfileEvent && id->data[1] == 0,
                       "a switch to profile %u left ProfileID elsewhere", static_cast<unsigned>(w - kFirstProfileEvent));
        }
    }

    // What was posted to the main window since the last time, in order.
    void Pump() {
        std::vector<std::string> posted;
        for (; pumped < road.host.log.size(); ++pumped) {
            if (road.host.log[pumped].rfind("Post:1:", 0) == 0) posted.push_back(road.host.log[pumped]);
        }
        for (const auto& line : posted) {
            unsigned long long m = 0, w = 0;
            long long l = 0;
            if (std::sscanf(line.c_str(), "Post:1:%llu:%llu:%lld", &m, &w, &l) == 3) {
                Deliver(static_cast<unsigned>(m), static_cast<std::uintptr_t>(w), static_cast<std::intptr_t>(l));
            }
        }
        // The log only grows; keep it short.
        if (road.host.log.size() > 4096) {
            road.host.log.clear();
            pumped = 0;
        }
    }

    void Report(FuzzedDataProvider& in) {
        if (!road.window) return;
        static const std::uint8_t kIds[] = {7, 8, 0, 1, 255};
        const std::uint8_t id = in.ConsumeBool() ? in.PickValueInArray(kIds) : in.ConsumeIntegral<std::uint8_t>();
        std::vector<std::uint8_t> data;
        if (in.ConsumeBool()) {
            // A real report: a button's code, or a profile switch / device value.
            data.assign(7, 0);
            if (id == 7) {
                const auto& code = ButtonReportCodes[in.ConsumeBool() ? kMuteButton
                                                                      : in.ConsumeIntegralInRange<std::size_t>(
                                                                            0, ButtonReportCodes.size() - 1)];
                data[0] = code[1];
                data[1] = code[2];
                data[2] = code[3];
            } else {
                data[0] = in.ConsumeIntegralInRange<std::uint8_t>(0, 3);
                data[1] = in.ConsumeIntegral<std::uint8_t>();
            }
        } else {
            data = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 70));
        }
        road.window->uiHIDData1Data(u"HID\\X", u"\\\\?\\x", id, data.empty() ? nullptr : data.data(),
                                    static_cast<std::uint16_t>(data.size()));
    }

    void Teardown(FuzzedDataProvider& in) {
        if (!road.window) return;
        // Another process's messages while the tray icon is being removed.
        const unsigned msg = in.ConsumeBool() ? ButtonEventMessage : kMsgReloadProfiles;
        const std::uintptr_t w = WParam(in);
        const std::intptr_t l = LParam(in);
        road.host.onTrayRemoval = [this, msg, w, l] { Deliver(msg, w, l); };
        road.window.reset();
        road.host.onTrayRemoval = nullptr;
    }

    void EndFromInside() {
        if (!road.window) return;
        road.window->FinishNow = [this] { road.window.reset(); };
        FUZZ_CHECK(road.window->RequestEnd(true), "an ending from inside did not say the window is gone");
        FUZZ_CHECK(!road.window, "the window outlived its ending");
    }
};

void Run(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Scenario s;
    const int base = s.Toggles();
    const int steps = in.ConsumeIntegralInRange<int>(1, 64);
    for (int i = 0; i < steps && in.remaining_bytes() > 0; ++i) {
        switch (in.ConsumeIntegralInRange<int>(0, 15)) {
            case 0: case 1: case 2: case 3: s.Report(in); break;
            case 4: case 5: case 6: s.Pump(); break;
            case 7: case 8: {
                static const unsigned kMessages[] = {ButtonEventMessage, kMsgReloadProfiles, kMsgReloadSettings,
                                                     kMsgMonitorExiting, kMsgProfileSwitched, kMsgDeviceValue};
                const unsigned msg = in.ConsumeBool() ? in.PickValueInArray(kMessages) : in.ConsumeIntegral<unsigned>();
                const std::uintptr_t w = WParam(in);
                s.Deliver(msg, w, LParam(in));
                break;
            }
            case 9: s.road.host.Advance(in.ConsumeIntegralInRange<unsigned>(0, 5000)); break;
            case 10:
                if (s.road.window) s.road.window->uiHIDEvent1DeviceArrival();
                break;
            case 11:
                if (s.road.window) {
                    auto& clicks = s.road.host.menuClicks;
                    const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(0, clicks.size());
                    if (n < clicks.size() && clicks[n]) {
                        clicks[n]();
                    } else if (s.road.host.trayClick) {
                        s.road.host.trayClick();
                    }
                }
                break;
            case 12:
                if (s.road.window) {
                    s.road.host.mainVisible = in.ConsumeBool();
                    s.road.window->AboutPageClick(in.ConsumeIntegral<int>() % 1000, in.ConsumeIntegral<int>() % 1000);
                }
                break;
            case 13: s.Teardown(in); break;
            case 14: s.EndFromInside(); break;
            default: s.Pump(); break;
        }
        FUZZ_CHECK(s.Toggles() - base == s.expectedToggles, "the microphone toggled %d times for %d presses",
                   s.Toggles() - base, s.expectedToggles);
    }
    s.Pump();
    s.Teardown(in);
    s.Pump();
    FUZZ_CHECK(s.Toggles() - base == s.expectedToggles, "the microphone toggled %d times for %d presses",
               s.Toggles() - base, s.expectedToggles);
}

}  // namespace
}  // namespace vxm::app

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vxm::app::Run(data, size);
    return 0;
}
