#pragma once
// The HID component over a scripted HID system and a test-driven main
// thread: devices, rigs of one and of two components, and waiting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "hid/hid_data.h"
#include "support/fake_hid.h"
#include "support/fake_platform.h"

namespace vxm::hid_rig {

using namespace std::chrono_literals;
using fake::FakeHidDevice;
using fake::ReadOutcome;

inline constexpr USAGE_AND_PAGE kMouse{0x0001, 0xFFA0};

inline FakeHidDevice Dev(u16 path, std::vector<u16> ids, std::uint16_t page = 0xFFA0, std::uint16_t usage = 1) {
    FakeHidDevice d;
    d.iface = {std::move(path), std::move(ids)};
    d.caps.UsagePage = page;
    d.caps.Usage = usage;
    d.caps.InputReportByteLength = 8;
    d.caps.OutputReportByteLength = 9;
    d.caps.FeatureReportByteLength = 9;
    return d;
}

template <typename Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = 2000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return pred();
}

struct Rig {
    fake::FakePlatform p;
    fake::FakeHidSystem hid;
    fake::FakeDispatcher main;
    fake::FakeDebugOutput debug;
    std::unique_ptr<TuiHIDData> data;

    void Include(std::string_view ini) { p.files.PutText(p.paths.exeFolder + u"config.ini", ini); }
    TuiHIDData& Make() {
        data = std::make_unique<TuiHIDData>(
            HidDependencies{hid, p.ini, main, debug, p.paths.exeFolder,
                            [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }});
        return *data;
    }
    int Threads() { return data ? data->ReadThreadCount() : 0; }
};

struct Received {
    std::mutex m;
    std::vector<std::pair<int, int>> data;  // report id, size
    std::vector<std::uint32_t> buttons;
    std::vector<std::thread::id> threads;
    std::atomic<int> lost{0};
    std::thread::id lostOn;
};

inline void Wire(TuiHIDData& d, Received& got) {
    d.OnData = [&](const u16&, const u16&, std::uint8_t id, const std::uint8_t*, std::uint16_t size) {
        std::lock_guard<std::mutex> lock(got.m);
        got.data.emplace_back(id, size);
        got.threads.push_back(std::this_thread::get_id());
    };
    d.OnDeviceNotConnected = [&](const u16&, const u16&) {
        got.lostOn = std::this_thread::get_id();
        ++got.lost;
    };
}

// One mouse interface "m", read with every event recorded.
struct MouseRig : Rig {
    MouseRig() {
        hid.devices = {Dev(u"m", {u"HID\\M"})};
        Wire(Make(), got);
    }
    // The threads raise events into `got`: they end before it goes.
    ~MouseRig() { data.reset(); }
    Received got;
};

// Two components, each with its own device.
struct TwoComponents {
    fake::FakePlatform p;
    fake::FakeHidSystem hid;
    fake::FakeDispatcher main;
    fake::FakeDebugOutput debug;
    Received gotA, gotB;
    std::unique_ptr<TuiHIDData> a, b;

    TwoComponents() {
        hid.devices = {Dev(u"a", {u"HID\\A"}), Dev(u"b", {u"HID\\B"})};
        p.files.PutText(p.paths.exeFolder + u"config.ini", "[IncludeHIDDeviceList]\nid1=HID\\A\nid2=HID\\B\n");
    }
    std::unique_ptr<TuiHIDData> Make(Received& got) {
        auto d = std::make_unique<TuiHIDData>(HidDependencies{hid, p.ini, main, debug, p.paths.exeFolder, {}});
        Wire(*d, got);
        return d;
    }
    ~TwoComponents() {
        b.reset();
        a.reset();
    }
};

}  // namespace vxm::hid_rig
