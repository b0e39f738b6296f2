// The HID backend against Wine's own HID devices (a mouse and a keyboard
// collection): enumeration, capabilities, a read thread that a stop ends
// with its pending read cancelled, the button usages of real reports, and
// HID.dll kept while a channel uses it.
#include <gtest/gtest.h>

#include <windows.h>
#include <hidsdi.h>
#include <hidpi.h>

#include <thread>

#include "hid/hid_data.h"
#include "hid/read_thread.h"
#include "platform/win32/debug_output_win32.h"
#include "platform/win32/hid_win32.h"
#include "platform/win32/ini_win32.h"
#include "platform/win32/paths_win32.h"
#include "platform/win32/wide.h"
#include "win32/inline_dispatcher.h"

namespace vxm::win32 {
namespace {

TEST(Win32Hid, EnumeratesInterfacesWithPathsIdsAndCapabilities) {
    HidSystem hid;
    const auto list = hid.EnumerateInterfaces();
    ASSERT_FALSE(list.empty()) << "Wine lists its HID mouse and keyboard";
    int mice = 0;
    for (const auto& iface : list) {
        EXPECT_FALSE(iface.path.empty());
        EXPECT_FALSE(iface.hardwareIds.empty());
        auto dev = hid.Open(iface.path, false);
        if (!dev) continue;
        const auto caps = dev->Capabilities();
        ASSERT_TRUE(caps.has_value());
        if (caps->UsagePage == 0x01 && caps->Usage == 0x02) ++mice;
    }
    EXPECT_GE(mice, 1);
}

// The component over the real SetupAPI and HID.dll.
struct RealHid {
    HidSystem hid;
    IniReader ini;
    vxm::testing::InlineDispatcher dispatcher;
    DebuggerOutput debug;
    TuiHIDData data{HidDependencies{hid, ini, dispatcher, debug, SystemPaths().ExecutableFolder(),
                                    [](unsigned ms) { Sleep(ms); }}};
};

TEST(Win32Hid, ReadThreadOnARealDeviceEndsOnStop) {
    RealHid real;
    TuiHIDData& data = real.data;
    data.HidFindAndReadDevice(USAGE_AND_PAGE{0x02, 0x01}, u"*");
    for (int i = 0; i < 200 && HidStopEvent.LiveThreads() == 0; ++i) Sleep(5);
    EXPECT_GE(HidStopEvent.LiveThreads(), 1);
    Sleep(20);  // let the read be pending
    data.HidStopRead();
    EXPECT_EQ(HidStopEvent.LiveThreads(), 0);
}

TEST(Win32Hid, NoVendorCollectionMeansNoThreadAndFeatureOperationsSayNotFound) {
    RealHid real;
    TuiHIDData& data = real.data;
    data.HidFindAndReadDevice(USAGE_AND_PAGE{0x0001, 0xFFA0}, u"*");
    EXPECT_EQ(HidStopEvent.LiveThreads(), 0);
    auto param = std::make_unique<THIDDataParam>();
    param->UsageAndPage = {0x0001, 0xFFA0};
    param->Data.DATASIZE = 8;
    EXPECT_EQ(data.HidFindAndGetFeatureReport(*param), kNoDeviceFound);
    EXPECT_FALSE(data.IsDeviceExist(*param));
}

// The path of Wine's HID collection with this usage page and usage.
u16 FindCollection(HidSystem& hid, std::uint16_t page, std::uint16_t usage) {
    for (const auto& iface : hid.EnumerateInterfaces()) {
        auto dev = hid.Open(iface.path, false);
        if (!dev) continue;
        const auto caps = dev->Capabilities();
        if (caps && caps->UsagePage == page && caps->Usage == usage) return iface.path;
    }
    return u16();
}

// Builds input reports of one collection with the HID parser's own writer.
class ReportWriter {
public:
    explicit ReportWriter(u16view path) : lib_(LoadLibraryW(L"hid.dll")) {
        get_ = reinterpret_cast<decltype(&HidD_GetPreparsedData)>(
            reinterpret_cast<void*>(GetProcAddress(lib_, "HidD_GetPreparsedData")));
        free_ = reinterpret_cast<decltype(&HidD_FreePreparsedData)>(
            reinterpret_cast<void*>(GetProcAddress(lib_, "HidD_FreePreparsedData")));
        caps_ = reinterpret_cast<decltype(&HidP_GetCaps)>(reinterpret_cast<void*>(GetProcAddress(lib_, "HidP_GetCaps")));
        set_ = reinterpret_cast<decltype(&HidP_SetUsages)>(
            reinterpret_cast<void*>(GetProcAddress(lib_, "HidP_SetUsages")));
        HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE && get_ && get_(h, &pp_)) {
            HIDP_CAPS c{};
            if (caps_(pp_, &c) == HIDP_STATUS_SUCCESS) length_ = c.InputReportByteLength;
        }
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    ~ReportWriter() {
        if (pp_) free_(pp_);
        FreeLibrary(lib_);
    }
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    bool Ready() const { return pp_ && set_ && length_ > 0; }
    std::vector<std::uint8_t> Report(USAGE page, std::vector<USAGE> usages) {
        std::vector<std::uint8_t> report(length_, 0);
        ULONG n = static_cast<ULONG>(usages.size());
        if (n) set_(HidP_Input, page, 0, usages.data(), &n, pp_, reinterpret_cast<PCHAR>(report.data()), length_);
        return report;
    }

private:
    HMODULE lib_;
    decltype(&HidD_GetPreparsedData) get_ = nullptr;
    decltype(&HidD_FreePreparsedData) free_ = nullptr;
    decltype(&HidP_GetCaps) caps_ = nullptr;
    decltype(&HidP_SetUsages) set_ = nullptr;
    PHIDP_PREPARSED_DATA pp_ = nullptr;
    ULONG length_ = 0;
};

TEST(Win32Hid, ButtonDataOfRealReportsReportsReleasesAndCutsLongListsTo100) {
    HidSystem hid;
    // Wine's keyboard collection reports up to 102 key usages at once.
    const u16 path = FindCollection(hid, 0x01, 0x06);
    ASSERT_FALSE(path.empty());
    auto channel = hid.OpenReadChannel(path);
    ASSERT_GT(channel->MaxUsageListLength(), 100u);
    ReportWriter writer(path);
    ASSERT_TRUE(writer.Ready());
    constexpr USAGE kKeyboardPage = 0x07;
    auto data = [&](std::vector<USAGE> keys) {
        const auto report = writer.Report(kKeyboardPage, std::move(keys));
        return GetButtonData(*channel, report.data(), report.size());
    };
    ResetButtonData();
    EXPECT_EQ(data({4}), 0x00040000u) << "a press in the high word";
    EXPECT_EQ(data({}), 4u) << "its release in the low word";

    std::vector<USAGE> many;
    for (USAGE u = 1; u <= 101; ++u) many.push_back(u);
    EXPECT_EQ(data(many), 0x00010000u) << "101 keys at once: read whole, the first 100 count";
    many.pop_back();
    EXPECT_EQ(data(many), 0u) << "the 101st is beyond the first 100: its release is not seen";
    EXPECT_EQ(data({}), 1u);
    ResetButtonData();
}

TEST(Win32Hid, HidDllStaysLoadedUntilTheLastChannelGoes) {
    if (GetModuleHandleW(L"hid.dll")) GTEST_SKIP() << "hid.dll is held by something else in this process";
    auto hid = std::make_unique<HidSystem>();
    const u16 path = FindCollection(*hid, 0x01, 0x02);
    ASSERT_FALSE(path.empty());
    auto channel = hid->OpenReadChannel(path);
    const std::uint32_t longest = channel->MaxUsageListLength();
    hid.reset();  // the host's HID system goes first, as at exit
    ASSERT_NE(GetModuleHandleW(L"hid.dll"), nullptr) << "a live channel keeps HID.dll";
    EXPECT_EQ(channel->MaxUsageListLength(), longest);
    std::vector<std::uint8_t> report(2, 0);
    std::vector<std::uint16_t> usages;
    EXPECT_TRUE(channel->GetUsages(report.data(), report.size(), usages));
    channel.reset();
    EXPECT_EQ(GetModuleHandleW(L"hid.dll"), nullptr) << "and releases it with the last one";
}

}  // namespace
}  // namespace vxm::win32
