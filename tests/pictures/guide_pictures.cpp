// The pictures of the main window in the guides (docs/window-*.png), made by
// scripts/screenshots at each DPI it sets in the Wine prefix: the window as it
// opens, and the window after a run in which files were kept unchanged or
// left alone, with the reason of a kept file shown. Not a test: without
// QUILLET_PICTURES (the Linux folder the pictures go to) and
// QUILLET_PICTURES_SCRIPT (the script that takes them) it does nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/resource.h"
#include "app_fixture.h"
#include "x_side.h"
#include "text/codepage.h"
#include "base/paths.h"
#include "engine/store.h"

using namespace app_test;

namespace {


class GuidePictures : public app_window {
protected:
    void SetUp() override {
        const char* folder = std::getenv("QUILLET_PICTURES");
        if (!folder || !*folder) GTEST_SKIP() << "QUILLET_PICTURES names no folder";
        pictures = quillet::utf8_to_wide(folder);
        const char* script = std::getenv("QUILLET_PICTURES_SCRIPT");
        if (!script || !*script) GTEST_SKIP() << "QUILLET_PICTURES_SCRIPT names no script";
        taker = quillet::utf8_to_wide(script);
        app_window::SetUp();
        HDC screen = GetDC(nullptr);
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        MoveWindow(dlg->hwnd(), 20, 20, MulDiv(1060, dpi, 96), MulDiv(340, dpi, 96), TRUE);
        ShowWindow(dlg->hwnd(), SW_SHOWNORMAL);
        SetForegroundWindow(dlg->hwnd());
    }
    // The window as X shows it, as pictures/name-DPI.png.
    void take(const std::wstring& name) {
        for (int i = 0; i < 50; ++i) {
            dispatch_pending();
            Sleep(20);
        }
        const auto xid = reinterpret_cast<uintptr_t>(GetPropW(dlg->hwnd(), L"__wine_x11_whole_window"));
        ASSERT_NE(xid, 0u) << "no X window behind the dialog";
        wchar_t id[32] = {};
        swprintf(id, 32, L"0x%llx", static_cast<unsigned long long>(xid));
        const std::wstring file = pictures + L"/" + name + L"-" + std::to_wstring(dpi) + L".png";
        ASSERT_TRUE(start_shell(L"'" + taker + L"' --take " + std::wstring(id) + L" '" + file + L"'"));
        // The window stays until its picture is there.
        const std::wstring windows_file = L"Z:" + file;
        for (int i = 0; i < 1000 && GetFileAttributesW(windows_file.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(10);
    }

    std::wstring pictures;
    std::wstring taker;  // the Linux script that takes a window's picture
    int dpi = 96;
};

}  // namespace

TEST_F(GuidePictures, EmptyWindow) { take(L"window-empty"); }

TEST_F(GuidePictures, WindowAfterARunWithFilesKept) {
    const std::wstring dest = make_folder(L"納品");
    const std::wstring memo = make_file(L"原稿\\memo.txt", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"
                                                          "\xE3\x83\xA1\xE3\x83\xA2\r\n");
    const std::wstring readme = make_file(L"原稿\\readme.txt", "Read me first.\r\n");
    const std::wstring emoji = make_file(L"原稿\\emoji.txt", "smile \xF0\x9F\x98\x80\r\n");
    const std::wstring older = make_file(L"原稿\\older.txt", "old source\r\n");
    testing_support::set_mtime(older, 1000000000);
    make_file(L"納品\\older.txt", "newer destination\r\n");
    drop({quillet::path_del_sep(dest), memo, readme, emoji, older});
    dlg->encoding_box.set_cur_sel(3);  // " 74 : SJIS"
    click(IDC_COPY);
    // The kept file's line selected: its reason below the summary.
    const std::vector<std::wstring> files = quillet::store().get_files();
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i] != emoji) continue;
        HWND box = dlg->item(IDC_FILE_LIST);
        SendMessageW(box, LB_SETCURSEL, i, 0);
        SendMessageW(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_FILE_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    }
    take(L"window-after-run");
}
