#pragma once
// The parts of a HID report descriptor that Windows' HID parser gives the
// logic: each top-level collection's usage page and usage, its report byte
// lengths (report ID byte included, as HidP_GetCaps counts them), the input
// report IDs that belong to it, and its buttons (HidP_GetUsagesEx).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vxm::linuxos {

// One input main item that Windows reports as buttons: an array, or a
// variable field of one bit per usage.
struct HidButtonField {
    std::uint8_t reportId = 0;
    std::uint32_t bitOffset = 0;  // from the start of the data after the report ID byte
    std::uint32_t bitSize = 0;
    std::uint32_t count = 0;
    bool array = false;
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    // The usages of the item (usage page in the high 16 bits): a list, or the
    // range [usageMin, usageMax] when `usages` is empty.
    std::vector<std::uint32_t> usages;
    std::uint32_t usageMin = 0;
    std::uint32_t usageMax = 0;
    // The usage of field `i` (variable) or of array value index `i`; 0 for none.
    std::uint32_t UsageAt(std::uint32_t i) const;
};

struct HidCollection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
    std::vector<std::uint8_t> inputReportIds;
    std::vector<HidButtonField> inputButtons;
    // HidP_MaxUsageListLength(HidP_Input, 0): the most button usages a report can hold.
    std::uint32_t MaxUsageListLength() const;
    // HidP_GetUsagesEx(HidP_Input, 0) of one report (its ID in byte 0): false
    // for a report ID of another collection or a report too short.
    bool GetUsages(const std::uint8_t* report, std::size_t size, std::vector<std::uint16_t>& usages) const;
};

struct HidReportDescriptor {
    bool numbered = false;  // the device puts a report ID before every report
    std::vector<HidCollection> collections;
};

// Nothing when the descriptor is malformed (an item running past its end, a
// report longer than 65535 bytes); never reads outside `data`.
std::optional<HidReportDescriptor> ParseReportDescriptor(const std::uint8_t* data, std::size_t size);

}  // namespace vxm::linuxos
