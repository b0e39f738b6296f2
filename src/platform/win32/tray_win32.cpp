#include "platform/win32/tray_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/win32/files_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {
namespace {

bool PlausibleDpi(UINT dpi) { return dpi >= 48 && dpi <= 960; }

UINT SystemDpi() {
    const ScreenDc dc;
    const int dpi = dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 0;
    return PlausibleDpi(static_cast<UINT>(dpi)) ? static_cast<UINT>(dpi) : 96;
}

// Straight (not premultiplied) BGRA, the layout of a 32-bit icon image.
struct Pixel {
    double b = 0, g = 0, r = 0, a = 0;
};

// A 32-bit top-down DIB section of size x size pixels.
GdiObject<HBITMAP> DibSection(int size, std::uint32_t*& bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    GdiObject<HBITMAP> bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
    bits = bitmap.Get() ? static_cast<std::uint32_t*>(p) : nullptr;
    return bitmap;
}

// The icon drawn once on black and once on white: where both agree the icon
// is opaque, where they differ by everything it is clear. That holds for an
// icon with its own alpha and for one with a mask alike.
bool IconPixels(HICON icon, int size, std::vector<Pixel>& out) {
    std::uint32_t* onBlack = nullptr;
    std::uint32_t* onWhite = nullptr;
    const GdiObject<HBITMAP> black = DibSection(size, onBlack);
    const GdiObject<HBITMAP> white = DibSection(size, onWhite);
    const MemoryDc dc;
    if (!onBlack || !onWhite || !dc.Get()) return false;
    for (const auto& [bitmap, rop] : {std::pair{black.Get(), BLACKNESS}, std::pair{white.Get(), WHITENESS}}) {
        const Selection selected(dc.Get(), bitmap);
        PatBlt(dc.Get(), 0, 0, size, size, rop);
        if (!DrawIconEx(dc.Get(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL)) return false;
    }
    GdiFlush();
    out.assign(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), Pixel{});
    for (std::size_t i = 0; i < out.size(); ++i) {
        double a = 1.0;
        double c[3];
        for (int k = 0; k < 3; ++k) {
            const double b = (onBlack[i] >> (8 * k)) & 0xFF;
            const double w = (onWhite[i] >> (8 * k)) & 0xFF;
            a = std::min(a, 1.0 - (w - b) / 255.0);
            c[k] = b;
        }
        a = std::clamp(a, 0.0, 1.0);
        Pixel& p = out[i];
        p.a = a;
        if (a > 0) {
            p.b = std::min(255.0, c[0] / a);
            p.g = std::min(255.0, c[1] / a);
            p.r = std::min(255.0, c[2] / a);
        }
    }
    return true;
}

// The mark's colours (R, G, B). The logo under it is red on a dark ground,
// and a taskbar may be dark or light: an amber disc in a dark outline stands
// apart from all of them, at 16 px too, where a red one merged with the logo.
constexpr double kMarkInk[3] = {0x1A, 0x1A, 0x1A};   // outline, microphone and slash
constexpr double kMarkDisc[3] = {0xFF, 0xC0, 0x00};  // the disc

// The mark at (u, v), both -1..1 across its disc: 0 outside, 1 the outline,
// microphone and slash (ink), 2 the disc.
int MarkAt(double u, double v) {
    const double d = std::sqrt(u * u + v * v);
    if (d > 1.0) return 0;
    if (d > 0.78) return 1;
    // The slash, from upper left to lower right.
    if (std::abs(u - v) / std::sqrt(2.0) < 0.11 && std::abs(u) < 0.66) return 1;
    // The capsule of the microphone.
    const double cv = std::clamp(v, -0.5, -0.05);
    if (std::sqrt(u * u + (v - cv) * (v - cv)) < 0.2) return 1;
    // Its holder, a half ring below the capsule, the stem and the foot.
    const double ring = std::sqrt(u * u + (v + 0.12) * (v + 0.12));
    if (v > -0.12 && ring > 0.33 && ring < 0.45) return 1;
    if (std::abs(u) < 0.07 && v > 0.3 && v < 0.58) return 1;
    if (std::abs(v - 0.58) < 0.07 && std::abs(u) < 0.26) return 1;
    return 2;
}

// The mark over the lower right corner, four by four samples a pixel.
void DrawMark(std::vector<Pixel>& pixels, int size) {
    const int diameter = std::max(7, (size * 9 + 8) / 16);
    const int left = size - diameter;
    const int top = size - diameter;
    const double radius = diameter / 2.0;
    constexpr int kSamples = 4;
    for (int y = top; y < size; ++y) {
        for (int x = left; x < size; ++x) {
            double cover = 0, r = 0, g = 0, b = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double u = (x - left + (sx + 0.5) / kSamples - radius) / radius;
                    const double v = (y - top + (sy + 0.5) / kSamples - radius) / radius;
                    const int part = MarkAt(u, v);
                    if (part == 0) continue;
                    cover += 1;
                    const double* c = part == 1 ? kMarkInk : kMarkDisc;
                    r += c[0], g += c[1], b += c[2];
                }
            }
            if (cover == 0) continue;
            const double as = cover / (kSamples * kSamples);
            Pixel& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)];
            const double ab = p.a * (1 - as);
            const double a = as + ab;
            p.r = (r / cover * as + p.r * ab) / a;
            p.g = (g / cover * as + p.g * ab) / a;
            p.b = (b / cover * as + p.b * ab) / a;
            p.a = a;
        }
    }
}

}  // namespace

Icon IconWithMuteBadge(HICON base, int size) {
    if (!base || size < 8 || size > 256) return Icon();
    std::vector<Pixel> pixels;
    if (!IconPixels(base, size, pixels)) return Icon();
    DrawMark(pixels, size);
    std::uint32_t* bits = nullptr;
    const GdiObject<HBITMAP> color = DibSection(size, bits);
    if (!bits) return Icon();
    // The mask: one bit a pixel, rows of whole 16-bit words, set where clear.
    const std::size_t stride = static_cast<std::size_t>((size + 15) / 16) * 2;
    std::vector<std::uint8_t> mask(stride * static_cast<std::size_t>(size), 0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const Pixel& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)];
            const auto channel = [](double c) { return static_cast<std::uint32_t>(std::lround(std::clamp(c, 0.0, 255.0))); };
            const std::uint32_t a = channel(p.a * 255);
            bits[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)] =
                (a << 24) | (channel(p.r) << 16) | (channel(p.g) << 8) | channel(p.b);
            if (a == 0) mask[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    GdiFlush();
    const GdiObject<HBITMAP> maskBitmap(CreateBitmap(size, size, 1, 1, mask.data()));
    if (!maskBitmap.Get()) return Icon();
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = maskBitmap.Get();
    info.hbmColor = color.Get();
    // The icon gets copies of both bitmaps; ours go with their owners.
    return Icon(CreateIconIndirect(&info));
}

// NOTIFYICONIDENTIFIER, which older headers lack.
struct TrayIcon::TrayIconIdentifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
};

TrayIcon::TrayIcon(HWND window, HINSTANCE instance, WORD iconResource, platform::IDebugOutput& debug)
    : window_(window),
      instance_(instance),
      iconResource_(iconResource),
      debug_(debug),
      shcore_(Library::FromSystemFolder(L"shcore.dll")) {
    getDpiForMonitor_ = shcore_.Bind<GetDpiForMonitorFn>("GetDpiForMonitor");
    metricsForDpi_ = Library::Loaded(L"user32.dll").Bind<MetricsForDpiFn>("GetSystemMetricsForDpi");
    getIconRect_ = Library::Loaded(L"shell32.dll").Bind<GetIconRectFn>("Shell_NotifyIconGetRect");
    SetDpi(IconMonitorDpi());
}

TrayIcon::~TrayIcon() { SetVisible(false); }

bool TrayIcon::LoadIconFromFile(u16view path) {
    if (!FileSystem().FileExists(path)) return false;
    const u16 p(path);
    Icon loaded = LoadSized(&p);
    if (!loaded) return false;
    ownIcon_ = std::move(loaded);
    filePath_ = u16(path);
    MakeBadgeIcon();
    iconChanged_ = true;
    Update(NIM_MODIFY);
    return true;
}

void TrayIcon::SetMuteBadge(bool shown) {
    if (shown == badge_) return;
    badge_ = shown;
    MakeBadgeIcon();
    iconChanged_ = true;
    debug_.DebugOutput(shown ? (badgeIcon_ ? u"tray badge muted" : u"tray badge not made") : u"tray badge off");
    Update(NIM_MODIFY);
}

void TrayIcon::MakeBadgeIcon() {
    badgeIcon_ = badge_ ? IconWithMuteBadge(PlainIcon(), size_) : Icon();
}

void TrayIcon::SetHint(u16view hint) {
    hint_ = W(hint);
    Update(NIM_MODIFY);
}

void TrayIcon::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (visible) {
        Add();
    } else {
        Update(NIM_DELETE);
    }
}

TrayEvent TrayIcon::Callback(WPARAM wParam, LPARAM lParam) const {
    TrayEvent event;
    if (version4_) {
        if (HIWORD(lParam) != kTrayIconId) return event;
        // Mouse and keyboard alike: the click comes as a selection, the right
        // click and Shift+F10 as a context menu at the icon.
        switch (LOWORD(lParam)) {
            case kTraySelect:
            case kTrayKeySelect:
                event.kind = TrayEvent::Kind::Select;
                break;
            case WM_CONTEXTMENU:
                event.kind = TrayEvent::Kind::ContextMenu;
                event.hasPoint = true;
                event.point = POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
                break;
            default:
                break;
        }
        return event;
    }
    if (wParam != kTrayIconId) return event;
    switch (lParam) {
        case WM_LBUTTONUP:
            event.kind = TrayEvent::Kind::Select;
            break;
        case WM_RBUTTONUP:
            event.kind = TrayEvent::Kind::ContextMenu;
            break;
        default:
            break;
    }
    return event;
}

void TrayIcon::Readd() {
    if (!visible_) return;
    SetDpi(IconMonitorDpi());
    Add();
}

void TrayIcon::DpiChanged(UINT windowDpi) {
    const bool sameMonitor = IconMonitor() == MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY);
    SetDpi(sameMonitor && PlausibleDpi(windowDpi) ? windowDpi : IconMonitorDpi());
}

void TrayIcon::Resize() { SetDpi(IconMonitorDpi()); }

HMONITOR TrayIcon::IconMonitor() const {
    if (getIconRect_ && visible_) {
        const TrayIconIdentifier id{sizeof(TrayIconIdentifier), window_, kTrayIconId, {}};
        RECT r{};
        if (SUCCEEDED(getIconRect_(&id, &r))) return MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY);
    }
    // The notification area lives on the primary monitor's task bar.
    return MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
}

UINT TrayIcon::IconMonitorDpi() const {
    UINT x = 0, y = 0;
    const HMONITOR monitor = IconMonitor();
    if (getDpiForMonitor_ && monitor && SUCCEEDED(getDpiForMonitor_(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) &&
        PlausibleDpi(y)) {
        return y;
    }
    return SystemDpi();
}

int TrayIcon::SmallIconSize(UINT dpi) const {
    if (metricsForDpi_) {
        const int size = metricsForDpi_(SM_CXSMICON, dpi);
        if (size > 0) return size;
    }
    // GetSystemMetrics answers for the system DPI.
    return MulDiv(GetSystemMetrics(SM_CXSMICON), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

// Loads both icons at the size for `dpi`, when that differs from the current one.
void TrayIcon::SetDpi(UINT dpi) {
    const int size = SmallIconSize(dpi);
    if (size == size_ && icon_) return;
    size_ = size;
    icon_ = LoadSized(nullptr);
    if (!filePath_.empty()) {
        if (Icon loaded = LoadSized(&filePath_)) ownIcon_ = std::move(loaded);
    }
    MakeBadgeIcon();
    iconChanged_ = true;
    debug_.DebugOutput(u"tray icon size " + ToU16(size_) + u" at " + ToU16(static_cast<int>(dpi)) + u" dpi");
    Update(NIM_MODIFY);
}

Icon TrayIcon::LoadSized(const u16* file) const {
    if (file) {
        return Icon(static_cast<HICON>(LoadImageW(nullptr, W(*file).c_str(), IMAGE_ICON, size_, size_, LR_LOADFROMFILE)));
    }
    return Icon(static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(iconResource_), IMAGE_ICON, size_, size_, 0)));
}

// Adds the icon (or, if the shell still has it, updates it) and asks for
// version 4, which every add needs anew.
void TrayIcon::Add() {
    if (!Update(NIM_ADD)) Update(NIM_MODIFY);
    NOTIFYICONDATAW nid = Data(0);
    nid.uVersion = kTrayVersion4;
    version4_ = Shell_NotifyIconW(NIM_SETVERSION, &nid) != FALSE;
    debug_.DebugOutput(version4_ ? u"tray version 4" : u"tray version 0");
}

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window_;
    nid.uID = kTrayIconId;
    nid.uFlags = flags;
    return nid;
}

bool TrayIcon::Update(DWORD action) {
    if (!visible_ && action != NIM_DELETE) return false;
    // The image only when it changed: a shell redraws the icon for each one
    // it is given (Wine's tray over what it drew before, without erasing).
    const bool withIcon = action == NIM_ADD || iconChanged_;
    NOTIFYICONDATAW nid = Data(NIF_MESSAGE | NIF_TIP | (withIcon ? NIF_ICON : 0));
    nid.uCallbackMessage = kTrayCallbackMessage;
    nid.hIcon = badge_ && badgeIcon_ ? badgeIcon_.Get() : PlainIcon();
    // Cut where it does not split a character.
    const u16 tip(CutUtf16(U(hint_), std::size(nid.szTip) - 1));
    lstrcpynW(nid.szTip, W(tip).c_str(), static_cast<int>(std::size(nid.szTip)));
    const BOOL ok = Shell_NotifyIconW(action, &nid);
    if (ok && withIcon) iconChanged_ = false;
    if (action == NIM_ADD) debug_.DebugOutput(u16(ok ? u"tray icon added: " : u"tray icon not added: ") + U(hint_));
    if (action == NIM_MODIFY && ok) {
        // One line of the debugger output, the hint's lines apart by " | ".
        u16 shown = U(hint_);
        for (std::size_t at = shown.find(u'\n'); at != u16::npos; at = shown.find(u'\n', at)) shown.replace(at, 1, u" | ");
        debug_.DebugOutput(u"tray hint: " + shown);
    }
    return ok != FALSE;
}

}  // namespace vxm::win32
