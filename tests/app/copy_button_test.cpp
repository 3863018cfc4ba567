// The copy button: the target code from the drop-down, the engine's run over
// the store's list, the file list refilled, the progress shown in the title
// for 10 files or more and the title restored exactly afterwards.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/resource.h"
#include "app_fixture.h"
#include "base/paths.h"
#include "app/progress.h"
#include "engine/entry_workers.h"
#include "engine/store.h"

using namespace app_test;
using quillet::store;

namespace {

class CopyButtonTest : public app_window {
protected:
    void SetUp() override {
        app_window::SetUp();
        // A clock that moves 1 s per reading: the meter's 100 ms throttle
        // never hides a drawing, however fast the run.
        quillet::set_meter_clock([this] { return clock_ms += 1000.0; });
        ASSERT_TRUE(SetWindowSubclass(dlg->hwnd(), record_titles, 1,
                                      reinterpret_cast<DWORD_PTR>(&titles)));
    }
    void TearDown() override {
        if (dlg && dlg->hwnd()) RemoveWindowSubclass(dlg->hwnd(), record_titles, 1);
        quillet::set_meter_clock(nullptr);
        app_window::TearDown();
    }
    // n text files dropped after the destination folder.
    std::vector<std::wstring> prepare(int n) {
        dest = make_folder(L"dest");
        return drop_folder_and_files(dest, n, [](int i) { return "line " + std::to_string(i) + "\r\n"; });
    }
    bool any_progress_title() const {
        for (const std::wstring& t : titles)
            if (t.find(L" ... ") != std::wstring::npos) return true;
        return false;
    }

    double clock_ms = 0;
    std::vector<std::wstring> titles;
    std::wstring dest;
};

}  // namespace

TEST_F(CopyButtonTest, NineFilesRunWithoutProgressInTheTitle) {
    std::vector<std::wstring> files = prepare(9);
    dlg->encoding_box.set_cur_sel(1);
    std::wstring before = quillet::window_text(dlg->hwnd());
    titles.clear();

    click(IDC_COPY);

    EXPECT_FALSE(any_progress_title());
    EXPECT_EQ(quillet::window_text(dlg->hwnd()), before);
    for (const std::wstring& f : files) EXPECT_TRUE(quillet::path_exists(dest + quillet::path_name(f), false));
    EXPECT_TRUE(quillet::path_exists(dest + L"UTF_8.ilc", false));
    EXPECT_EQ(dlg->file_list_box.texts(), store().file_entries());
    EXPECT_EQ(dlg->file_list_box.count(), 9);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CopyButtonTest, TenFilesShowProgressInTheTitleAndRestoreItExactly) {
    std::vector<std::wstring> files = prepare(10);
    dlg->encoding_box.set_cur_sel(3);
    std::wstring before = quillet::window_text(dlg->hwnd());
    titles.clear();

    click(IDC_COPY);

    ASSERT_TRUE(any_progress_title());
    // The meter shows as the run begins, before any file is done.
    const std::wstring& first = titles.front();
    EXPECT_EQ(first.substr(0, before.size() + 4), before + L"    ");
    EXPECT_NE(first.find(L"( 0 / 10 )"), std::wstring::npos);
    ASSERT_GE(titles.size(), 3u);
    EXPECT_NE(titles[titles.size() - 2].find(L"*"), std::wstring::npos);
    EXPECT_EQ(titles.back(), before);
    EXPECT_EQ(quillet::window_text(dlg->hwnd()), before);
    EXPECT_TRUE(quillet::path_exists(dest + L"S_JIS.ilc", false));
    EXPECT_EQ(dlg->file_list_box.count(), 10);
}

TEST_F(CopyButtonTest, NoSelectionRunsWithCodeMinusOne) {
    prepare(2);
    ASSERT_EQ(dlg->encoding_box.cur_sel(), 0);  // the dropped folder selected "  0 : Copy"
    SendMessageW(dlg->item(IDC_ENCODING), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    click(IDC_COPY);
    // Any code other than 8, 16 and 74 records the list as "copy_.ilc".
    EXPECT_TRUE(quillet::path_exists(dest + L"copy_.ilc", false));
    EXPECT_FALSE(quillet::path_exists(dest + L"_copy_.ilc", false));
}

TEST_F(CopyButtonTest, UnableToSaveStopsTheRun) {
    // One file more than the run can have handed out when the third fails.
    const size_t handed_out = quillet::entries_handed_out(quillet::default_worker_count());
    std::vector<std::wstring> files = prepare(3 + handed_out);
    // The third destination exists, is older and cannot be written.
    std::wstring blocked = dest + quillet::path_name(files[2]);
    ASSERT_TRUE(testing_support::put_text(blocked, "old\r\n"));
    ASSERT_TRUE(testing_support::set_mtime(blocked, 1000000000));
    ASSERT_TRUE(SetFileAttributesW(blocked.c_str(), FILE_ATTRIBUTE_READONLY));
    dlg->encoding_box.set_cur_sel(2);

    click(IDC_COPY);
    SetFileAttributesW(blocked.c_str(), FILE_ATTRIBUTE_NORMAL);

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"保存できません．\r\n" + quillet::path_name(files[2]));
    EXPECT_TRUE(boxes[0].waiting);
    EXPECT_FALSE(quillet::wait_cursor::active());
    EXPECT_TRUE(quillet::path_exists(dest + quillet::path_name(files[1]), false));
    // Files being worked on when it failed are finished; none is begun after them.
    EXPECT_FALSE(quillet::path_exists(dest + quillet::path_name(files.back()), false));
    // The list file still lists them all, and the box shows them all.
    std::wstring list = read_utf16(dest + L"UTF16.ilc");
    for (const std::wstring& f : files) EXPECT_NE(list.find(f), std::wstring::npos);
    EXPECT_EQ(dlg->file_list_box.count(), static_cast<int>(files.size()));
}

TEST_F(CopyButtonTest, WithNothingToCopyTheButtonSaysWhatToDropAndWritesNothing) {
    const std::wstring folder = store().get_folder();
    const std::wstring rescue = temp + L"Rescue";
    click(IDC_COPY);
    click(IDC_COPY);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text.find(L"コピーするファイルがありません．"), 0u) << boxes[0].text;
    for (const wchar_t* name : {L"copy_.ilc", L"UTF_8.ilc", L"UTF16.ilc", L"S_JIS.ilc"})
        EXPECT_FALSE(quillet::path_exists(quillet::path_add_sep(folder) + name, false)) << name;
    EXPECT_FALSE(quillet::path_exists(rescue, false));
}

TEST_F(CopyButtonTest, EnterNeverEndsTheProgramAndOpensTheSelectedRecentList) {
    const std::wstring folder = make_folder(L"site");
    const std::wstring source = make_file(L"src\\a.txt", "a\r\n");
    write_list(folder + L"_copy_.ilc", {source});
    write_list(ido, {folder + L"_copy_.ilc"});
    click(IDC_RELOAD_IDO);
    SendMessageW(dlg->recent_list_box.hwnd(), LB_SETCURSEL, 0, 0);
    // Enter as the dialog manager sees it, in each control that can hold the focus.
    for (int id : {IDC_FOLDER_EDIT, IDC_FILE_LIST, IDC_ENCODING, IDC_RECENT_LIST}) {
        SetFocus(dlg->item(id));
        MSG enter{GetFocus(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
        IsDialogMessageW(dlg->hwnd(), &enter);
        dispatch_pending();
        wait_for_run();
        ASSERT_TRUE(IsWindow(dlg->hwnd())) << "Enter in control " << id;
        // Only Enter in the recent list opens its selected list.
        EXPECT_EQ(store().get_files().empty(), id != IDC_RECENT_LIST) << "Enter in control " << id;
    }
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{source});
    EXPECT_EQ(dlg->file_list_box.count(), 1);
}

TEST_F(CopyButtonTest, FilesKeptUnchangedAreShownWithTheirReasonsAfterTheRun) {
    dest = make_folder(L"dest");
    const std::wstring emoji = make_file(L"src\\emoji.txt", "smile \xF0\x9F\x98\x80\r\n");
    drop({quillet::path_del_sep(dest), emoji});
    dlg->encoding_box.set_cur_sel(3);  // " 74 : SJIS"

    click(IDC_COPY);

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"変換せずにコピーしました．\r\n" + emoji +
                                 L": kept unchanged: 1 character(s) that Shift_JIS cannot hold\n"
                                 L"  U+1F600 '\U0001F600', line 1, column 7\n");
    EXPECT_EQ(testing_support::get_bytes(dest + L"emoji.txt"), testing_support::get_bytes(emoji));
}

TEST_F(CopyButtonTest, FalseDeclarationsAndSameFileNamesAreShownAfterTheRun) {
    dest = make_folder(L"dest");
    // UTF-8 bytes that declare Shift_JIS, and a second index.html from another folder.
    const std::string page = "<html><head><meta charset=\"Shift_JIS\"></head><body>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</body></html>\n";
    const std::wstring first = make_file(L"src\\a\\index.html", page);
    const std::wstring second = make_file(L"src\\b\\index.html", "second\r\n");
    drop({quillet::path_del_sep(dest), first, second});
    dlg->encoding_box.set_cur_sel(1);  // "  8 : UTF-8"

    click(IDC_COPY);

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"宣言された文字コードが中身と違います．\r\n" + first +
                                 L": declares Shift_JIS, reads as UTF-8\n"
                                 L"同じファイル名です．\r\n" + second +
                                 L"  (same destination name as " + first + L")\n");
}
