#include "monitor/about_painter.h"

#include <string>

#include "platform/win32/gdi_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

// The face to draw a text in: its own when the system has it, else the
// default GUI face. A missing face gets whatever the font mapper picks,
// which may have no CJK glyphs and no font link to any; the GUI face is
// linked to the system's CJK fonts, so "确定" shows as text, not boxes.
std::wstring ExistingFace(HDC dc, u16view face) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    const std::wstring wanted = W(face);
    if (!wanted.empty() && wanted.size() < LF_FACESIZE) {
        lstrcpynW(lf.lfFaceName, wanted.c_str(), LF_FACESIZE);
        bool found = false;
        EnumFontFamiliesExW(dc, &lf, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
        if (found) return wanted;
    }
    LOGFONTW gui{};
    if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui) && gui.lfFaceName[0]) return gui.lfFaceName;
    return L"MS Shell Dlg";
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    const GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.Get());
}

RECT Bounds(const ui::Rect& b) { return RECT{b.x, b.y, b.x + b.width, b.y + b.height}; }

}  // namespace

void PaintAboutPage(HDC dc, const RECT& client, const ui::Scene* scene) {
    // Background: a dark page with a lighter frame where the labels sit.
    Fill(dc, client, RGB(0x1B, 0x1F, 0x2A));
    Fill(dc, RECT{43, 81, 43 + 425, 81 + 223}, RGB(0x2A, 0x30, 0x40));
    if (!scene) return;
    for (const auto& b : scene->Buttons()) {
        Fill(dc, Bounds(b.Bounds), b.Name == u"BtnOK" ? RGB(0xE2, 0x3B, 0x3B) : RGB(0x3A, 0x44, 0x5A));
    }
    SetBkMode(dc, TRANSPARENT);
    for (const auto& t : scene->Texts()) {
        const GdiObject<HFONT> font(CreateFontW(-t->Style.size, 0, 0, 0, t->Style.bold ? FW_BOLD : FW_NORMAL, FALSE,
                                                FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                CLEARTYPE_QUALITY, DEFAULT_PITCH,
                                                ExistingFace(dc, t->Style.fontFamily).c_str()));
        const Selection selected(dc, font.Get());
        const auto c = t->Style.color;
        SetTextColor(dc, RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        RECT r = Bounds(t->Bounds);
        const std::wstring text = W(t->GetText());
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                  (t->Style.align == ui::Align::Center ? DT_CENTER | DT_VCENTER : DT_LEFT | DT_TOP) | DT_SINGLELINE |
                      DT_NOPREFIX);
    }
}

}  // namespace vxm::win32
