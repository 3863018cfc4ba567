// Files and folders dropped onto the main dialog as a real shell drop handle.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/resource.h"
#include "app_fixture.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/store.h"

using namespace app_test;
using quillet::store;

using DropTest = app_window;

TEST_F(DropTest, FolderThenTextFilesOpensItsListAndAppendsTheFiles) {
    std::wstring z = make_file(L"lib\\z.txt", "zeta\r\n");
    std::wstring m = make_file(L"lib\\m.txt", "mu\r\n");
    std::wstring dest = make_folder(L"site");
    write_list(dest + L"_copy_.ilc", {z, m});
    std::wstring t1 = make_file(L"else\\one.txt", "1\r\n");
    std::wstring t2 = make_file(L"else\\two.txt", "2\r\n");
    std::wstring t3 = make_file(L"else\\three.txt", "3\r\n");

    drop({quillet::path_del_sep(dest), t3, t1, t2});

    EXPECT_EQ(store().get_files(), (std::vector<std::wstring>{m, z, t3, t1, t2}));
    EXPECT_EQ(store().get_folder(), quillet::path_del_sep(dest));
    EXPECT_EQ(text_of(IDC_FOLDER_EDIT), quillet::path_del_sep(dest));
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 0);
    std::vector<std::wstring> lines = dlg->file_list_box.texts();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines, store().file_entries());
    EXPECT_EQ(lines[2].substr(lines[2].size() - t3.size()), t3);
    // The opened list is recorded in the recent-lists file and shown by its folder.
    EXPECT_NE(read_utf16(ido).find(dest + L"_copy_.ilc\r\n"), std::wstring::npos);
    ASSERT_EQ(dlg->recent_list_box.count(), 1);
    EXPECT_EQ(dlg->recent_list_box.text(0), quillet::shorten_path(quillet::path_del_sep(dest), 50));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DropTest, StatusColumnsLineUpInTheFileList) {
    std::wstring a = make_file(L"s\\a.txt", "a\r\n");
    std::wstring b = make_file(L"s\\much longer name.txt", std::string(5000, 'b'));
    drop({quillet::path_del_sep(make_folder(L"d")), a, b});
    std::vector<std::wstring> lines = dlg->file_list_box.texts();
    ASSERT_EQ(lines.size(), 2u);
    // Every line has its path at the same column: the status part has one width.
    EXPECT_EQ(lines[0].size() - a.size(), lines[1].size() - b.size());
}

TEST_F(DropTest, ListFileStopsTheDropAndSelectsItsEncoding) {
    std::wstring a = make_file(L"src\\a.txt", "alpha\r\n");
    std::wstring list = make_folder(L"dest") + L"UTF_8.ilc";
    write_list(list, {a});
    std::wstring ignored = make_file(L"src\\ignored.txt", "ignored\r\n");
    std::wstring zip = make_file(L"src\\ignored.zip", std::string("PK\x03\x04\0\0", 6));

    drop({list, ignored, zip});

    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{a});
    EXPECT_EQ(store().get_folder(), quillet::path_folder(list));
    EXPECT_EQ(dlg->encoding_box.cur_sel(), 1);
    EXPECT_EQ(dlg->file_list_box.count(), 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DropTest, RecentListsFileInAnotherLetterCaseReloadsTheRecentList) {
    std::wstring a = make_file(L"src\\a.txt", "alpha\r\n");
    drop({a});
    ASSERT_EQ(store().get_files(), std::vector<std::wstring>{a});
    std::wstring folder = store().get_folder();
    write_list(ido, {scratch.path() + L"p\\_copy_.ilc", scratch.path() + L"q\\S_JIS.ilc"});
    EXPECT_EQ(dlg->recent_list_box.count(), 0);

    std::wstring upper;
    for (wchar_t c : ido) upper += (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    ASSERT_NE(upper, ido);
    drop({upper});

    EXPECT_EQ(dlg->recent_list_box.count(), 2);
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{a});
    EXPECT_EQ(store().get_folder(), folder);
    EXPECT_EQ(dlg->encoding_box.cur_sel(), -1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DropTest, ZipAndPngGiveOneBoxWithBothNames) {
    std::wstring zip = make_file(L"bin\\archive.zip", std::string("PK\x03\x04\x14\0\0\0", 8));
    std::wstring png = make_file(L"bin\\picture.png",
                                 std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01", 20));
    std::wstring text = make_file(L"bin\\note.txt", "note\r\n");
    std::wstring log_file = quillet::dump_file_path();

    drop({zip, text, png, text});

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"テキストファイルではありません．\r\narchive.zip\r\npicture.png\r\n");
    EXPECT_EQ(boxes[0].type, 0u);
    EXPECT_TRUE(boxes[0].waiting);
    // The same file dropped twice is listed once.
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{text});
    EXPECT_EQ(dlg->file_list_box.count(), 1);
    // The box is also logged: on one line, its line breaks turned into tabs.
    std::wstring logged = read_utf16(log_file);
    EXPECT_NE(logged.find(L"[OK]    \t\t\tテキストファイルではありません．\t\tarchive.zip\t\tpicture.png\t\t"),
              std::wstring::npos);
}

TEST_F(DropTest, FolderWithoutListBecomesTheDestinationWithAnEmptyList) {
    std::wstring a = make_file(L"src\\a.txt", "alpha\r\n");
    drop({a});
    std::wstring dest = quillet::path_del_sep(make_folder(L"empty"));
    drop({dest});
    EXPECT_TRUE(store().get_files().empty());
    EXPECT_EQ(store().get_folder(), dest);
    EXPECT_EQ(dlg->file_list_box.count(), 0);
    EXPECT_NE(read_utf16(ido).find(dest + L"\\_copy_.ilc"), std::wstring::npos);
}

TEST(DroppedFiles, ReadsEveryNameOfAShellDropHandle) {
    std::vector<std::wstring> paths = {L"C:\\a.txt", L"D:\\長い名前\\b.txt", L"\\\\server\\share\\c"};
    HGLOBAL memory = make_hdrop(paths);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(quillet::dropped_files(static_cast<HDROP>(memory)), paths);
    GlobalFree(memory);
    EXPECT_TRUE(quillet::dropped_files(nullptr).empty());
}
