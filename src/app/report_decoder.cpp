#include "app/report_decoder.h"

#include "profile/tables.h"

namespace vxm::app {

ReportAction DecodeReport(std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size) {
    if (size != 7 || !data) return {};
    if (reportId == 7) {
        for (int i = 0; i < kButtonReportCodeCount; ++i) {
            const auto& code = ButtonReportCodes[i];
            if (code[1] == data[0] && code[2] == data[1] && code[3] == data[2]) {
                return {ReportAction::Kind::Key, static_cast<std::uint8_t>(i)};
            }
        }
    } else if (reportId == 8) {
        if (data[0] == 2) return {ReportAction::Kind::DeviceValue, data[1]};
        if (data[0] == 1 && data[1] <= 4) return {ReportAction::Kind::Profile, data[1]};
    }
    return {};
}

}  // namespace vxm::app
