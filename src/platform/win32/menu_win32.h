#pragma once
// A pop-up menu of a window (TrackPopupMenu).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/menu.h"

namespace vxm::win32 {

class PopupMenu : public platform::IPopupMenu {
public:
    explicit PopupMenu(HWND owner);
    ~PopupMenu() override;
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    void AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) override;
    // In place: the menu may be open while the captions change (a 7037
    // arrives while it is tracked).
    void SetCaption(int index, u16view caption) override;
    // At `at` in screen coordinates when given, else at the cursor; runs the
    // chosen item's click once the menu has closed.
    void Popup(const POINT* at);

private:
    struct Item {
        u16 name;
        std::wstring caption;
        bool visible;
        std::function<void()> onClick;
    };
    void Rebuild();
    void Command(UINT cmd);

    HWND owner_;
    HMENU menu_;
    std::vector<Item> items_;
};

}  // namespace vxm::win32
