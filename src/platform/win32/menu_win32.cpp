#include "platform/win32/menu_win32.h"

#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

constexpr UINT kFirstMenuCommand = 100;

}  // namespace

PopupMenu::PopupMenu(HWND owner) : owner_(owner), menu_(CreatePopupMenu()) {}

PopupMenu::~PopupMenu() { DestroyMenu(menu_); }

void PopupMenu::AddItem(u16view name, u16view caption, bool visible, std::function<void()> onClick) {
    items_.push_back(Item{u16(name), W(caption), visible, std::move(onClick)});
    Rebuild();
}

void PopupMenu::SetCaption(int index, u16view caption) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    Item& item = items_[index];
    const std::wstring text = W(caption);
    if (item.caption == text) return;
    item.caption = text;
    if (item.visible) {
        const UINT id = kFirstMenuCommand + static_cast<UINT>(index);
        ModifyMenuW(menu_, id, MF_BYCOMMAND | MF_STRING, id, item.caption.c_str());
    }
}

void PopupMenu::Popup(const POINT* at) {
    POINT pt{};
    if (at) {
        pt = *at;
    } else {
        GetCursorPos(&pt);
    }
    // Foreground first and a null message after: otherwise the menu does not
    // close when the user clicks elsewhere.
    ::SetForegroundWindow(owner_);
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const UINT cmd = TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY | align, pt.x, pt.y, 0,
                                    owner_, nullptr);
    ::PostMessageW(owner_, WM_NULL, 0, 0);
    Command(cmd);
}

void PopupMenu::Command(UINT cmd) {
    if (cmd < kFirstMenuCommand || cmd - kFirstMenuCommand >= items_.size()) return;
    const auto& item = items_[cmd - kFirstMenuCommand];
    if (item.visible && item.onClick) item.onClick();
}

// A Win32 menu has no hidden items: an invisible item is left out.
void PopupMenu::Rebuild() {
    while (GetMenuItemCount(menu_) > 0) DeleteMenu(menu_, 0, MF_BYPOSITION);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (!items_[i].visible) continue;
        AppendMenuW(menu_, MF_STRING, kFirstMenuCommand + i, items_[i].caption.c_str());
    }
}

}  // namespace vxm::win32
