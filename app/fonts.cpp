// Fonts of the main dialog.
#include "app/fonts.h"

#include <cwchar>
#include <initializer_list>

namespace quillet {

namespace {

// The face the dialog template names; fixed-pitch.
const wchar_t dialog_face[] = L"ＭＳ ゴシック";
constexpr int dialog_points = 9;

bool text_metrics(HFONT font, TEXTMETRICW& metrics) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, font);
    const bool ok = GetTextMetricsW(dc, &metrics) != 0;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return ok;
}

bool is_fixed_pitch(HFONT font) {
    TEXTMETRICW metrics{};
    // TMPF_FIXED_PITCH set means a variable-pitch font (the name is historic).
    return text_metrics(font, metrics) && !(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH);
}

HFONT usable_font(LOGFONTW face) {
    HFONT font = CreateFontIndirectW(&face);
    if (font && is_fixed_pitch(font) && draws_underscore_inside(font)) return font;
    if (font) DeleteObject(font);
    return nullptr;
}

}  // namespace

HFONT make_dialog_font(int dpi) {
    LOGFONTW face{};
    face.lfHeight = -MulDiv(dialog_points, dpi > 0 ? dpi : 96, 72);
    face.lfWeight = FW_NORMAL;
    face.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(face.lfFaceName, dialog_face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&face);
}

bool draws_underscore_inside(HFONT font) {
    TEXTMETRICW metrics{};
    if (!font || !text_metrics(font, metrics) || metrics.tmHeight <= 0) return false;
    const int width = static_cast<int>(metrics.tmMaxCharWidth) * 3 + 8;
    const int height = static_cast<int>(metrics.tmHeight);
    HDC screen = GetDC(nullptr);
    HDC dc = screen ? CreateCompatibleDC(screen) : nullptr;
    HBITMAP bitmap = screen ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    if (screen) ReleaseDC(nullptr, screen);
    bool seen = false;
    if (dc && bitmap) {
        HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
        HGDIOBJ old_font = SelectObject(dc, font);
        RECT all = {0, 0, width, height};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 2, 0, L"__", 2);
        // Only the line box was drawn into: a stroke below it is lost.
        for (int y = 0; y < height && !seen; ++y)
            for (int x = 0; x < width && !seen; ++x) seen = GetRValue(GetPixel(dc, x, y)) < 160;
        SelectObject(dc, old_font);
        SelectObject(dc, old_bitmap);
    }
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    return seen;
}

HFONT make_text_font(const LOGFONTW& base) {
    LOGFONTW face = base;
    face.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    const LONG height = base.lfHeight;
    const LONG sign = height < 0 ? -1 : 1;
    // The base size first, then one pixel larger, one smaller, and so on.
    for (int delta : {0, 1, -1, 2, -2, 3}) {
        face.lfHeight = height + sign * delta;
        if (face.lfHeight * sign <= 0) continue;
        if (HFONT font = usable_font(face)) return font;
    }
    // The face is missing, proportional or drops "_" at every nearby size:
    // let the font mapper pick a fixed-pitch face.
    face.lfHeight = height;
    face.lfFaceName[0] = L'\0';
    face.lfCharSet = DEFAULT_CHARSET;
    return CreateFontIndirectW(&face);
}

}  // namespace quillet
