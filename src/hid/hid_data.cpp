#include "hid/hid_data.h"

#include <algorithm>
#include <cstring>

#include "hid/read_thread.h"

namespace vxm {

THidStopEvent HidStopEvent;

void THidStopEvent::Set() {
    ++generation_;
    set_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    for (platform::IWaker* w : wakers_) w->Wake();
}

void THidStopEvent::AddWaker(platform::IWaker* waker) {
    std::lock_guard<std::mutex> lock(mutex_);
    wakers_.push_back(waker);
}

void THidStopEvent::RemoveWaker(platform::IWaker* waker) {
    std::lock_guard<std::mutex> lock(mutex_);
    wakers_.erase(std::remove(wakers_.begin(), wakers_.end(), waker), wakers_.end());
}

void THidStopEvent::Reset() { set_ = false; }

void THidStopEvent::ThreadStarted() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++live_;
}

void THidStopEvent::ThreadEnded() {
    std::lock_guard<std::mutex> lock(mutex_);
    --live_;
}

int THidStopEvent::LiveThreads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_;
}

TuiHIDData::TuiHIDData(HidDependencies deps)
    : deps_(std::move(deps)), threads_(std::make_shared<THidReadThreads>(*this)) {
    LoadIncludeList();
}

TuiHIDData::~TuiHIDData() {
    // Threads raise this component's events and use its dependencies: every
    // thread it started is stopped and gone before its members go. The wait
    // has no time limit, since freeing follows; it passes over a thread that
    // cannot end first (this very thread, or the one whose report this thread
    // is handling), which no longer sees the component.
    threads_->Shutdown();
    threads_->WaitForThreads(std::nullopt);
}

int TuiHIDData::ReadThreadCount() const { return threads_->Count(); }

void TuiHIDData::LoadIncludeList() {
    const u16 file = deps_.moduleFolder + u"config.ini";
    for (int n = 1; n <= 101; ++n) {
        u16 id = deps_.ini.ReadString(file, u"IncludeHIDDeviceList", u"id" + ToU16(n), u"");
        if (id.empty()) break;
        FHidDeviceList.push_back(std::move(id));
    }
}

bool TuiHIDData::IncludeEntryIn(const std::vector<u16>& ids) const {
    for (const auto& entry : FHidDeviceList) {
        for (const auto& id : ids) {
            if (EqualsNoCase(entry, id)) return true;
        }
    }
    return false;
}

bool TuiHIDData::Passes(Filter filter, u16view f, const std::vector<u16>& ids) const {
    auto in = [&](u16view s) {
        for (const auto& id : ids) {
            if (EqualsNoCase(s, id)) return true;
        }
        return false;
    };
    switch (filter) {
        case Filter::None:
            return true;
        case Filter::Read:
            if (FHidDeviceList.empty()) return true;
            return f == u"*" ? IncludeEntryIn(ids) : in(f);
        case Filter::Write:
            if (!f.empty() && f != u"*") return in(f);
            return FHidDeviceList.empty() || IncludeEntryIn(ids);
    }
    return false;
}

void TuiHIDData::DeviceSearch(const USAGE_AND_PAGE& usage, Filter filter, u16view f, bool overlapped,
                              const Action& action) {
    for (const platform::HidInterface& iface : deps_.hid.EnumerateInterfaces()) {
        if (!Passes(filter, f, iface.hardwareIds)) continue;
        if (iface.path.empty()) continue;
        std::unique_ptr<platform::IHidDevice> device = deps_.hid.Open(iface.path, overlapped);
        if (!device) continue;
        const std::optional<platform::HidCaps> caps = device->Capabilities();
        if (!caps || caps->UsagePage != usage.UsagePage || caps->Usage != usage.Usage) continue;
        action(*device, *caps, iface);
    }
}

void TuiHIDData::HidFindAndReadDevice(const USAGE_AND_PAGE& UsageAndPage, u16view HIDID) {
    DeviceSearch(UsageAndPage, Filter::Read, HIDID, true,
                 [this](platform::IHidDevice&, const platform::HidCaps&, const platform::HidInterface& iface) {
                     THidReadThreads::Start(threads_, iface.hardwareIds.empty() ? u16() : iface.hardwareIds[0],
                                            iface.path);
                 });
}

namespace {
// Report ID and payload form one contiguous buffer on the wire.
std::vector<std::uint8_t> WireReport(const THidReallyData& d, std::size_t size) {
    std::vector<std::uint8_t> buf(size, 0);
    if (size > 0) buf[0] = d.ReportID;
    if (size > 1) std::memcpy(buf.data() + 1, d.DATAReally, std::min<std::size_t>(size - 1, sizeof(d.DATAReally)));
    return buf;
}
}  // namespace

bool TuiHIDData::WriteToEach(const THIDDataParam& ReportData, Filter filter, u16view f, std::size_t size) {
    bool result = false;
    DeviceSearch(ReportData.UsageAndPage, filter, f, false,
                 [&](platform::IHidDevice& device, const platform::HidCaps& caps, const platform::HidInterface&) {
                     if (caps.OutputReportByteLength < ReportData.Data.DATASIZE) return;
                     const auto buf = WireReport(ReportData.Data, size);
                     if (device.Write(buf.data(), buf.size()) == 0) result = true;
                 });
    return result;
}

bool TuiHIDData::HidFindAndWriteDevice(const THIDDataParam& ReportData) {
    // DATASIZE counts the payload; the report ID byte comes on top.
    if (ReportData.Data.DATASIZE > sizeof(ReportData.Data.DATAReally)) return false;
    return WriteToEach(ReportData, Filter::Write, ReportData.DeviceID, ReportData.Data.DATASIZE + 1);
}

bool TuiHIDData::HidFindAndWriteDeviceBYHID(const THIDDataParam& ReportData) {
    return WriteToEach(ReportData, Filter::None, u"", std::min<std::size_t>(ReportData.Data.DATASIZE, 65536));
}

std::uint32_t TuiHIDData::HidFindAndGetFeatureReport(THIDDataParam& ReportData) {
    std::uint32_t result = kNoDeviceFound;
    const std::size_t size = std::min<std::size_t>(ReportData.Data.DATASIZE, 65536);
    DeviceSearch(ReportData.UsageAndPage, Filter::Write, ReportData.DeviceID, false,
                 [&](platform::IHidDevice& device, const platform::HidCaps& caps, const platform::HidInterface&) {
                     if (caps.FeatureReportByteLength < ReportData.Data.DATASIZE) return;
                     std::vector<std::uint8_t> buf(65536, 0);
                     buf[0] = ReportData.Data.ReportID;
                     const long rc = device.GetFeature(buf.data(), size);
                     result = static_cast<std::uint32_t>(rc);
                     if (rc != 0 || size == 0) return;
                     ReportData.Data.ReportID = buf[0];
                     std::memcpy(ReportData.Data.DATAReally, buf.data() + 1, size - 1);
                 });
    return result;
}

std::uint32_t TuiHIDData::HidFindAndSetFeatureReport(THIDDataParam& ReportData) {
    std::uint32_t result = kNoDeviceFound;
    const std::size_t size = std::min<std::size_t>(ReportData.Data.DATASIZE, 65536);
    DeviceSearch(ReportData.UsageAndPage, Filter::Write, ReportData.DeviceID, false,
                 [&](platform::IHidDevice& device, const platform::HidCaps& caps, const platform::HidInterface&) {
                     if (caps.FeatureReportByteLength < ReportData.Data.DATASIZE) return;
                     ReportData.DeviceHandle = static_cast<std::uint32_t>(device.NativeHandle());
                     const auto buf = WireReport(ReportData.Data, size);
                     result = static_cast<std::uint32_t>(device.SetFeature(buf.data(), buf.size()));
                 });
    return result;
}

bool TuiHIDData::IsDeviceExist(const THIDDataParam& ReportData) {
    bool result = false;
    DeviceSearch(ReportData.UsageAndPage, Filter::Write, ReportData.DeviceID, false,
                 [&](platform::IHidDevice&, const platform::HidCaps&, const platform::HidInterface&) { result = true; });
    return result;
}

void TuiHIDData::HidStopRead() {
    // Every read thread of the program sees the stop; this component's own
    // are waited for, so a restart never finds one of them still reading.
    // Waiting threads end at once, and one waiting for the main thread in the
    // hand-over gives up; a stop from inside a report's events, or from a
    // read thread, does not wait for the thread it runs for.
    HidStopEvent.Set();
    threads_->WaitForThreads(std::chrono::milliseconds(2000));
    if (deps_.sleep) deps_.sleep(20);
    HidStopEvent.Reset();
}

}  // namespace vxm
