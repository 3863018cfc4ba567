// The main dialog created from its template: initial state, Japanese
// captions, resizing, the recent list, the drop-down, the tool buttons, the
// About box and the placement save.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/about_dialog.h"
#include "app/list_fill.h"
#include "app/resource.h"
#include "app_fixture.h"
#include "app/main_window.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/version_info.h"
#include "engine/store.h"
#include "settings/profile.h"

using namespace app_test;
using quillet::store;

using MainDialogTest = app_window;

TEST_F(MainDialogTest, OpensWithJapaneseCaptionsAndEmptyFileList) {
    EXPECT_EQ(quillet::window_text(dlg->hwnd()), L"文字コードを変更してコピー");
    EXPECT_EQ(text_of(IDCANCEL), L"終了(&X)");
    EXPECT_EQ(text_of(IDC_EDIT_IDO), L"i&do 編集");
    EXPECT_EQ(text_of(IDC_RELOAD_IDO), L"ido 再読込(&R)");
    EXPECT_EQ(text_of(IDC_EDIT_ILC), L"i&lc 編集");
    EXPECT_EQ(text_of(IDC_EXPLORER), L"&Explorer");
    EXPECT_EQ(text_of(IDC_COPY), L"変換してコピー");
    EXPECT_EQ(text_of(IDC_EXPLORER_SRC), L"元のフォルダを開く(&S)");
    EXPECT_EQ(text_of(IDOK), L"OK");
    EXPECT_FALSE(GetWindowLongW(dlg->item(IDOK), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(dlg->file_list_box.count(), 0);
    EXPECT_EQ(dlg->update_checks, 1);
    EXPECT_EQ(quillet::main_window(), dlg->hwnd());
    EXPECT_TRUE(GetWindowLongW(dlg->hwnd(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
}

namespace {

// How many pixels of the box's client area, painted alone, differ from the
// window colour.
int marked_pixels(HWND box) {
    RECT area{};
    GetClientRect(box, &area);
    HDC screen = GetDC(box);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, area.right, area.bottom);
    const HGDIOBJ old = SelectObject(dc, picture);
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    const COLORREF window = GetPixel(dc, area.right - 1, area.bottom - 1);
    int marked = 0;
    for (int y = 0; y < area.bottom; ++y)
        for (int x = 0; x < area.right; ++x) marked += GetPixel(dc, x, y) != window;
    SelectObject(dc, old);
    DeleteObject(picture);
    DeleteDC(dc);
    ReleaseDC(box, screen);
    return marked;
}

}  // namespace

TEST_F(MainDialogTest, EmptyListsShowWhatToDoWithoutHoldingAnItem) {
    for (int id : {IDC_FILE_LIST, IDC_RECENT_LIST}) {
        ASSERT_EQ(SendMessageW(dlg->item(id), LB_GETCOUNT, 0, 0), 0);
        EXPECT_GT(marked_pixels(dlg->item(id)), 50) << "no hint drawn in list " << id;
    }
    // A list that holds lines shows them, not the hint: far fewer marks than
    // the hint's two lines of text for one short line.
    quillet::fill_list(dlg->recent_list_box, {L"a"});
    EXPECT_EQ(dlg->recent_list_box.count(), 1);
    EXPECT_LT(marked_pixels(dlg->item(IDC_RECENT_LIST)),
              marked_pixels(dlg->item(IDC_FILE_LIST)));
}

TEST_F(MainDialogTest, OpeningPointsTheStoreAtTheRecentListsFileAndTodaysFolder) {
    dlg.reset();
    store().set_recent_path(L"");
    store().set_folder(scratch.path() + L"elsewhere");
    dlg = std::make_unique<test_dialog>();
    ASSERT_TRUE(dlg->create_modeless());
    EXPECT_EQ(store().get_recent_path(), quillet::recent_list_path());
    EXPECT_EQ(store().get_folder(), quillet::dated_work_folder());
    EXPECT_EQ(text_of(IDC_FOLDER_EDIT), quillet::dated_work_folder());
    EXPECT_EQ(dlg->recent_list_box.texts(), store().recent_display());
    EXPECT_EQ(dlg->file_list_box.count(), 0);
    // Back to this test's own recent list.
    store().set_recent_path(ido);
    click(IDC_RELOAD_IDO);
}

TEST_F(MainDialogTest, DropDownHasFourItemsAndNoSelection) {
    ASSERT_EQ(dlg->encoding_box.count(), 4);
    EXPECT_EQ(dlg->encoding_box.text(0), L"  0 : Copy");
    EXPECT_EQ(dlg->encoding_box.text(1), L"  8 : UTF-8");
    EXPECT_EQ(dlg->encoding_box.text(2), L" 16 : UTF-16");
    EXPECT_EQ(dlg->encoding_box.text(3), L" 74 : SJIS");
    EXPECT_EQ(dlg->encoding_box.cur_sel(), -1);
    EXPECT_EQ(quillet::selected_code(dlg->encoding_box), -1);
    const int codes[4] = {0, 8, 16, 74};
    for (int i = 0; i < 4; ++i) {
        dlg->encoding_box.set_cur_sel(i);
        EXPECT_EQ(quillet::selected_code(dlg->encoding_box), codes[i]);
    }
}

TEST_F(MainDialogTest, FolderBoxShowsTodaysWorkingFolderUnderTheTemporaryFolder) {
    std::wstring folder = text_of(IDC_FOLDER_EDIT);
    EXPECT_EQ(folder, store().get_folder());
    EXPECT_EQ(quillet::to_lower(folder.substr(0, temp.size())), quillet::to_lower(temp));
    EXPECT_NE(folder.find(L"n_Bench.tmp\\"), std::wstring::npos);
    EXPECT_EQ(folder.substr(folder.size() - 9), quillet::now_text(L"%Y%m%d") + L"\\");
    EXPECT_EQ(dlg->folder_text, folder);
}

TEST_F(MainDialogTest, FileListUsesAFixedPitchFont) {
    HWND box = dlg->item(IDC_FILE_LIST);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE narrow{}, wide{};
    GetTextExtentPoint32W(dc, L"iiiiiiiiii", 10, &narrow);
    GetTextExtentPoint32W(dc, L"WWWWWWWWWW", 10, &wide);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    EXPECT_GT(narrow.cx, 0);
    EXPECT_EQ(narrow.cx, wide.cx);
}

TEST_F(MainDialogTest, ResizingGrowsTheFileListAndFolderBoxOnly) {
    RECT recent_before = child_rect(dlg->item(IDC_RECENT_LIST));
    RECT copy_before = child_rect(dlg->item(IDC_COPY));
    RECT window{};
    GetWindowRect(dlg->hwnd(), &window);
    SetWindowPos(dlg->hwnd(), nullptr, 0, 0, window.right - window.left + 240,
                 window.bottom - window.top + 120, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(dlg->hwnd(), &client);
    RECT recent = child_rect(dlg->item(IDC_RECENT_LIST));
    RECT files = child_rect(dlg->item(IDC_FILE_LIST));
    RECT folder = child_rect(dlg->item(IDC_FOLDER_EDIT));
    RECT copy = child_rect(dlg->item(IDC_COPY));
    EXPECT_EQ(recent.right - recent.left, recent_before.right - recent_before.left);
    EXPECT_EQ(recent.left, recent_before.left);
    EXPECT_EQ(recent.top, recent_before.top);
    EXPECT_EQ(recent.bottom, client.bottom);
    EXPECT_EQ(files.bottom, client.bottom);
    EXPECT_EQ(files.right, client.right);
    EXPECT_EQ(folder.right, client.right);
    EXPECT_TRUE(EqualRect(&copy, &copy_before));

    // Smaller again: the same edges follow.
    SetWindowPos(dlg->hwnd(), nullptr, 0, 0, window.right - window.left,
                 window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetClientRect(dlg->hwnd(), &client);
    EXPECT_EQ(child_rect(dlg->item(IDC_FILE_LIST)).right, client.right);
    EXPECT_EQ(child_rect(dlg->item(IDC_RECENT_LIST)).bottom, client.bottom);
}

TEST_F(MainDialogTest, SelectingARecentListOpensItAndSelectsItsEncoding) {
    std::wstring a = make_file(L"src\\a.txt", "alpha\r\n");
    std::wstring b = make_file(L"src\\b.txt", "beta\r\n");
    std::wstring dest = make_folder(L"dest16");
    write_list(dest + L"UTF16.ilc", {b, a, b});
    std::wstring other = make_folder(L"other");
    write_list(ido, {dest + L"UTF16.ilc", other + L"_copy_.ilc"});
    click(IDC_RELOAD_IDO);
    ASSERT_EQ(dlg->recent_list_box.count(), 2);

    select_recent(0);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 2);
    EXPECT_EQ(store().get_files(), (std::vector<std::wstring>{a, b}));
    EXPECT_EQ(store().get_folder(), quillet::path_folder(dest + L"UTF16.ilc"));
    EXPECT_EQ(text_of(IDC_FOLDER_EDIT), store().get_folder());
    ASSERT_EQ(dlg->file_list_box.count(), 2);
    EXPECT_EQ(dlg->file_list_box.texts(), store().file_entries());

    // A missing "_copy_.ilc": its folder, an empty list, "  0 : Copy".
    select_recent(1);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 0);
    EXPECT_TRUE(store().get_files().empty());
    EXPECT_EQ(store().get_folder(), quillet::path_folder(other + L"_copy_.ilc"));
    EXPECT_EQ(dlg->file_list_box.count(), 0);
}

TEST_F(MainDialogTest, SelectingARecentListThatCannotBeReadSaysSo) {
    std::wstring dest = make_folder(L"held");
    // A list the program cannot open: a folder at its name.
    CreateDirectoryW((dest + L"UTF_8.ilc").c_str(), nullptr);
    write_list(ido, {dest + L"UTF_8.ilc"});
    click(IDC_RELOAD_IDO);
    ASSERT_EQ(dlg->recent_list_box.count(), 1);
    boxes.clear();
    select_recent(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind(L"リストを読めません．\r\n" + dest + L"UTF_8.ilc\r\n", 0), 0u)
        << boxes[0].text;
    EXPECT_EQ(dlg->file_list_box.count(), 0);
}

TEST_F(MainDialogTest, RecentSelectionWithoutALineDoesNothing) {
    write_list(ido, {scratch.path() + L"x\\S_JIS.ilc"});
    click(IDC_RELOAD_IDO);
    std::wstring folder = store().get_folder();
    select_recent(-1);
    EXPECT_EQ(store().get_folder(), folder);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), -1);
    select_recent(0);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 3);
}

TEST_F(MainDialogTest, ListTitlesSelectTheirEncodingOnlyWhenSpelledExactly) {
    // Recent lines are sorted: "A\\utf16.ilc" comes before "B\\UTF16.ilc".
    write_list(ido, {scratch.path() + L"A\\utf16.ilc", scratch.path() + L"B\\UTF16.ilc"});
    click(IDC_RELOAD_IDO);
    ASSERT_EQ(dlg->recent_list_box.count(), 2);
    select_recent(1);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 2);
    select_recent(0);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 0);
}

namespace {

// The messages sent to one window while a hook is in place.
HWND watched = nullptr;
std::vector<std::pair<UINT, WPARAM>>* seen_messages = nullptr;

LRESULT CALLBACK record_sent(int code, WPARAM wp, LPARAM lp) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && seen_messages && sent->hwnd == watched)
        seen_messages->push_back({sent->message, sent->wParam});
    return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace

TEST_F(MainDialogTest, MinimisedWindowPaintsItsIconOnTheErasedBackground) {
    SendMessageW(dlg->hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IsIconic(dlg->hwnd()));
    std::vector<std::pair<UINT, WPARAM>> seen;
    watched = dlg->hwnd();
    seen_messages = &seen;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, record_sent, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    InvalidateRect(dlg->hwnd(), nullptr, TRUE);
    SendMessageW(dlg->hwnd(), WM_PAINT, 0, 0);
    UnhookWindowsHookEx(hook);
    seen_messages = nullptr;
    bool erased = false;
    for (const auto& m : seen) erased |= m.first == WM_ICONERASEBKGND && m.second != 0;
    EXPECT_TRUE(erased);

    // Restored, the window paints as usual, and the lists reach the bottom again.
    seen.clear();
    SendMessageW(dlg->hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_FALSE(IsIconic(dlg->hwnd()));
    seen_messages = &seen;
    hook = SetWindowsHookExW(WH_CALLWNDPROC, record_sent, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    InvalidateRect(dlg->hwnd(), nullptr, TRUE);
    SendMessageW(dlg->hwnd(), WM_PAINT, 0, 0);
    UnhookWindowsHookEx(hook);
    seen_messages = nullptr;
    for (const auto& m : seen) EXPECT_NE(m.first, static_cast<UINT>(WM_ICONERASEBKGND));
    RECT client{};
    GetClientRect(dlg->hwnd(), &client);
    EXPECT_EQ(child_rect(dlg->item(IDC_RECENT_LIST)).bottom, client.bottom);
    EXPECT_EQ(child_rect(dlg->item(IDC_FILE_LIST)).right, client.right);
}

TEST_F(MainDialogTest, ReloadRefreshesTheRecentListAndKeepsShowingTheStoresList) {
    std::wstring a = make_file(L"src\\a.txt", "alpha\r\n");
    std::wstring list = make_folder(L"dest") + L"_copy_.ilc";
    write_list(list, {a});
    write_list(ido, {list});
    click(IDC_RELOAD_IDO);
    select_recent(0);
    ASSERT_EQ(dlg->file_list_box.count(), 1);
    write_list(ido, {list, scratch.path() + L"more\\UTF_8.ilc"});
    click(IDC_RELOAD_IDO);
    EXPECT_EQ(dlg->file_list_box.count(), 1);
    EXPECT_EQ(dlg->recent_list_box.count(), 2);
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{a});
}

TEST_F(MainDialogTest, ListExtentFitsTheWidestLine) {
    std::vector<std::wstring> lines = {L"short", std::wstring(300, L'x') + L"   ", L"mid line"};
    quillet::fill_list(dlg->file_list_box, lines);
    EXPECT_EQ(dlg->file_list_box.texts(), lines);
    int expected = quillet::list_extent_for(dlg->file_list_box, {std::wstring(300, L'x')});
    EXPECT_EQ(dlg->file_list_box.horizontal_extent(), expected);
    int edges = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_GT(expected, edges + 300);
    quillet::fill_list(dlg->file_list_box, {});
    EXPECT_EQ(dlg->file_list_box.horizontal_extent(), edges);
    // A box without a window is left alone.
    quillet::fill_list(quillet::list_box(), lines);
}

TEST_F(MainDialogTest, ListExtentLeavesOutEveryKindOfTrailingSpace) {
    // Ideographic spaces, form feeds and vertical tabs at a line's end are
    // white space too: they do not widen the scroll range.
    std::wstring line = std::wstring(200, L'x');
    quillet::fill_list(dlg->file_list_box, {line + L"\u3000\u3000\u3000\u3000\u3000\f\v"});
    int expected = quillet::list_extent_for(dlg->file_list_box, {line});
    EXPECT_EQ(dlg->file_list_box.horizontal_extent(), expected);
    // A space inside the line still counts.
    quillet::fill_list(dlg->file_list_box, {L"\u3000\u3000\u3000\u3000" + line});
    EXPECT_GT(dlg->file_list_box.horizontal_extent(), expected);
}

TEST_F(MainDialogTest, QueryDragIconGivesTheProgramIcon) {
    ASSERT_NE(dlg->icon(), nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dlg->hwnd(), WM_QUERYDRAGICON, 0, 0)), dlg->icon());
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dlg->hwnd(), WM_GETICON, ICON_BIG, 0)), dlg->icon());
}

TEST_F(MainDialogTest, ExplorerSrcWithoutSelectionDoesNothing) {
    std::wstring a = make_file(L"src\\a.txt", "alpha\r\n");
    std::wstring list = make_folder(L"dest") + L"_copy_.ilc";
    write_list(list, {a});
    write_list(ido, {list});
    click(IDC_RELOAD_IDO);
    select_recent(0);
    click(IDC_EXPLORER_SRC);
    EXPECT_TRUE(shell_calls.empty());
    EXPECT_TRUE(boxes.empty());

    dlg->file_list_box.set_cur_sel(0);
    click(IDC_EXPLORER_SRC);
    ASSERT_EQ(shell_calls.size(), 1u);
    EXPECT_EQ(quillet::to_lower(quillet::path_name(shell_calls[0].file)), L"explorer.exe");
    EXPECT_EQ(shell_calls[0].params, quillet::path_folder(a));
}

TEST_F(MainDialogTest, ExplorerOpensTheDestinationFolder) {
    click(IDC_EXPLORER);
    ASSERT_EQ(shell_calls.size(), 1u);
    EXPECT_EQ(quillet::to_lower(quillet::path_name(shell_calls[0].file)), L"explorer.exe");
    EXPECT_EQ(shell_calls[0].params, store().get_folder());
}

TEST_F(MainDialogTest, EditIlcOpensTheSelectedRecentListInNotepad) {
    click(IDC_EDIT_ILC);  // no selection: nothing
    EXPECT_TRUE(shell_calls.empty());
    std::wstring list = scratch.path() + L"d\\UTF_8.ilc";
    write_list(ido, {list});
    click(IDC_RELOAD_IDO);
    dlg->recent_list_box.set_cur_sel(0);
    click(IDC_EDIT_ILC);
    ASSERT_EQ(shell_calls.size(), 1u);
    EXPECT_EQ(quillet::to_lower(quillet::path_name(shell_calls[0].file)), L"notepad.exe");
    EXPECT_EQ(shell_calls[0].params, list);
}

TEST_F(MainDialogTest, EditIdoOpensTheRecentListsFileInNotepad) {
    click(IDC_EDIT_IDO);
    ASSERT_EQ(shell_calls.size(), 1u);
    EXPECT_EQ(quillet::to_lower(quillet::path_name(shell_calls[0].file)), L"notepad.exe");
    EXPECT_EQ(shell_calls[0].params, quillet::recent_list_path());
    EXPECT_TRUE(quillet::path_exists(shell_calls[0].params, false));
}

TEST_F(MainDialogTest, SystemMenuHasTheAboutEntry) {
    HMENU menu = GetSystemMenu(dlg->hwnd(), FALSE);
    ASSERT_NE(menu, nullptr);
    wchar_t text[128] = {};
    ASSERT_GT(GetMenuStringW(menu, IDM_ABOUTBOX, text, 128, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, L"ﾊﾞｰｼﾞｮﾝ情報(&A)...");
}

namespace {

struct about_capture {
    std::wstring version, copyright, caption;
    bool found = false;
    int ticks = 0;
};
about_capture* capture = nullptr;

BOOL CALLBACK find_about(HWND h, LPARAM) {
    if (!GetDlgItem(h, IDC_ABOUT_VERSION)) return TRUE;
    capture->found = true;
    capture->version = quillet::window_text(GetDlgItem(h, IDC_ABOUT_VERSION));
    capture->copyright = quillet::window_text(GetDlgItem(h, IDC_ABOUT_COPYRIGHT));
    capture->caption = quillet::window_text(h);
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return FALSE;
}

void CALLBACK close_about(HWND, UINT, UINT_PTR id, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), find_about, 0);
    if (capture->found || ++capture->ticks > 200) KillTimer(nullptr, id);
}

}  // namespace

TEST_F(MainDialogTest, AboutBoxShowsVersionAndCopyright) {
    about_capture seen;
    capture = &seen;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, close_about);
    ASSERT_NE(timer, 0u);
    SendMessageW(dlg->hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    capture = nullptr;
    ASSERT_TRUE(seen.found);

    quillet::version_info info;
    ASSERT_TRUE(info.set_file(quillet::module_path(nullptr)));
    std::wstring version = info.file_version();
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(seen.version, quillet::about_version_line(info.file_description(), version));
    EXPECT_EQ(seen.copyright, info.legal_copyright());
    EXPECT_FALSE(seen.copyright.empty());
    EXPECT_EQ(seen.caption, L"ﾊﾞｰｼﾞｮﾝ情報");
    std::wstring shown = seen.version.substr(seen.version.find(L"  Version ") + 10);
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(shown.find_first_of(L", "), std::wstring::npos);
}

TEST(AboutVersionLine, RemovesSpacesAndTurnsCommasIntoStops) {
    EXPECT_EQ(quillet::about_version_line(L"quillet", L"1, 0, 0, 1"), L"quillet  Version 1.0.0.1");
    EXPECT_EQ(quillet::about_version_line(L"", L""), L"  Version ");
}

TEST_F(MainDialogTest, OtherSystemCommandsKeepTheirDefault) {
    SendMessageW(dlg->hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(dlg->hwnd()));
    SendMessageW(dlg->hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(dlg->hwnd()));
}

TEST_F(MainDialogTest, QuitSavesThePlacement) {
    RECT window{};
    GetWindowRect(dlg->hwnd(), &window);
    HWND h = dlg->hwnd();
    click(IDCANCEL);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(quillet::main_window(), nullptr);
    quillet::profile settings(L"");
    RECT none{};
    RECT saved = settings.get_rect(L"Position\\Dialog", L"Position_quilletDg_CDialog", none);
    EXPECT_TRUE(EqualRect(&saved, &window));
}

TEST_F(MainDialogTest, OpeningRestoresTheSavedPlacement) {
    RECT window{}, work{};
    GetWindowRect(dlg->hwnd(), &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    // Inside the work area, so that the restore has nothing to fit.
    RECT wanted = {work.left + 40, work.top + 30, work.left + 40 + (window.right - window.left) + 60,
                   work.top + 30 + (window.bottom - window.top) + 40};
    ASSERT_LE(wanted.right, work.right);
    ASSERT_LE(wanted.bottom, work.bottom);
    dlg.reset();
    {
        quillet::profile settings(L"");
        settings.write_rect(L"Position\\Dialog", L"Position_quilletDg_CDialog", wanted);
    }
    dlg = std::make_unique<test_dialog>();
    ASSERT_TRUE(dlg->create_modeless());
    RECT restored{};
    GetWindowRect(dlg->hwnd(), &restored);
    EXPECT_TRUE(EqualRect(&restored, &wanted));
    // The controls follow the restored size.
    RECT client{};
    GetClientRect(dlg->hwnd(), &client);
    EXPECT_EQ(child_rect(dlg->item(IDC_FILE_LIST)).right, client.right);
}

TEST_F(MainDialogTest, RecentListSharesTheFixedPitchFont) {
    HFONT files = reinterpret_cast<HFONT>(SendMessageW(dlg->item(IDC_FILE_LIST), WM_GETFONT, 0, 0));
    HFONT recent = reinterpret_cast<HFONT>(SendMessageW(dlg->item(IDC_RECENT_LIST), WM_GETFONT, 0, 0));
    EXPECT_EQ(files, recent);
    EXPECT_NE(files, reinterpret_cast<HFONT>(SendMessageW(dlg->hwnd(), WM_GETFONT, 0, 0)));
}
