// List box filling and horizontal extent.
#include "app/list_fill.h"

#include <windows.h>
#include <commctrl.h>

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

namespace quillet {

namespace {

// The hint of an empty list box, kept with the box for its subclass (and
// under a property, to change its text later).
struct list_hint {
    std::wstring text;
};
const wchar_t kHintProperty[] = L"quillet.list_hint";

void draw_hint(HWND box, HDC dc, const std::wstring& text) {
    RECT area{};
    GetClientRect(box, &area);
    InflateRect(&area, -6, -4);
    const HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old_font);
}

LRESULT CALLBACK hint_proc(HWND box, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* hint = reinterpret_cast<list_hint*>(data);
    switch (msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT: {
        const LRESULT result = DefSubclassProc(box, msg, wp, lp);
        if (SendMessageW(box, LB_GETCOUNT, 0, 0) != 0) return result;
        HDC dc = msg == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wp) : GetDC(box);
        if (!dc) return result;
        draw_hint(box, dc, hint->text);
        if (msg == WM_PAINT) ReleaseDC(box, dc);
        return result;
    }
    case WM_SIZE:
        // The hint wraps to the box's width.
        InvalidateRect(box, nullptr, TRUE);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(box, hint_proc, 1);
        RemovePropW(box, kHintProperty);
        delete hint;
        break;
    default:
        break;
    }
    return DefSubclassProc(box, msg, wp, lp);
}

}  // namespace

void show_hint_when_empty(const list_box& box, const std::wstring& hint) {
    if (!box.hwnd()) return;
    if (auto* kept = static_cast<list_hint*>(GetPropW(box.hwnd(), kHintProperty))) {
        kept->text = hint;
    } else {
        auto* made = new list_hint{hint};
        SetPropW(box.hwnd(), kHintProperty, made);
        SetWindowSubclass(box.hwnd(), hint_proc, 1, reinterpret_cast<DWORD_PTR>(made));
    }
    InvalidateRect(box.hwnd(), nullptr, TRUE);
}

}  // namespace quillet
