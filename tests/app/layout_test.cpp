// The dialog templates as the windows show them: every control of the main
// dialog and the About box with its kind, id, style and place in dialog units,
// and the fonts and frames.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/about_dialog.h"
#include "app/resource.h"
#include "app_fixture.h"

using namespace app_test;

namespace {

std::wstring class_of(HWND h) {
    wchar_t name[64] = {};
    GetClassNameW(h, name, 64);
    return name;
}

// A control's rectangle of dialog units in the dialog's pixels, as the
// template loader computes it: the place and the size converted apart.
RECT units(HWND dialog, int x, int y, int w, int h) {
    RECT mapped = {x, y, w, h};
    MapDialogRect(dialog, &mapped);
    return RECT{mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
}

std::wstring font_face(HWND window, LONG* height) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW face{};
    if (!font || !GetObjectW(font, sizeof face, &face)) return std::wstring();
    if (height) *height = face.lfHeight;
    return face.lfFaceName;
}

LONG point_height(HWND window, int points) {
    HDC dc = GetDC(window);
    LONG pixels = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(window, dc);
    return pixels;
}

struct control_spec {
    int id;
    const wchar_t* kind;
    int x, y, w, h;
};

// The controls that keep their template places whatever the window's size.
const control_spec fixed_controls[] = {
    {IDCANCEL, L"Button", 0, 0, 32, 13},          {IDC_EDIT_IDO, L"Button", 35, 0, 39, 13},
    {IDC_RELOAD_IDO, L"Button", 75, 0, 60, 13},   {IDC_EDIT_ILC, L"Button", 138, 0, 44, 13},
    {IDC_EXPLORER, L"Button", 182, 0, 44, 13},    {IDC_COPY, L"Button", 304, 0, 69, 13},
    {IDC_EXPLORER_SRC, L"Button", 375, 0, 100, 13}, {IDOK, L"Button", 211, 15, 12, 13},
};

}  // namespace

using LayoutTest = app_window;

TEST_F(LayoutTest, MainDialogFrameAndFont) {
    HWND h = dlg->hwnd();
    LONG style = GetWindowLongW(h, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_MAXIMIZEBOX);
    LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_ACCEPTFILES);
    EXPECT_TRUE(ex & WS_EX_APPWINDOW);
    LONG height = 0;
    EXPECT_EQ(font_face(h, &height), L"ＭＳ ゴシック");
    EXPECT_EQ(height, point_height(h, 9));
}

TEST_F(LayoutTest, ButtonsKeepTheirTemplatePlaces) {
    HWND h = dlg->hwnd();
    for (const control_spec& c : fixed_controls) {
        SCOPED_TRACE(c.id);
        HWND control = dlg->item(c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(class_of(control), c.kind);
        RECT want = units(h, c.x, c.y, c.w, c.h);
        RECT got = child_rect(control);
        EXPECT_TRUE(EqualRect(&got, &want));
        LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
        EXPECT_EQ(type, c.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    }
    EXPECT_FALSE(GetWindowLongW(dlg->item(IDOK), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(LayoutTest, DropDownIsAnUnsortedDropDownList) {
    HWND combo = dlg->item(IDC_ENCODING);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(class_of(combo), L"ComboBox");
    LONG style = GetWindowLongW(combo, GWL_STYLE);
    EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
    EXPECT_FALSE(style & CBS_SORT);
    // The closed box's left, top and width are the template's (its height is
    // the system's one-line height).
    RECT want = units(dlg->hwnd(), 231, 0, 67, 74);
    RECT got = child_rect(combo);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right, want.right);
}

TEST_F(LayoutTest, FolderBoxAndListsStartAtTheirTemplatePlaces) {
    HWND h = dlg->hwnd();
    RECT client{};
    GetClientRect(h, &client);

    HWND edit = dlg->item(IDC_FOLDER_EDIT);
    EXPECT_EQ(class_of(edit), L"Edit");
    LONG style = GetWindowLongW(edit, GWL_STYLE);
    EXPECT_TRUE(style & ES_READONLY);
    EXPECT_TRUE(style & ES_AUTOHSCROLL);
    EXPECT_TRUE(style & ES_NOHIDESEL);
    // The dialog manager draws a bordered edit box with a sunken edge.
    EXPECT_TRUE((style & WS_BORDER) || (GetWindowLongW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    RECT want = units(h, 0, 15, 162, 12);
    RECT got = child_rect(edit);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.bottom, want.bottom);
    EXPECT_EQ(got.right, client.right);

    HWND recent = dlg->item(IDC_RECENT_LIST);
    HWND files = dlg->item(IDC_FILE_LIST);
    const struct {
        HWND box;
        int x, y, w;
        bool keeps_bars;
    } boxes_spec[] = {{recent, 0, 30, 230, false}, {files, 231, 30, 117, true}};
    for (const auto& b : boxes_spec) {
        SCOPED_TRACE(b.x);
        EXPECT_EQ(class_of(b.box), L"ListBox");
        style = GetWindowLongW(b.box, GWL_STYLE);
        EXPECT_TRUE(style & LBS_NOTIFY);
        EXPECT_TRUE(style & LBS_NOINTEGRALHEIGHT);
        // The lines keep the order they are added in.
        EXPECT_FALSE(style & LBS_SORT);
        EXPECT_EQ((style & LBS_DISABLENOSCROLL) != 0, b.keeps_bars);
        want = units(h, b.x, b.y, b.w, 153);
        got = child_rect(b.box);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.bottom, client.bottom);
        if (b.box == recent) EXPECT_EQ(got.right, want.right);
        else EXPECT_EQ(got.right, client.right);
    }
    // The file list keeps its bars (disabled) while it is empty.
    ASSERT_EQ(dlg->file_list_box.count(), 0);
    style = GetWindowLongW(files, GWL_STYLE);
    EXPECT_TRUE(style & WS_VSCROLL);
    EXPECT_TRUE(style & WS_HSCROLL);
}

TEST(AboutLayout, TemplatePlacesFontAndTexts) {
    quillet::about_dialog about;
    ASSERT_TRUE(about.create_modeless());
    HWND h = about.hwnd();
    EXPECT_EQ(quillet::window_text(h), L"ﾊﾞｰｼﾞｮﾝ情報");
    LONG height = 0;
    EXPECT_EQ(font_face(h, &height), L"ＭＳ Ｐゴシック");
    EXPECT_EQ(height, point_height(h, 9));
    RECT client{}, size = units(h, 0, 0, 235, 45);
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    const struct {
        int id, x, y, w, h;
    } statics[] = {{IDC_ABOUT_VERSION, 37, 10, 161, 8}, {IDC_ABOUT_COPYRIGHT, 37, 25, 161, 8}};
    for (const auto& s : statics) {
        SCOPED_TRACE(s.id);
        HWND line = GetDlgItem(h, s.id);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(class_of(line), L"Static");
        LONG style = GetWindowLongW(line, GWL_STYLE);
        EXPECT_EQ(style & SS_TYPEMASK, SS_CENTER);
        EXPECT_TRUE(style & SS_NOPREFIX);
        RECT want = units(h, s.x, s.y, s.w, s.h), got = child_rect(line);
        EXPECT_TRUE(EqualRect(&got, &want));
    }
    HWND ok = GetDlgItem(h, IDOK);
    ASSERT_NE(ok, nullptr);
    RECT want = units(h, 208, 11, 20, 21), got = child_rect(ok);
    EXPECT_TRUE(EqualRect(&got, &want));
    EXPECT_EQ(quillet::window_text(ok), L"OK");

    // The program icon at 7, 11.
    HWND icon = nullptr;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && class_of(c) == L"Static")
            icon = c;
    }
    ASSERT_NE(icon, nullptr);
    got = child_rect(icon);
    want = units(h, 7, 11, 0, 0);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0);
    about.destroy();
}
