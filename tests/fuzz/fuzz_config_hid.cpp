// config.ini values and the HID finder's hardware-identifier filters.
//
// The fuzzer chooses config.ini (raw bytes, or [options] and
// [IncludeHIDDeviceList] sections of its own values, identifiers of the
// devices among them in any case) and the HID system's devices: hardware
// identifier lists (empty ones, empty paths, devices that do not open,
// other collections). Then the options and the include list are read, and
// every device is searched for with the filters of the write and feature
// operations (none, "*", one of the identifiers, anything).
//
// Besides no crash and no read out of bounds: the registry folder starts with
// "software\"; MuteTarget is never empty nor has blanks around it, and
// MuteOverlay is 0, 1 or 2; the profile folder, when it can be made, is the documents
// folder's and exists; the include list holds the values id1, id2 ... up to
// the first empty one and never more than 101; and a device passes the
// search exactly when the filter rules say: an identifier named in the
// filter matches one of the device's (ASCII case ignored), otherwise an empty
// include list passes every device and a list passes a device that has one
// of its entries; and only a device that opens, has a path and is the
// mouse's vendor collection.
#include <cstdint>
#include <memory>
#include <vector>

#include "common/errors.h"
#include "fuzz_check.h"
#include "hid/hid_data.h"
#include "profile/options.h"
#include "support/fake_hid.h"
#include "support/fake_platform.h"

namespace vxm {
namespace {

constexpr platform::USAGE_AND_PAGE kVendor{0x0001, 0xFFA0};

bool SameNoCase(u16view a, u16view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto low = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
        if (low(a[i]) != low(b[i])) return false;
    }
    return true;
}

u16 CaseVaried(FuzzedDataProvider& in, u16 id) {
    for (auto& c : id) {
        if (in.ConsumeBool() && ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) c ^= 0x20;
    }
    return id;
}

u16 HardwareId(FuzzedDataProvider& in) {
    static const char16_t* kIds[] = {u"HID\\VID_1234&PID_5678&MI_01", u"HID\\VID_1234&PID_5678", u"HID_DEVICE",
                                     u"HID\\VID_1234&PID_5678&MI_01&Col02", u"*", u""};
    return in.ConsumeBool() ? u16(in.PickValueInArray(kIds)) : fuzz::Text(in, 24);
}

void Run(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    fake::FakePlatform p;
    fake::FakeHidSystem hid;
    const int devices = in.ConsumeIntegralInRange<int>(0, 4);
    std::vector<u16> allIds;
    for (int d = 0; d < devices; ++d) {
        fake::FakeHidDevice dev;
        dev.iface.path = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? u16() : u"\\\\?\\hid#dev" + ToU16(d);
        const int n = in.ConsumeIntegralInRange<int>(0, 4);
        for (int i = 0; i < n; ++i) dev.iface.hardwareIds.push_back(HardwareId(in));
        for (const auto& id : dev.iface.hardwareIds) allIds.push_back(id);
        const bool vendor = in.ConsumeIntegralInRange<int>(0, 5) != 0;
        dev.caps.Usage = vendor ? kVendor.Usage : in.ConsumeIntegral<std::uint16_t>();
        dev.caps.UsagePage = vendor ? kVendor.UsagePage : in.ConsumeIntegral<std::uint16_t>();
        dev.caps.OutputReportByteLength = dev.caps.FeatureReportByteLength = 65;
        dev.opens = in.ConsumeIntegralInRange<int>(0, 7) != 0;
        hid.devices.push_back(dev);
    }
    const u16 config = p.paths.exeFolder + u"config.ini";
    if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
        p.files.PutFile(config, in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 1024)));
    } else {
        u16 t = u"[options]\r\n";
        if (in.ConsumeBool()) t += u"ProfileRegFolder=" + fuzz::Text(in, 20) + u"\r\n";
        if (in.ConsumeBool()) t += u"profileFolder=" + fuzz::Text(in, 20) + u"\r\n";
        if (in.ConsumeBool()) t += u"MuteTarget=" + fuzz::Text(in, 20) + u"\r\n";
        if (in.ConsumeBool()) t += u"MuteOverlay=" + fuzz::Text(in, 4) + u"\r\n";
        t += in.ConsumeBool() ? u"[IncludeHIDDeviceList]\r\n" : u"[includehiddevicelist]\r\n";
        const int entries = in.ConsumeIntegralInRange<int>(0, 110);
        for (int n = 1; n <= entries; ++n) {
            u16 value;
            if (!allIds.empty() && in.ConsumeBool()) {
                value = CaseVaried(in, allIds[in.ConsumeIntegralInRange<std::size_t>(0, allIds.size() - 1)]);
            } else {
                value = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? u16() : HardwareId(in);
            }
            t += u"id" + ToU16(n) + u"=" + value + u"\r\n";
        }
        p.files.PutText(config, Utf8(t));
    }

    const TOptionsFromConfigFile options = ReadOptionsFromConfigFile(p.ini, p.paths);
    FUZZ_CHECK(options.ProfileRegFolder.rfind(u"software\\", 0) == 0, "the registry folder %s lacks software\\",
               fuzz::Show(options.ProfileRegFolder).c_str());
    const auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
    FUZZ_CHECK(!options.MuteTarget.empty() && !blank(options.MuteTarget.front()) && !blank(options.MuteTarget.back()),
               "MuteTarget %s is empty or has blanks around it", fuzz::Show(options.MuteTarget).c_str());
    FUZZ_CHECK(options.MuteOverlay >= 0 && options.MuteOverlay <= 2, "MuteOverlay %d", options.MuteOverlay);
    try {
        const u16 folder = GetPersonalDocumentProfilePath(p.files, p.paths, options);
        FUZZ_CHECK(folder.rfind(WithTrailingBackslash(p.paths.documents), 0) == 0 && p.files.DirectoryExists(folder),
                   "the profile folder %s is not made in the documents folder", fuzz::Show(folder).c_str());
    } catch (const InOutError&) {
    }

    fake::FakeDispatcher dispatcher;
    fake::FakeDebugOutput debug;
    TuiHIDData finder(HidDependencies{hid, p.ini, dispatcher, debug, p.paths.exeFolder, nullptr, false});
    const std::vector<u16>& list = finder.GetHIDDeviceList();
    FUZZ_CHECK(list.size() <= 101, "the include list holds %zu entries", list.size());
    for (std::size_t n = 0; n < list.size(); ++n) {
        FUZZ_CHECK(!list[n].empty(), "the include list holds an empty entry");
        FUZZ_CHECK(list[n] == p.ini.ReadString(config, u"IncludeHIDDeviceList", u"id" + ToU16(static_cast<long long>(n + 1)), u""),
                   "entry %zu of the include list is not id%zu", n, n + 1);
    }
    if (list.size() < 101) {
        FUZZ_CHECK(p.ini.ReadString(config, u"IncludeHIDDeviceList", u"id" + ToU16(static_cast<long long>(list.size() + 1)), u"").empty(),
                   "the include list stops before its first empty entry");
    }

    const int filters = in.ConsumeIntegralInRange<int>(1, 6);
    for (int f = 0; f < filters; ++f) {
        u16 filter;
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: break;
            case 1: filter = u"*"; break;
            case 2:
                if (!allIds.empty()) filter = CaseVaried(in, allIds[in.ConsumeIntegralInRange<std::size_t>(0, allIds.size() - 1)]);
                break;
            default: filter = fuzz::Text(in, 24); break;
        }
        bool anyExpected = false;
        for (const auto& dev : hid.devices) {
            bool passes;
            if (!filter.empty() && filter != u"*") {
                passes = std::any_of(dev.iface.hardwareIds.begin(), dev.iface.hardwareIds.end(),
                                     [&](const u16& id) { return SameNoCase(id, filter); });
            } else {
                passes = list.empty() || std::any_of(list.begin(), list.end(), [&](const u16& entry) {
                             return std::any_of(dev.iface.hardwareIds.begin(), dev.iface.hardwareIds.end(),
                                                [&](const u16& id) { return SameNoCase(id, entry); });
                         });
            }
            passes = passes && !dev.iface.path.empty() && dev.opens && dev.caps.Usage == kVendor.Usage &&
                     dev.caps.UsagePage == kVendor.UsagePage;
            anyExpected = anyExpected || passes;
        }
        THIDDataParam param;
        param.UsageAndPage = kVendor;
        param.DeviceID = filter;
        param.Data.DATASIZE = in.ConsumeIntegralInRange<std::uint32_t>(0, 70);
        FUZZ_CHECK(finder.IsDeviceExist(param) == anyExpected, "the filter \"%s\" %s a device it should %s",
                   fuzz::Show(filter).c_str(), anyExpected ? "misses" : "passes", anyExpected ? "pass" : "refuse");
        // The feature operations search as IsDeviceExist does: nothing goes
        // to a device the filter refuses.
        const std::size_t written = hid.featureSets.size();
        finder.HidFindAndSetFeatureReport(param);
        FUZZ_CHECK(anyExpected || hid.featureSets.size() == written, "a feature report went to a device the filter refuses");
    }
}

}  // namespace
}  // namespace vxm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vxm::Run(data, size);
    return 0;
}
