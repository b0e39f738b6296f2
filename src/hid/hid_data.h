#pragma once
// TuiHIDData: finds the mouse's HID collections and talks to them; starts one
// read thread per matching interface.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "common/text.h"
#include "platform/debug_output.h"
#include "platform/dispatcher.h"
#include "platform/hid.h"
#include "platform/ini.h"

namespace vxm {

using platform::USAGE_AND_PAGE;

// A stop that read threads obey. Besides the manual-reset state it counts
// stops, so a thread that was busy elsewhere when the event was briefly set
// still learns that it has to end, and it wakes threads that sleep on it.
// The program-wide one also counts the read threads alive.
class THidStopEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const { return set_.load(); }
    std::uint64_t Generation() const { return generation_.load(); }
    bool StoppedSince(std::uint64_t generation) const { return IsSet() || generation_.load() != generation; }
    void AddWaker(platform::IWaker* waker);
    void RemoveWaker(platform::IWaker* waker);

    void ThreadStarted();
    void ThreadEnded();
    int LiveThreads() const;

private:
    std::atomic<bool> set_{false};
    std::atomic<std::uint64_t> generation_{0};
    mutable std::mutex mutex_;
    int live_ = 0;
    std::vector<platform::IWaker*> wakers_;
};

// The one program-wide stop: every read thread of every component obeys it,
// from the program's start to its end; it is never replaced.
extern THidStopEvent HidStopEvent;

class THidReadThreads;

struct THidReallyData {
    std::uint8_t ReportID = 0;
    std::uint8_t DATAReally[65535] = {};
    std::uint32_t DATASIZE = 0;
};

struct THIDDataParam {
    USAGE_AND_PAGE UsageAndPage;
    u16 DeviceID;
    THidReallyData Data;
    std::uint32_t DeviceHandle = 0;
};

using TuiHIDDataReceived = std::function<void(const u16& ADeviceID, const u16& ADevicePath, std::uint8_t ReportID,
                                              const std::uint8_t* Data, std::uint16_t Size)>;
using TuiHIDParsedDataReceived =
    std::function<void(const u16& ADeviceID, const u16& ADevicePath, std::uint8_t ReportID, std::uint32_t ButtonData)>;
using TuiHIDDeviceNotConnected = std::function<void(const u16& ADeviceID, const u16& ADevicePath)>;

struct HidDependencies {
    platform::IHidSystem& hid;
    platform::IIniReader& ini;
    platform::IMainThreadDispatcher& dispatcher;
    platform::IDebugOutput& debug;
    u16 moduleFolder;                        // folder of config.ini, ends with "\"
    std::function<void(unsigned ms)> sleep;  // the 20 ms of a stop
    bool isLibrary = false;                  // reports are handled on the read thread in a DLL
};

// Returned by the feature operations when no device passed the search.
inline constexpr std::uint32_t kNoDeviceFound = static_cast<std::uint32_t>(platform::kErrorDeviceNotConnected);

class TuiHIDData {
public:
    explicit TuiHIDData(HidDependencies deps);
    virtual ~TuiHIDData();
    TuiHIDData(const TuiHIDData&) = delete;
    TuiHIDData& operator=(const TuiHIDData&) = delete;

    void HidFindAndReadDevice(const USAGE_AND_PAGE& UsageAndPage, u16view HIDID);
    bool HidFindAndWriteDevice(const THIDDataParam& ReportData);
    bool HidFindAndWriteDeviceBYHID(const THIDDataParam& ReportData);
    std::uint32_t HidFindAndGetFeatureReport(THIDDataParam& ReportData);
    std::uint32_t HidFindAndSetFeatureReport(THIDDataParam& ReportData);
    bool IsDeviceExist(const THIDDataParam& ReportData);
    void HidStopRead();
    const std::vector<u16>& GetHIDDeviceList() const { return FHidDeviceList; }
    // Read threads of this component that have not ended yet.
    int ReadThreadCount() const;
    void SetUsageAndPage(USAGE_AND_PAGE AUsageAndPage) { FUsageAndPage = AUsageAndPage; }
    USAGE_AND_PAGE GetUsageAndPage() const { return FUsageAndPage; }

    TuiHIDDataReceived OnData;
    TuiHIDParsedDataReceived OnParsedData;
    TuiHIDDeviceNotConnected OnDeviceNotConnected;
    bool FastOnData = false;

    HidDependencies& Deps() { return deps_; }

private:
    enum class Filter { Read, Write, None };
    using Action = std::function<void(platform::IHidDevice& device, const platform::HidCaps& caps,
                                      const platform::HidInterface& iface)>;
    void DeviceSearch(const USAGE_AND_PAGE& usage, Filter filter, u16view f, bool overlapped, const Action& action);
    // Writes the report's first `size` bytes on the wire to every device the
    // search passes whose output reports are long enough; true when one took it.
    bool WriteToEach(const THIDDataParam& ReportData, Filter filter, u16view f, std::size_t size);
    bool Passes(Filter filter, u16view f, const std::vector<u16>& ids) const;
    bool IncludeEntryIn(const std::vector<u16>& ids) const;
    void LoadIncludeList();

    HidDependencies deps_;
    USAGE_AND_PAGE FUsageAndPage;
    std::vector<u16> FHidDeviceList;
    // The threads this component started, shared with them: its stop reaches
    // each of them and its destruction waits for them.
    std::shared_ptr<THidReadThreads> threads_;
};

}  // namespace vxm
