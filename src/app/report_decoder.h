#pragma once
// The report decoder: what an input report of the mouse asks the monitor to
// do. Report 7 carries a key (a one-hot button mask), report 8 a profile
// switch or a device value for the configuration application.
#include <cstdint>

namespace vxm::app {

struct ReportAction {
    enum class Kind {
        None,         // not a report of the protocol
        Key,          // `value` is the button's index in ButtonReportCodes
        Profile,      // `value` is the profile switched to, 0 to 4
        DeviceValue,  // `value` goes to the configuration application
    };
    Kind kind = Kind::None;
    std::uint8_t value = 0;
};

// `data` is the report after its ID, `size` bytes of it.
ReportAction DecodeReport(std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size);

}  // namespace vxm::app
