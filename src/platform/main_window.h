#pragma once
// The program's own window: hidden, it receives the messages addressed to
// the program; shown, it is the About page.
#include "common/text.h"
#include "platform/window_messages.h"

namespace vxm::platform {

class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // Where messages to the program itself go.
    virtual WindowHandle MainWindow() = 0;
    virtual void ShowMainWindow(bool show) = 0;
    virtual bool MainWindowVisible() = 0;
    virtual void SetApplicationTitle(u16view title) = 0;
};

}  // namespace vxm::platform
