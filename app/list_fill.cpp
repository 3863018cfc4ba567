// List box filling and horizontal extent.
#include "app/list_fill.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace quillet {

namespace {

// The text without its trailing white space: every character the runtime
// counts as space (tabs, line ends, form feeds, the ideographic space U+3000).
std::wstring trim_right(const std::wstring& text) {
    size_t end = text.size();
    while (end > 0 && std::iswspace(static_cast<wint_t>(text[end - 1]))) --end;
    return text.substr(0, end);
}

int widest_text(HWND box, const std::vector<std::wstring>& lines) {
    HDC dc = GetDC(box);
    if (!dc) return 0;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    int widest = 0;
    for (const std::wstring& line : lines) {
        std::wstring text = trim_right(line);
        SIZE size{};
        if (!text.empty() &&
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    if (font) SelectObject(dc, old_font);
    ReleaseDC(box, dc);
    return widest;
}

int extent_for_width(int widest) {
    return widest + 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
}

}  // namespace

void fill_list(const list_box& box, const std::vector<std::wstring>& lines) {
    if (!box) return;
    HWND h = box.hwnd();
    SendMessageW(h, WM_SETREDRAW, FALSE, 0);
    box.reset();
    for (const std::wstring& line : lines) box.add(line);
    SendMessageW(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
    fit_list_extent(box);
}

void fit_list_extent(const list_box& box) {
    if (!box) return;
    // The items are read back one by one; the count is asked again each time
    // so that a box changed meanwhile is never read past its end.
    std::vector<std::wstring> items;
    for (int i = 0; i < box.count(); ++i) items.push_back(box.text(i));
    box.set_horizontal_extent(extent_for_width(widest_text(box.hwnd(), items)));
}

int list_extent_for(const list_box& box, const std::vector<std::wstring>& lines) {
    if (!box) return 0;
    return extent_for_width(widest_text(box.hwnd(), lines));
}

}  // namespace quillet
