// Draws a text the way the About page draws its captions, white on black and
// centred in a box of the given size, and writes it as a PGM image: a
// reference to hold a screenshot against.
//   textshot.exe FACE HEIGHT WEIGHT WIDTH BOXHEIGHT TEXT OUT.pgm
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 8) return 2;
    const int height = _wtoi(argv[2]), weight = _wtoi(argv[3]), w = _wtoi(argv[4]), h = _wtoi(argv[5]);
    if (w <= 0 || h <= 0 || w > 4096 || h > 4096) return 2;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dc || !bmp || !bits) return 1;
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HFONT font = CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, argv[1]);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, argv[6], -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    GdiFlush();
    FILE* f = _wfopen(argv[7], L"wb");
    if (!f) return 1;
    std::fprintf(f, "P5\n%d %d\n255\n", w, h);
    const auto* px = static_cast<const unsigned char*>(bits);
    std::vector<unsigned char> row(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = px + (static_cast<std::size_t>(y) * w + x) * 4;  // B, G, R, unused
            row[static_cast<std::size_t>(x)] = static_cast<unsigned char>((p[0] + p[1] + p[2]) / 3);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBmp);
    DeleteObject(font);
    DeleteObject(bmp);
    DeleteDC(dc);
    return 0;
}
