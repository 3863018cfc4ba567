// Drop intake: folders, folder list files, the recent-lists file, text files
// and files that are not text, as the main window and the console take them.
#include "engine/intake.h"

#include <memory>

#include "base/paths.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::get_bytes;
using testing_support::put_bytes;

using intake_test = fixture;

std::wstring to_upper_copy(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return text;
}

std::vector<uint8_t> list_bytes(const std::vector<std::wstring>& list) {
    std::wstring text;
    for (const auto& entry : list) text += entry + L"\r\n";
    return utf16le(text, true);
}

TEST(CodeForList, TitleSelectsTheTarget) {
    EXPECT_EQ(code_for_list(L"C:\\w\\S_JIS.ilc"), 74);
    EXPECT_EQ(code_for_list(L"C:\\w\\UTF16.ilc"), 16);
    EXPECT_EQ(code_for_list(L"C:\\w\\UTF_8.ilc"), 8);
    EXPECT_EQ(code_for_list(L"C:\\w\\_copy_.ilc"), 0);
    EXPECT_EQ(code_for_list(L"C:\\w\\copy_.ilc"), 0);
    EXPECT_EQ(code_for_list(L"C:\\w\\utf_8.ilc"), 0);
    EXPECT_EQ(code_for_list(L"C:\\w\\ASCII.ilc"), 0);
}

TEST(ToUncPath, LocalAndShortPathsStayAsGiven) {
    EXPECT_EQ(to_unc_path(L""), L"");
    EXPECT_EQ(to_unc_path(L"C"), L"C");
    EXPECT_EQ(to_unc_path(L"C:\\windows\\a.txt"), L"C:\\windows\\a.txt");
    EXPECT_EQ(to_unc_path(L"\\\\server\\share\\a.txt"), L"\\\\server\\share\\a.txt");
    EXPECT_EQ(to_unc_path(L"relative\\a.txt"), L"relative\\a.txt");
}

TEST_F(intake_test, FolderOpensItsListAndTextFilesFollowInDropOrder) {
    put_bytes(dest_dir + L"_copy_.ilc", utf8(L"C:\\z.txt\r\nC:\\b.txt\r\nC:\\b.txt\r\n", true));
    const std::wstring t3 = source(L"3.txt", utf8(L"three"));
    const std::wstring t1 = source(L"1.txt", sjis(L"一"));
    const std::wstring t2 = source(L"2.txt", utf16le(L"二"));
    store().set_folder(L"C:\\before");
    const drop_result r = take_drop({path_del_sep(dest_dir), t3, t1, t2});
    EXPECT_EQ(store().get_files(),
              (std::vector<std::wstring>{L"C:\\b.txt", L"C:\\z.txt", t3, t1, t2}));
    EXPECT_EQ(store().get_folder(), path_del_sep(dest_dir));
    EXPECT_EQ(r.opened, std::vector<std::wstring>{dest_dir + L"_copy_.ilc"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.not_text.empty());
    EXPECT_EQ(get_bytes(recent_file), list_bytes({dest_dir + L"_copy_.ilc"}));
    EXPECT_EQ(store().get_recent(), std::vector<std::wstring>{dest_dir + L"_copy_.ilc"});
}

TEST_F(intake_test, ListFileEndsTheDropAndSelectsItsCode) {
    const std::wstring list = dest_dir + L"UTF_8.ilc";
    put_bytes(list, list_bytes({L"C:\\y.txt", L"C:\\x.txt"}));
    const std::wstring later = source(L"later.txt", utf8(L"ignored"));
    const std::wstring zip = source(L"later.zip", zip_bytes());
    const drop_result r = take_drop({list, later, zip});
    EXPECT_EQ(store().get_files(), (std::vector<std::wstring>{L"C:\\x.txt", L"C:\\y.txt"}));
    EXPECT_EQ(store().get_folder(), path_del_sep(dest_dir));
    EXPECT_EQ(r.code, 8);
    EXPECT_TRUE(r.not_text.empty());
}

TEST_F(intake_test, FolderWithTrailingSeparatorIsStillAFolder) {
    put_bytes(dest_dir + L"_copy_.ilc", utf8(L"C:\\a.txt\r\n"));
    const drop_result r = take_drop({dest_dir});
    EXPECT_EQ(r.opened, std::vector<std::wstring>{dest_dir + L"_copy_.ilc"});
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{L"C:\\a.txt"});
    EXPECT_EQ(store().get_folder(), path_del_sep(dest_dir));
}

TEST_F(intake_test, FolderWithoutListGivesAnEmptyListAndIsStillRecorded) {
    store().add_file(L"C:\\old.txt");
    const std::wstring folder = scratch.path() + L"empty";
    CreateDirectoryW(folder.c_str(), nullptr);
    const drop_result r = take_drop({folder});
    EXPECT_TRUE(store().get_files().empty());
    EXPECT_EQ(store().get_folder(), folder);
    EXPECT_EQ(store().get_recent(), std::vector<std::wstring>{folder + L"\\_copy_.ilc"});
    EXPECT_FALSE(path_exists(folder + L"\\_copy_.ilc", false));
    EXPECT_EQ(r.code, 0);
}

TEST_F(intake_test, TextFilesAloneJoinTheCurrentListOnceEach) {
    store().set_folder(L"C:\\keep");
    store().add_file(L"C:\\first.txt");
    const std::wstring t = source(L"t.txt", sjis(L"テキスト"));
    const drop_result r = take_drop({t, t});
    EXPECT_EQ(store().get_files(), (std::vector<std::wstring>{L"C:\\first.txt", t}));
    EXPECT_EQ(store().get_folder(), L"C:\\keep");
    EXPECT_TRUE(r.opened.empty());
    EXPECT_EQ(r.code, -1);
    EXPECT_TRUE(get_bytes(recent_file).empty());  // nothing opened: recent list not saved
    take_drop({t});
    EXPECT_EQ(store().get_files().size(), 2u);
}

TEST_F(intake_test, FilesThatAreNotTextAreListedForTheFrontEndToShow) {
    const std::wstring zip = source(L"a.zip", zip_bytes());
    const std::wstring png = source(L"b.png", png_bytes());
    const std::wstring nul = source(L"c.txt", {'a', 'b', 0, 'c'});
    const std::wstring ok = source(L"d.txt", utf8(L"fine"));
    const drop_result r = take_drop({zip, ok, png, nul});
    EXPECT_EQ(r.not_text, (std::vector<std::wstring>{zip, png, nul}));
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{ok});
    EXPECT_EQ(not_text_message(r.not_text), L"Not a text file.\r\na.zip\r\nb.png\r\nc.txt\r\n");
    const auto japanese = [](const std::wstring& english) {
        return english == L"Not a text file.\r\n" ? std::wstring(L"テキストファイルではありません．\r\n")
                                                   : english;
    };
    EXPECT_EQ(not_text_message({zip}, japanese), L"テキストファイルではありません．\r\na.zip\r\n");
}

TEST_F(intake_test, RecentListsFileReloadsTheRecentListOnly) {
    store().set_folder(L"C:\\keep");
    store().add_file(L"C:\\first.txt");
    put_bytes(recent_file, list_bytes({L"C:\\r\\_copy_.ilc", L"C:\\q\\UTF16.ilc"}));
    const drop_result r = take_drop({to_upper_copy(recent_file)});
    EXPECT_TRUE(r.recent_reloaded);
    EXPECT_EQ(store().get_recent(),
              (std::vector<std::wstring>{L"C:\\q\\UTF16.ilc", L"C:\\r\\_copy_.ilc"}));
    EXPECT_EQ(store().get_files(), std::vector<std::wstring>{L"C:\\first.txt"});
    EXPECT_EQ(store().get_folder(), L"C:\\keep");
    EXPECT_TRUE(r.opened.empty());
}

TEST_F(intake_test, WithoutRecordingTheRecentListsFileIsUntouched) {
    put_bytes(dest_dir + L"S_JIS.ilc", list_bytes({L"C:\\a.txt"}));
    drop_options options;
    options.record_recent = false;
    const drop_result r = take_drop({dest_dir + L"S_JIS.ilc"}, options);
    EXPECT_EQ(r.code, 74);
    EXPECT_EQ(r.opened.size(), 1u);
    EXPECT_TRUE(get_bytes(recent_file).empty());
    EXPECT_TRUE(store().get_recent().empty());
}

TEST(NotTextMessage, FileNamesEachOnTheirOwnLine) {
    EXPECT_EQ(not_text_message({L"C:\\a\\x.zip", L"y.png"}), L"Not a text file.\r\nx.zip\r\ny.png\r\n");
    EXPECT_EQ(not_text_message({}), L"Not a text file.\r\n");
}

}  // namespace
