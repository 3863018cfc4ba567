// The window at every display scale: the "_" of the folder box and both lists
// drawn inside its line, the status columns aligned, and every button inside
// the window, after a DPI change and after a placement saved at another DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/resource.h"
#include "app_fixture.h"
#include "settings/profile.h"

using namespace app_test;

namespace {

const int buttons[] = {IDCANCEL,     IDC_EDIT_IDO, IDC_RELOAD_IDO,  IDC_EDIT_ILC,
                       IDC_EXPLORER, IDC_COPY,     IDC_EXPLORER_SRC, IDC_ENCODING};

// The dark pixels inside `area` of what a control draws of its client area.
int dark_pixels(HWND control, const RECT& area) {
    RECT client{};
    GetClientRect(control, &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    int dark = 0;
    for (LONG y = std::max(area.top, 0L); y < std::min(area.bottom, client.bottom); ++y)
        for (LONG x = std::max(area.left, 0L); x < std::min(area.right, client.right); ++x) {
            COLORREF c = GetPixel(dc, x, y);
            if (GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128) ++dark;
        }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return dark;
}

// A line of underscores only: any dark pixel inside the line's box is "_".
const wchar_t underscores[] = L"__________";

int underscore_pixels_in_list(const quillet::list_box& box) {
    box.reset();
    box.add(underscores);
    RECT item{};
    SendMessageW(box.hwnd(), LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    return dark_pixels(box.hwnd(), item);
}

int text_width(HWND control, const wchar_t* text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

void expect_buttons_inside(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    for (int id : buttons) {
        RECT r = child_rect(GetDlgItem(dialog, id));
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << "control " << id << " at " << r.left << "," << r.top << "-" << r.right << ","
            << r.bottom << " in " << client.right << "x" << client.bottom;
    }
}

}  // namespace

using ScaleTest = app_window;

TEST_F(ScaleTest, EveryTextReadableAndEveryButtonInsideAtEachDpi) {
    HDC screen = GetDC(nullptr);
    const int start_dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    RECT start{};
    GetWindowRect(dlg->hwnd(), &start);
    for (int dpi : {96, 120, 144, 192}) {
        SCOPED_TRACE(dpi);
        // The system's suggestion: the window scaled with the screen.
        RECT suggested = {start.left, start.top,
                          start.left + MulDiv(start.right - start.left, dpi, start_dpi),
                          start.top + MulDiv(start.bottom - start.top, dpi, start_dpi)};
        SendMessageW(dlg->hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));

        SetWindowTextW(dlg->item(IDC_FOLDER_EDIT), underscores);
        RECT edit_client{};
        GetClientRect(dlg->item(IDC_FOLDER_EDIT), &edit_client);
        EXPECT_GT(dark_pixels(dlg->item(IDC_FOLDER_EDIT), edit_client), 0) << "folder box";
        EXPECT_GT(underscore_pixels_in_list(dlg->recent_list_box), 0) << "recent list";
        EXPECT_GT(underscore_pixels_in_list(dlg->file_list_box), 0) << "file list";
        // Fixed pitch: the status lines' columns stay aligned.
        EXPECT_EQ(text_width(dlg->item(IDC_FILE_LIST), L"iiii"),
                  text_width(dlg->item(IDC_FILE_LIST), L"WWWW"));
        expect_buttons_inside(dlg->hwnd());
    }
}

TEST_F(ScaleTest, PlacementSavedAtALowerDpiComesBackWithEveryButtonInside) {
    // Saved at two thirds of today's DPI, as 96 is to 144: the window then was
    // two thirds of the size its controls need now.
    RECT now{};
    GetWindowRect(dlg->hwnd(), &now);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    const RECT saved = {40, 30, 40 + (now.right - now.left) * 2 / 3, 30 + (now.bottom - now.top) * 2 / 3};
    quillet::profile settings(L"");
    settings.write_rect(L"Position\\Dialog", L"Position_quilletDg_CDialog", saved);
    settings.write_int(L"Position", L"DPI_", dpi * 2 / 3);

    // Reopened: the dialog restores its placement as it opens.
    dlg.reset();
    dlg = std::make_unique<test_dialog>();
    ASSERT_TRUE(dlg->create_modeless());

    expect_buttons_inside(dlg->hwnd());
    RECT restored{};
    GetWindowRect(dlg->hwnd(), &restored);
    EXPECT_EQ(restored.left, 40);
    EXPECT_EQ(restored.top, 30);
}
