// The HID backend against Wine's own HID devices (a mouse and a keyboard
// collection): enumeration, capabilities, and a read thread that a stop ends
// with its pending read cancelled.
#include <gtest/gtest.h>

#include <thread>

#include "hid/hid_data.h"
#include "win32/inline_dispatcher.h"
#include "platform/win32/hid_win32.h"
#include "platform/win32/win32_platform.h"

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
    TuiHIDData data{HidDependencies{hid, ini, dispatcher, SystemPaths().ExecutableFolder(),
                                    [](unsigned ms) { Sleep(ms); }}};
};

TEST(Win32Hid, ReadThreadOnARealDeviceEndsOnStop) {
    RealHid real;
    TuiHIDData& data = real.data;
    data.HidFindAndReadDevice(app::USAGE_AND_PAGE{0x02, 0x01}, u"*");
    for (int i = 0; i < 200 && HidStopEvent->LiveThreads() == 0; ++i) Sleep(5);
    EXPECT_GE(HidStopEvent->LiveThreads(), 1);
    Sleep(20);  // let the read be pending
    data.HidStopRead();
    EXPECT_EQ(HidStopEvent->LiveThreads(), 0);
}

TEST(Win32Hid, NoVendorCollectionMeansNoThreadAndFeatureOperationsSayNotFound) {
    RealHid real;
    TuiHIDData& data = real.data;
    data.HidFindAndReadDevice(app::USAGE_AND_PAGE{0x0001, 0xFFA0}, u"*");
    EXPECT_EQ(HidStopEvent->LiveThreads(), 0);
    auto param = std::make_unique<THIDDataParam>();
    param->UsageAndPage = {0x0001, 0xFFA0};
    param->Data.DATASIZE = 8;
    EXPECT_EQ(data.HidFindAndGetFeatureReport(*param), kNoDeviceFound);
    EXPECT_FALSE(data.IsDeviceExist(*param));
}

}  // namespace
}  // namespace vxm::win32
