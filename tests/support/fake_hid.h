#pragma once
// A scripted HID system: devices with hardware ids and capabilities, and
// read channels that complete the reads a test queues.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/dispatcher.h"
#include "platform/hid.h"

namespace vxm::fake {

struct FakeHidDevice {
    platform::HidInterface iface;
    platform::HidCaps caps;
    bool opens = true;
    std::uint32_t maxUsages = 0;
};

// What one completed read gives.
struct ReadOutcome {
    std::vector<std::uint8_t> report;  // bytes read (report ID first)
    long error = 0;                    // non-zero: the read fails with it
    std::vector<std::uint16_t> usages; // usages of this report
};

class FakeHidSystem : public platform::IHidSystem {
public:
    std::vector<FakeHidDevice> devices;

    std::vector<platform::HidInterface> EnumerateInterfaces() override;
    std::unique_ptr<platform::IHidDevice> Open(u16view path, bool overlapped) override;
    std::unique_ptr<platform::IHidReadChannel> OpenReadChannel(u16view path) override;

    // Queues what the next read on `path` completes with.
    void Queue(u16view path, ReadOutcome outcome);

    std::mutex mutex;
    std::condition_variable changed;
    std::map<u16, std::deque<ReadOutcome>> pending;
    std::vector<std::pair<u16, std::vector<std::uint8_t>>> writes;     // path, bytes
    std::vector<std::pair<u16, std::vector<std::uint8_t>>> featureSets;
    std::atomic<int> channelsOpen{0};
    std::atomic<int> channelsClosedWithPendingRead{0};
    std::atomic<int> channelsOpened{0};
    std::atomic<int> readsStarted{0};
    std::atomic<int> usageRequests{0};
};

// The "main thread" is whoever calls RunPending.
class FakeDispatcher final : public platform::IMainThreadDispatcher {
public:
    platform::HandOver RunOnMainThread(const std::function<void()>& call,
                                       const std::function<bool()>& stopped) override;
    // Runs every call waiting now; returns how many ran.
    int RunPending();
    // Waits until a call is waiting (true) or `ms` passed.
    bool WaitForCall(int ms);

    // The next `refusals` hand-overs are refused (a full queue); with `gone`
    // every one finds no main thread.
    std::atomic<int> refusals{0};
    std::atomic<int> refused{0};
    std::atomic<bool> gone{false};

private:
    struct Task {
        const std::function<void()>* call;
        bool done = false;
        std::exception_ptr error;
    };
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task*> queue_;
};

}  // namespace vxm::fake
