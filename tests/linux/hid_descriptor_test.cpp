// Report descriptors as Windows' HID parser reads them, hostile ones too, and
// the names Linux interfaces get.
#include <gtest/gtest.h>

#include <random>

#include "platform/linux/hid_descriptor.h"
#include "platform/linux/hid_linux.h"

namespace vxm::linuxos {
namespace {

// A mouse with buttons and motion (report 1) beside the vendor collection
// (input reports 7 and 8, output 9, feature 10), on one node.
const std::vector<std::uint8_t> kMouseAndVendor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,              // Generic Desktop, Mouse, Application
    0x85, 0x01, 0x09, 0x01, 0xA1, 0x00,              //   Report ID 1, Pointer, Physical
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05,              //     Buttons 1 to 5
    0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01,  //     0..1, 5 x 1 bit
    0x81, 0x02,                                      //     Input (Data, Var)
    0x95, 0x01, 0x75, 0x03, 0x81, 0x01,              //     3 bits of padding
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31,              //     X, Y
    0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02,  //     -127..127, 2 x 8 bits
    0x81, 0x06,                                      //     Input (Data, Var, Rel)
    0xC0, 0xC0,                                      //   End, End
    0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // Vendor 0xFFA0, usage 1, Application
    0x85, 0x07, 0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00,
    0x75, 0x08, 0x95, 0x07, 0x81, 0x02,              //   Report 7: 7 bytes in
    0x85, 0x08, 0x09, 0x03, 0x95, 0x07, 0x81, 0x02,  //   Report 8: 7 bytes in
    0x85, 0x09, 0x09, 0x04, 0x95, 0x08, 0x91, 0x02,  //   Report 9: 8 bytes out
    0x85, 0x0A, 0x09, 0x05, 0x95, 0x40, 0xB1, 0x02,  //   Report 10: 64 bytes feature
    0xC0,
};

// A keyboard without report IDs: modifier bits and a six-key array.
const std::vector<std::uint8_t> kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,
    0xC0,
};

std::optional<HidReportDescriptor> Parse(const std::vector<std::uint8_t>& d) {
    // An exact-size heap copy, so a read past the end is caught.
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[d.size() ? d.size() : 1]);
    std::copy(d.begin(), d.end(), copy.get());
    return ParseReportDescriptor(copy.get(), d.size());
}

bool Usages(const HidCollection& c, std::vector<std::uint8_t> report, std::vector<std::uint16_t>& out) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[report.size() ? report.size() : 1]);
    std::copy(report.begin(), report.end(), copy.get());
    return c.GetUsages(copy.get(), report.size(), out);
}

TEST(HidDescriptor, CollectionsAndTheirReportLengths) {
    const auto d = Parse(kMouseAndVendor);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->numbered);
    ASSERT_EQ(d->collections.size(), 2u);  // the nested physical collection is no interface
    const HidCollection& mouse = d->collections[0];
    EXPECT_EQ(mouse.usagePage, 0x01);
    EXPECT_EQ(mouse.usage, 0x02);
    EXPECT_EQ(mouse.inputReportByteLength, 4);  // ID byte, buttons and padding, X, Y
    EXPECT_EQ(mouse.outputReportByteLength, 0);
    EXPECT_EQ(mouse.inputReportIds, std::vector<std::uint8_t>{1});
    const HidCollection& vendor = d->collections[1];
    EXPECT_EQ(vendor.usagePage, 0xFFA0);
    EXPECT_EQ(vendor.usage, 0x0001);
    EXPECT_EQ(vendor.inputReportByteLength, 8);
    EXPECT_EQ(vendor.outputReportByteLength, 9);
    EXPECT_EQ(vendor.featureReportByteLength, 65);
    EXPECT_EQ(vendor.inputReportIds, (std::vector<std::uint8_t>{7, 8}));
    EXPECT_EQ(vendor.MaxUsageListLength(), 0u);  // byte values are no buttons

    const auto k = Parse(kKeyboard);
    ASSERT_TRUE(k);
    EXPECT_FALSE(k->numbered);
    ASSERT_EQ(k->collections.size(), 1u);
    EXPECT_EQ(k->collections[0].inputReportByteLength, 9);  // the ID byte counts without IDs too
    EXPECT_EQ(k->collections[0].inputReportIds, std::vector<std::uint8_t>{0});
}

TEST(HidDescriptor, ButtonUsagesOfAReport) {
    const auto d = Parse(kMouseAndVendor);
    const HidCollection& mouse = d->collections[0];
    EXPECT_EQ(mouse.MaxUsageListLength(), 5u);
    std::vector<std::uint16_t> usages;
    ASSERT_TRUE(Usages(mouse, {1, 0x05 | 0xE0, 0x10, 0xF0}, usages));  // padding bits set: ignored
    EXPECT_EQ(usages, (std::vector<std::uint16_t>{1, 3}));
    EXPECT_FALSE(Usages(mouse, {7, 1, 0, 0}, usages));  // another collection's report
    EXPECT_FALSE(Usages(mouse, {}, usages));

    const auto k = Parse(kKeyboard);
    const HidCollection& keyboard = k->collections[0];
    EXPECT_EQ(keyboard.MaxUsageListLength(), 14u);
    ASSERT_TRUE(Usages(keyboard, {0, 0x02, 0xFF, 0x04, 0x05, 0x00, 0x66, 0, 0}, usages));
    EXPECT_EQ(usages, (std::vector<std::uint16_t>{0xE1, 0x04, 0x05}));  // 0x66 is past the logical maximum
    EXPECT_FALSE(Usages(keyboard, {0, 0x02, 0, 4}, usages));  // too short for the array
    EXPECT_FALSE(Usages(keyboard, {1, 0, 0, 0, 0, 0, 0, 0, 0}, usages));
}

TEST(HidDescriptor, GlobalsPushAndPopAndLongItems) {
    const std::vector<std::uint8_t> d = {
        0x06, 0x00, 0xFF, 0x0A, 0x34, 0x12, 0xA1, 0x01,  // vendor page, 2-byte usage 0x1234
        0x75, 0x08, 0x95, 0x02, 0xA4,                    // push size 8 count 2
        0x75, 0x01, 0x95, 0x10, 0x81, 0x03,              // 16 constant bits
        0xB4, 0x81, 0x02,                                // pop: 2 x 8 bits
        0xFE, 0x02, 0x10, 0xAA, 0xBB,                    // a long item, skipped
        0xB4,                                            // a pop with nothing pushed
        0xC0, 0xC0,                                      // one end too many
        0x0B, 0x02, 0x00, 0x0C, 0x00, 0xA1, 0x01,        // extended usage 0x000C:0002
        0x95, 0x01, 0x81, 0x02, 0xC0,
    };
    const auto p = Parse(d);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->collections.size(), 2u);
    EXPECT_EQ(p->collections[0].usagePage, 0xFF00);
    EXPECT_EQ(p->collections[0].usage, 0x1234);
    EXPECT_EQ(p->collections[0].inputReportByteLength, 5);  // 2 + 2 bytes and the ID byte
    EXPECT_EQ(p->collections[1].usagePage, 0x000C);
    EXPECT_EQ(p->collections[1].usage, 0x0002);
    EXPECT_EQ(p->collections[1].inputReportByteLength, 6);  // report 0 goes on where it was
}

TEST(HidDescriptor, MalformedDescriptorsAreRefusedWithoutReadingPastThem) {
    EXPECT_FALSE(Parse({0x06, 0xA0}));                    // two data bytes announced, one there
    EXPECT_FALSE(Parse({0x05}));
    EXPECT_FALSE(Parse({0xFE, 0x05, 0x00, 0x01, 0x02}));  // a long item running past the end
    EXPECT_FALSE(Parse({0xFE, 0x01}));
    EXPECT_FALSE(Parse({0xA1, 0x01, 0x75, 0x08, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02, 0xC0}));  // 2 GB report
    EXPECT_TRUE(Parse({}));
    // Every cut of a good descriptor parses or is refused, never overruns.
    for (std::size_t n = 0; n <= kMouseAndVendor.size(); ++n) {
        Parse(std::vector<std::uint8_t>(kMouseAndVendor.begin(), kMouseAndVendor.begin() + static_cast<long>(n)));
    }
    // Random descriptors, and random reports against what they describe.
    std::mt19937 random(7);
    std::vector<std::uint16_t> usages;
    for (int round = 0; round < 4000; ++round) {
        std::vector<std::uint8_t> d(static_cast<std::size_t>(random() % 200));
        for (auto& b : d) b = static_cast<std::uint8_t>(random() % 4 == 0 ? kMouseAndVendor[random() % kMouseAndVendor.size()] : random());
        const auto p = Parse(d);
        if (!p) continue;
        for (const HidCollection& c : p->collections) {
            c.MaxUsageListLength();
            std::vector<std::uint8_t> report(static_cast<std::size_t>(random() % 80));
            for (auto& b : report) b = static_cast<std::uint8_t>(random());
            if (!report.empty() && !c.inputReportIds.empty()) report[0] = c.inputReportIds[0];
            Usages(c, report, usages);
        }
    }
}

TEST(HidIds, WindowsFormsOfTheNodesIds) {
    EXPECT_EQ(HidHardwareIds({0x1234, 0x5678, 0x0100, 1}, 0xFFA0, 0x0001, 2),
              (std::vector<u16>{u"HID\\VID_1234&PID_5678&REV_0100&MI_01&Col02", u"HID\\VID_1234&PID_5678&MI_01&Col02",
                                u"HID\\VID_1234&PID_5678&REV_0100&Col02", u"HID\\VID_1234&PID_5678&Col02",
                                u"HID\\VID_1234&PID_5678", u"HID\\VID_1234&UP:FFA0_U:0001", u"HID_DEVICE_UP:FFA0_U:0001",
                                u"HID_DEVICE"}));
    EXPECT_EQ(HidHardwareIds({0x046D, 0xB01A, 0x0001, -1}, 0x0001, 0x0002, 0),
              (std::vector<u16>{u"HID\\VID_046D&PID_B01A&REV_0001", u"HID\\VID_046D&PID_B01A",
                                u"HID\\VID_046D&UP:0001_U:0002", u"HID_DEVICE_UP:0001_U:0002", u"HID_DEVICE"}));

    std::string node;
    std::size_t index = 9;
    SplitCollectionPath("/dev/hidraw3&col02", node, index);
    EXPECT_EQ(node, "/dev/hidraw3");
    EXPECT_EQ(index, 1u);
    for (const char* literal : {"/dev/hidraw3", "/dev/hidraw3&col00", "/dev/hidraw3&colZZ", "/dev/hidraw3&col123"}) {
        SplitCollectionPath(literal, node, index);
        EXPECT_EQ(node, literal);
        EXPECT_EQ(index, 0u);
    }
}

}  // namespace
}  // namespace vxm::linuxos
