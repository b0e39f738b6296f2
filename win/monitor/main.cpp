// VXMMON.EXE: the gaming mouse's tray monitor.
#include <windows.h>

#include "app/monitor.h"
#include "platform/win32/monitor_host.h"

namespace {

// Stands in for the profile manager until it reads the stored records.
class FactoryProfileSettings final : public vxm::app::IProfileSettings {
public:
    std::uint8_t CurrentLanguage() const override { return 0; }
    vxm::app::USAGE_AND_PAGE DeviceUsageAndPage() const override { return {0x0001, 0xFFA0}; }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    vxm::win32::ProcessHost process;
    std::unique_ptr<vxm::win32::MonitorHost> host;
    vxm::app::MonitorParts parts;
    parts.createProfileManager = [] { return std::make_unique<FactoryProfileSettings>(); };
    parts.createMainWindow = [&](vxm::app::IProfileSettings& dm) {
        host = std::make_unique<vxm::win32::MonitorHost>(instance);
        auto window = std::make_unique<vxm::app::TVXMMONMAIN>(*host, dm);
        host->Attach(window.get());
        return window;
    };
    return vxm::app::RunMonitor(process, parts);
}
