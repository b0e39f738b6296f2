#include "editor/editor_window.h"

#include <commctrl.h>

#include <string>

#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

enum : int {
    kCombo = 100,
    kAddLanguage,
    kDeleteLanguage,
    kPrevPage,
    kNextPage,
    kAddConst,
    kDeleteItem,
    kSaveFile,
    kTextList,
    kTabs,
    kGrid,
    kConstText,
    kCellEdit,
    kMemo,
    kMemoSave,
};

constexpr wchar_t kClass[] = L"TuiLanguageDesignForm";
constexpr wchar_t kMemoClass[] = L"TuiLanguageTextListForm";

struct Editor {
    HINSTANCE instance = nullptr;
    TranslationEditorModel* model = nullptr;
    HWND window = nullptr, combo = nullptr, tabs = nullptr, grid = nullptr, text = nullptr, cell = nullptr;
    std::vector<int> shown;  // model tab of each tab control item
    int editRow = -1;
    bool done = false;
};

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id,
           HINSTANCE instance) {
    HWND h2 = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(h2, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return h2;
}

void FillGrid(Editor& e) {
    SendMessageW(e.grid, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(e.grid);
    const int sel = e.model->selected;
    if (sel >= 0 && static_cast<std::size_t>(sel) < e.model->tabs.size()) {
        const auto& rows = e.model->tabs[static_cast<std::size_t>(sel)].rows;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            std::wstring c0 = W(rows[i][0]), c1 = W(rows[i][1]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = c0.data();
            ListView_InsertItem(e.grid, &item);
            ListView_SetItemText(e.grid, static_cast<int>(i), 1, c1.data());
        }
    }
    SendMessageW(e.grid, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(e.grid, nullptr, TRUE);
}

void ShowTabs(Editor& e) {
    TabCtrl_DeleteAllItems(e.tabs);
    e.shown.clear();
    for (std::size_t i = 0; i < e.model->tabs.size(); ++i) {
        if (!e.model->tabs[i].visible) continue;
        std::wstring caption = W(e.model->tabs[i].caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        TabCtrl_InsertItem(e.tabs, static_cast<int>(e.shown.size()), &item);
        if (static_cast<int>(i) == e.model->selected) TabCtrl_SetCurSel(e.tabs, static_cast<int>(e.shown.size()));
        e.shown.push_back(static_cast<int>(i));
    }
    FillGrid(e);
}

void CommitCell(Editor& e) {
    if (!e.cell || e.editRow < 0) return;
    wchar_t buffer[2048] = {};
    GetWindowTextW(e.cell, buffer, 2048);
    e.model->SetTranslation(e.model->selected, e.editRow, U(buffer));
    ListView_SetItemText(e.grid, e.editRow, 1, buffer);
    e.editRow = -1;
    ShowWindow(e.cell, SW_HIDE);
}

// The translation column is edited in place: an edit box over the cell.
void BeginEdit(Editor& e, int row) {
    if (row < 0) return;
    RECT r{};
    ListView_GetSubItemRect(e.grid, row, 1, LVIR_BOUNDS, &r);
    MapWindowPoints(e.grid, e.window, reinterpret_cast<POINT*>(&r), 2);
    wchar_t buffer[2048] = {};
    ListView_GetItemText(e.grid, row, 1, buffer, 2048);
    e.editRow = row;
    SetWindowTextW(e.cell, buffer);
    SetWindowPos(e.cell, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
    SetFocus(e.cell);
}

struct Memo {
    std::wstring text;
    bool saved = false;
    bool open = true;
    HWND edit = nullptr;
};

LRESULT CALLBACK MemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* m = reinterpret_cast<Memo*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COMMAND && LOWORD(wParam) == kMemoSave && m) {
        const int n = GetWindowTextLengthW(m->edit);
        m->text.assign(static_cast<std::size_t>(n) + 1, L'\0');
        GetWindowTextW(m->edit, m->text.data(), n + 1);
        m->text.resize(static_cast<std::size_t>(n));
        m->saved = true;
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY && m) m->open = false;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void TextList(Editor& e) {
    if (e.model->selected < 0) return;
    Memo memo;
    HWND w = CreateWindowExW(WS_EX_DLGMODALFRAME, kMemoClass, L"Get/Set Text List", WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             120, 120, 520, 420, e.window, nullptr, e.instance, nullptr);
    SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&memo));
    memo.edit = Child(w, L"EDIT", L"", WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 8, 8,
                      496, 340, kMemo, e.instance);
    Child(w, L"BUTTON", L"Save", BS_PUSHBUTTON, 420, 356, 84, 26, kMemoSave, e.instance);
    ShowWindow(w, SW_SHOW);
    EnableWindow(e.window, FALSE);
    MSG msg;
    while (memo.open && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(w, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EnableWindow(e.window, TRUE);
    SetForegroundWindow(e.window);
    if (!memo.saved) return;
    const int skipped = e.model->SaveTextList(U(memo.text));
    ShowTabs(e);
    if (skipped > 0) {
        const std::wstring note = std::to_wstring(skipped) +
                                  (skipped == 1 ? L" line without \"=\" was skipped." : L" lines without \"=\" were skipped.");
        MessageBoxW(e.window, note.c_str(), L"Get/Set Text List", MB_OK | MB_ICONINFORMATION);
    }
}

void Command(Editor& e, int id) {
    switch (id) {
        case kAddLanguage:
            e.model->AddLanguage(static_cast<int>(SendMessageW(e.combo, CB_GETCURSEL, 0, 0)));
            ShowTabs(e);
            break;
        case kDeleteLanguage:
            e.model->DeleteLanguage();
            ShowTabs(e);
            break;
        case kPrevPage:
            e.model->PrevPage();
            ShowTabs(e);
            break;
        case kNextPage:
            e.model->NextPage();
            ShowTabs(e);
            break;
        case kAddConst: {
            wchar_t buffer[1024] = {};
            GetWindowTextW(e.text, buffer, 1024);
            e.model->AddConstText(U(buffer));
            FillGrid(e);
            break;
        }
        case kDeleteItem:
            e.model->DeleteItemFromList(ListView_GetNextItem(e.grid, -1, LVNI_SELECTED));
            FillGrid(e);
            break;
        case kSaveFile:
            CommitCell(e);
            try {
                if (e.model->SaveToLanguageFile()) DestroyWindow(e.window);
            } catch (const std::exception& ex) {
                MessageBoxW(e.window, W(Utf16(ex.what())).c_str(), L"Save to language file", MB_OK | MB_ICONERROR);
            }
            break;
        case kTextList:
            TextList(e);
            break;
        default:
            break;
    }
}

LRESULT CALLBACK EditorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* e = reinterpret_cast<Editor*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!e) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kCellEdit && HIWORD(wParam) == EN_KILLFOCUS) {
                CommitCell(*e);
            } else if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
                Command(*e, LOWORD(wParam));
            }
            return 0;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (hdr->idFrom == kTabs && hdr->code == TCN_SELCHANGE) {
                const int pos = TabCtrl_GetCurSel(e->tabs);
                if (pos >= 0 && static_cast<std::size_t>(pos) < e->shown.size()) e->model->selected = e->shown[pos];
                FillGrid(*e);
            } else if (hdr->idFrom == kGrid && hdr->code == NM_DBLCLK) {
                BeginEdit(*e, reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
            }
            return 0;
        }
        case WM_DESTROY:
            e->done = true;
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

void ShowTranslationEditor(HINSTANCE instance, TranslationEditorModel& model) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = EditorProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    RegisterClassW(&wc);
    WNDCLASSW mc = wc;
    mc.lpfnWndProc = MemoProc;
    mc.lpszClassName = kMemoClass;
    RegisterClassW(&mc);

    Editor e;
    e.instance = instance;
    e.model = &model;
    e.window = CreateWindowExW(0, kClass, L"Translation Editor", WS_OVERLAPPEDWINDOW & ~WS_THICKFRAME & ~WS_MAXIMIZEBOX,
                               CW_USEDEFAULT, CW_USEDEFAULT, 910, 600, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(e.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&e));
    Child(e.window, L"STATIC", L"Langs List\xFF1A", SS_LEFT, 8, 12, 80, 20, 0, instance);
    e.combo = Child(e.window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 90, 8, 300, 20 * 22, kCombo, instance);
    for (const auto& l : model.Locales()) SendMessageW(e.combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(l.displayName).c_str()));
    Child(e.window, L"BUTTON", L"Add Language", BS_PUSHBUTTON, 400, 7, 110, 24, kAddLanguage, instance);
    Child(e.window, L"BUTTON", L"Delete Language", BS_PUSHBUTTON, 515, 7, 110, 24, kDeleteLanguage, instance);
    Child(e.window, L"BUTTON", L"Prev Page", BS_PUSHBUTTON, 630, 7, 80, 24, kPrevPage, instance);
    Child(e.window, L"BUTTON", L"Next Page", BS_PUSHBUTTON, 715, 7, 80, 24, kNextPage, instance);
    e.tabs = Child(e.window, WC_TABCONTROLW, L"", WS_CLIPSIBLINGS, 8, 40, 880, 24, kTabs, instance);
    // The grid's layout: 876 x 410 under the tabs; source 380 wide, translation 440.
    e.grid = Child(e.window, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER, 10, 64, 876,
                   410, kGrid, instance);
    ListView_SetExtendedListViewStyle(e.grid, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = 380;
    col.pszText = const_cast<wchar_t*>(L"Source");
    ListView_InsertColumn(e.grid, 0, &col);
    col.cx = 440;
    col.pszText = const_cast<wchar_t*>(L"Translation");
    ListView_InsertColumn(e.grid, 1, &col);
    e.cell = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, 0, 0, 10, 10, e.window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCellEdit)), instance, nullptr);
    SendMessageW(e.cell, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    Child(e.window, L"STATIC", L"Type Text to translate:", SS_LEFT, 8, 492, 140, 20, 0, instance);
    e.text = Child(e.window, L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, 150, 488, 250, 24, kConstText, instance);
    Child(e.window, L"BUTTON", L"Add Const Text", BS_PUSHBUTTON, 405, 487, 110, 26, kAddConst, instance);
    Child(e.window, L"BUTTON", L"Delete Item From List", BS_PUSHBUTTON, 520, 487, 130, 26, kDeleteItem, instance);
    Child(e.window, L"BUTTON", L"Save to language file", BS_PUSHBUTTON, 655, 487, 130, 26, kSaveFile, instance);
    Child(e.window, L"BUTTON", L"Get/Set Text List", BS_PUSHBUTTON, 790, 487, 100, 26, kTextList, instance);
    ShowTabs(e);
    ShowWindow(e.window, SW_SHOW);
    UpdateWindow(e.window);
    MSG msg;
    while (!e.done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN && msg.hwnd == e.cell && msg.wParam == VK_RETURN) {
            CommitCell(e);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace vxm::win32
