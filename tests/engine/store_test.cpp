// The copy list store: list files, the recent list, shortened display paths,
// per-encoding folder list files and the working folders.
#include "engine/store.h"

#include <random>

#include "base/log.h"
#include "base/paths.h"
#include "engine/file_io.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::get_bytes;
using testing_support::put_bytes;

using store_test = fixture;

std::vector<uint8_t> list_bytes(const std::vector<std::wstring>& list) {
    std::wstring text;
    for (const auto& entry : list) text += entry + L"\r\n";
    return utf16le(text, true);
}

TEST(PathRoot, DrivesAndServers) {
    EXPECT_EQ(path_root(L"C:\\a\\b.txt"), L"C:");
    EXPECT_EQ(path_root(L"c:"), L"c:");
    EXPECT_EQ(path_root(L"\\\\server\\share\\x"), L"\\\\server");
    EXPECT_EQ(path_root(L"//server/share"), L"//server");
    EXPECT_EQ(path_root(L"\\\\server"), L"");
    EXPECT_EQ(path_root(L"a"), L"");
    EXPECT_EQ(path_root(L""), L"");
    EXPECT_EQ(path_root(L"dir\\x.txt"), L"");
}

TEST(ShortenPath, ShortPathsStayWhole) {
    const std::wstring fifty = L"C:\\" + std::wstring(41, L'd') + L"\\a.txt";
    ASSERT_EQ(fifty.size(), 50u);
    EXPECT_EQ(shorten_path(fifty, 50), fifty);
}

TEST(ShortenPath, LongPathsKeepDriveFirstFolderAndTrailingParts) {
    const std::wstring path = L"C:\\dir1\\dir2\\dir3\\dir4\\dir5\\dir6\\dir7\\dir8\\name.txt";
    ASSERT_EQ(path.size(), 51u);
    EXPECT_EQ(shorten_path(path, 50), L"C:\\dir1\\...\\dir3\\dir4\\dir5\\dir6\\dir7\\dir8\\name.txt");
    EXPECT_EQ(shorten_path(path, 30), L"C:\\dir1\\...\\dir7\\dir8\\name.txt");
    EXPECT_EQ(shorten_path(path, 22), L"C:\\dir1\\...\\name.txt");
}

TEST(ShortenPath, LongNamesShowTheNameAlone) {
    const std::wstring name = std::wstring(51, L'n') + L".txt";
    EXPECT_EQ(shorten_path(L"C:\\dir\\" + name, 50), name);
    // Root, first folder, "\\...\\" and name do not fit: the name alone.
    EXPECT_EQ(shorten_path(L"C:\\a_long_first_folder\\b\\c\\name.txt", 30), L"name.txt");
}

TEST(ShortenPath, ServerPathsAndForwardSlashes) {
    const std::wstring unc = L"\\\\server\\share\\one\\two\\three\\four\\five\\six\\file.txt";
    EXPECT_EQ(shorten_path(unc, 40), L"\\\\server\\share\\...\\five\\six\\file.txt");
    const std::wstring slashes = L"D:/top/one/two/three/four/five/six/seven/eight/file.txt";
    EXPECT_EQ(shorten_path(slashes, 30), L"D:/top\\...\\eight/file.txt");
}

TEST_F(store_test, LoadRecentSortsAndRemovesDuplicates) {
    put_bytes(recent_file, list_bytes({L"b", L"a", L"b"}));
    const auto display = store().load_recent();
    EXPECT_EQ(store().get_recent(), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(display, (std::vector<std::wstring>{L"a", L"b"}));
}

TEST_F(store_test, RecentDisplayShowsTheFolderOfAUserList) {
    put_bytes(recent_file, list_bytes({L"C:\\work\\site\\_copy_.ilc", L"C:\\work\\site\\UTF_8.ilc",
                                       L"C:\\work\\other\\_COPY_.ilc"}));
    const auto display = store().load_recent();
    // "_COPY_.ilc" is not the user's list name (the comparison is case-sensitive).
    EXPECT_EQ(display, (std::vector<std::wstring>{L"C:\\work\\other\\_COPY_.ilc",
                                                  L"C:\\work\\site\\UTF_8.ilc", L"C:\\work\\site"}));
}

TEST_F(store_test, RecentDisplayShortensLongEntriesAndKeepsAnEmptyLine) {
    const std::wstring folder = L"C:\\dir1\\dir2\\dir3\\dir4\\dir5\\dir6\\dir7\\dir8\\dir9\\site";
    put_bytes(recent_file, list_bytes({folder + L"\\_copy_.ilc", L"", folder + L"\\S_JIS.ilc"}));
    const auto display = store().load_recent();
    // The empty line survives as one entry and sorts first.
    ASSERT_EQ(store().get_recent().size(), 3u);
    EXPECT_EQ(store().get_recent()[0], L"");
    // "S_JIS.ilc" sorts before "_copy_.ilc"; the user's list shows its folder.
    EXPECT_EQ(display, (std::vector<std::wstring>{
                           L"", L"C:\\dir1\\...\\dir6\\dir7\\dir8\\dir9\\site\\S_JIS.ilc",
                           L"C:\\dir1\\...\\dir4\\dir5\\dir6\\dir7\\dir8\\dir9\\site"}));
}

TEST_F(store_test, AddRecentMergesSortsAndSaves) {
    put_bytes(recent_file, list_bytes({L"C:\\b\\_copy_.ilc"}));
    store().load_recent();
    store().add_recent({L"C:\\c\\UTF16.ilc", L"C:\\a\\_copy_.ilc", L"C:\\b\\_copy_.ilc"});
    const std::vector<std::wstring> expected = {L"C:\\a\\_copy_.ilc", L"C:\\b\\_copy_.ilc",
                                                L"C:\\c\\UTF16.ilc"};
    EXPECT_EQ(store().get_recent(), expected);
    EXPECT_EQ(get_bytes(recent_file), list_bytes(expected));
}

TEST_F(store_test, FindRecentIgnoresLetterCase) {
    put_bytes(recent_file, list_bytes({L"c:\\a\\_COPY_.ILC", L"C:\\b\\_copy_.ilc"}));
    store().load_recent();
    store().set_folder(L"C:\\A");
    EXPECT_EQ(store().find_recent(), 1);  // sorted: "C:\\b..." before "c:\\a..."
    store().set_folder(L"C:\\B\\");
    EXPECT_EQ(store().find_recent(), 0);
    store().set_folder(L"C:\\none");
    EXPECT_EQ(store().find_recent(), -1);
}

TEST_F(store_test, OpenListSortsItsEntriesAndSelectsItsFolder) {
    const std::wstring list = dest_dir + L"_copy_.ilc";
    put_bytes(list, utf8(L"C:\\z.txt\r\nC:\\a.txt\r\nC:\\z.txt\r\n", true));
    store().set_folder(L"elsewhere");
    store().add_file(L"old");
    store().open_list(list);
    EXPECT_EQ(store().get_files(), (std::vector<std::wstring>{L"C:\\a.txt", L"C:\\z.txt"}));
    EXPECT_EQ(store().get_folder(), path_del_sep(dest_dir));
}

TEST_F(store_test, OpenListOfAMissingFileSelectsItsFolderWithNoFiles) {
    store().add_file(L"old");
    store().open_list(dest_dir + L"missing.ilc");
    EXPECT_TRUE(store().get_files().empty());
    EXPECT_EQ(store().get_folder(), path_del_sep(dest_dir));
}

TEST_F(store_test, LoadFilesKeepsFileOrderAndDedupeKeepsFirstOccurrences) {
    const std::wstring list = dest_dir + L"list.ilc";
    put_bytes(list, sjis(L"C:\\b\\日本.txt\r\nC:\\a.txt\r\nC:\\b\\日本.txt\r\nc:\\A.txt\r\nC:\\a.txt"));
    store().load_files(list);
    EXPECT_EQ(store().get_files().size(), 5u);
    store().dedupe_files();
    EXPECT_EQ(store().get_files(),
              (std::vector<std::wstring>{L"C:\\b\\日本.txt", L"C:\\a.txt", L"c:\\A.txt"}));
}

TEST_F(store_test, ClearKeepsTheRecentList) {
    put_bytes(recent_file, list_bytes({L"x"}));
    store().load_recent();
    store().set_folder(L"f");
    store().add_file(L"a");
    store().clear();
    EXPECT_EQ(store().get_folder(), L"");
    EXPECT_TRUE(store().get_files().empty());
    EXPECT_EQ(store().get_recent(), std::vector<std::wstring>{L"x"});
}

TEST_F(store_test, SaveFilesWritesTheListFormat) {
    store().add_file(L"a");
    store().add_file(L"b");
    ASSERT_TRUE(store().save_files(dest_dir + L"out.ilc"));
    EXPECT_EQ(get_bytes(dest_dir + L"out.ilc"),
              (std::vector<uint8_t>{0xFF, 0xFE, 'a', 0, 0x0D, 0, 0x0A, 0, 'b', 0, 0x0D, 0, 0x0A, 0}));
}

TEST_F(store_test, EncodedListsAreNamedAndEncodedByTarget) {
    const std::vector<std::wstring> files = {L"C:\\src\\日本語.txt", L"C:\\src\\b.txt"};
    const std::wstring text = L"C:\\src\\日本語.txt\r\nC:\\src\\b.txt\r\n";
    put_bytes(dest_dir + L"_copy_.ilc", utf8(L"user list\r\n"));
    store().set_folder(path_del_sep(dest_dir));
    for (const auto& f : files) store().add_file(f);

    ASSERT_TRUE(store().save_encoded_list(8));
    EXPECT_EQ(get_bytes(dest_dir + L"UTF_8.ilc"), utf8(text, false));
    ASSERT_TRUE(store().save_encoded_list(16));
    EXPECT_EQ(get_bytes(dest_dir + L"UTF16.ilc"), utf16le(text, true));
    ASSERT_TRUE(store().save_encoded_list(74));
    EXPECT_EQ(get_bytes(dest_dir + L"S_JIS.ilc"), sjis(text));
    ASSERT_TRUE(store().save_encoded_list(0));
    EXPECT_EQ(get_bytes(dest_dir + L"copy_.ilc"), utf16le(text, true));
    ASSERT_TRUE(store().save_encoded_list(-1));
    EXPECT_EQ(get_bytes(dest_dir + L"copy_.ilc"), utf16le(text, true));
    // The user's own list is never written.
    EXPECT_EQ(get_bytes(dest_dir + L"_copy_.ilc"), utf8(L"user list\r\n"));
}

TEST_F(store_test, EncodedListIsBackedUpBeforeItIsReplaced) {
    store().set_folder(path_del_sep(dest_dir));
    store().add_file(L"C:\\first.txt");
    ASSERT_TRUE(store().save_encoded_list(8));
    testing_support::set_mtime(dest_dir + L"UTF_8.ilc", old_time);
    store().add_file(L"C:\\second.txt");
    ASSERT_TRUE(store().save_encoded_list(8));
    const std::wstring rescue = rescue_folder_of(dest_dir);
    EXPECT_EQ(get_bytes(rescue + L"UTF_8.ilc"), utf8(L"C:\\first.txt\r\n"));
    EXPECT_EQ(get_bytes(rescue + time_text(old_time, L"%Y%m%d_%H%M%S.") + L"UTF_8.ilc"),
              utf8(L"C:\\first.txt\r\n"));
    EXPECT_EQ(get_bytes(dest_dir + L"UTF_8.ilc"), utf8(L"C:\\first.txt\r\nC:\\second.txt\r\n"));
}

TEST_F(store_test, EncodedListIsNotReplacedWithoutABackup) {
    // A plain file named Rescue in the temporary folder leaves no room for backups.
    put_bytes(scratch.path() + L"tmp\\Rescue", utf8(L"in the way"));
    store().set_folder(path_del_sep(dest_dir));
    store().add_file(L"C:\\first.txt");
    // Nothing to replace yet: written without a backup.
    ASSERT_TRUE(store().save_encoded_list(16));
    store().add_file(L"C:\\second.txt");
    EXPECT_FALSE(store().save_encoded_list(16));
    EXPECT_EQ(get_bytes(dest_dir + L"UTF16.ilc"), utf16le(L"C:\\first.txt\r\n", true));
    EXPECT_NE(log_line_with(L"::save_encoded_list"), L"");
}

TEST_F(store_test, SjisListWithPathsCodePage932CannotHoldIsWrittenAsUtf16) {
    const std::vector<std::wstring> files = {L"C:\\src\\café.txt", L"C:\\src\\smile\xD83D\xDE00.txt",
                                             L"C:\\src\\日本語.txt"};
    store().set_folder(path_del_sep(dest_dir));
    for (const auto& f : files) store().add_file(f);
    ASSERT_TRUE(store().save_encoded_list(74));
    const std::wstring name = dest_dir + L"S_JIS.ilc";
    EXPECT_EQ(get_bytes(name), list_bytes(files));
    EXPECT_EQ(read_list_file(name), files);
    EXPECT_NE(log_line_with(L"::save_encoded_list   Written as UTF-16   " + name), L"");
}

TEST_F(store_test, RunRecordsReadBackExactlyAsWritten) {
    // Random entries from characters that trip one form or another: U+0000
    // (which ends the UTF-8 and Shift_JIS forms, and first in a list makes
    // FF FE 00 00, the UTF-32 mark), U+FEFF, characters outside code page
    // 932, surrogate pairs, a lone CR or LF, and letters that look like
    // another encoding's bytes. The first list starts with U+0000.
    const std::wstring alphabet(L"aZ09\\:. _-\u00E9\u00FC\u65E5\u672C\uFF71\uFEFF\r\n\u00A5\u2014\0", 21);
    std::mt19937 random(9016);
    std::vector<std::wstring> files = {std::wstring(L"\0a", 2), L"b"};
    for (int round = 0; round < 40; ++round) {
        store().clear();
        store().set_folder(path_del_sep(dest_dir));
        for (const auto& f : files) store().add_file(f);
        for (int code : {0, 8, 16, 74}) {
            ASSERT_TRUE(store().save_encoded_list(code));
            EXPECT_EQ(read_list_file(encoded_list_path(dest_dir, code)), files)
                << "round " << round << ", code " << code;
        }
        // The next list: CR LF ends an entry, so it never falls within or across two.
        std::vector<std::wstring> next;
        for (size_t n = random() % 5; next.size() <= n;) {
            const wchar_t last = next.empty() || next.back().empty() ? 0 : next.back().back();
            std::wstring entry;
            for (size_t k = random() % 12; entry.size() < k;) {
                const wchar_t c = alphabet[random() % alphabet.size()];
                if (random() % 9 == 0) entry += L"\xD83D\xDE00";
                else if (c != L'\n' || (entry.empty() ? last : entry.back()) != L'\r') entry += c;
            }
            next.push_back(entry);
        }
        files = next;
    }
}

TEST_F(store_test, FailedRecentSaveIsReportedAndKeepsTheFile) {
    put_bytes(recent_file, list_bytes({L"C:\\old\\_copy_.ilc"}));
    store().load_recent();
    ASSERT_TRUE(SetFileAttributesW(recent_file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(store().add_recent({L"C:\\new\\_copy_.ilc"}));
    EXPECT_NE(log_line_with(L"::add_recent   Can't save   " + recent_file), L"");
    EXPECT_EQ(get_bytes(recent_file), list_bytes({L"C:\\old\\_copy_.ilc"}));
    SetFileAttributesW(recent_file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(store().add_recent({L"C:\\new\\_copy_.ilc"}));
    EXPECT_EQ(read_list_file(recent_file),
              (std::vector<std::wstring>{L"C:\\new\\_copy_.ilc", L"C:\\old\\_copy_.ilc"}));
}

TEST_F(store_test, EmptyListWritesAnEmptyListFile) {
    store().set_folder(path_del_sep(dest_dir));
    ASSERT_TRUE(store().save_encoded_list(0));
    EXPECT_EQ(get_bytes(dest_dir + L"copy_.ilc"), (std::vector<uint8_t>{0xFF, 0xFE}));
}

TEST_F(store_test, WorkingFoldersLieUnderTheTemporaryFolder) {
    const std::wstring base = scratch.path() + L"tmp\\n_Bench.tmp\\" + program_title() + L"\\";
    EXPECT_EQ(to_lower(work_folder()), to_lower(base));
    EXPECT_TRUE(folder_exists(base));
    const std::wstring dated = dated_work_folder();
    EXPECT_EQ(to_lower(dated), to_lower(base + now_text(L"%Y%m%d") + L"\\"));
    EXPECT_TRUE(folder_exists(dated));
    EXPECT_EQ(to_lower(program_title()), L"test_engine");
}

TEST_F(store_test, DefaultRecentPathLiesInTheDatedWorkingFolder) {
    store().set_recent_path(L"");
    store().default_recent_path();
    EXPECT_EQ(to_lower(store().get_recent_path()), to_lower(dated_work_folder() + L"copy_new.ido"));
    store().set_recent_path(recent_file);
    store().default_recent_path();
    EXPECT_EQ(store().get_recent_path(), recent_file);
}

TEST_F(store_test, RecentListPathIsCreatedUnderCommonDocuments) {
    const std::wstring path = recent_list_path();
    const std::wstring expected =
        path_normalize(path_del_sep(special_folder(0x2E)) + L"\\Temp\\n_Bench\\Recent\\quillet.ido");
    EXPECT_EQ(path, expected);
    EXPECT_TRUE(path_exists(path, false));
}

TEST(StoreNames, ListPathsAndLabels) {
    EXPECT_EQ(folder_list_path(L"C:\\w"), L"C:\\w\\_copy_.ilc");
    EXPECT_EQ(folder_list_path(L"C:\\w\\"), L"C:\\w\\_copy_.ilc");
    EXPECT_EQ(encoded_list_path(L"C:\\w", 8), L"C:\\w\\UTF_8.ilc");
    EXPECT_EQ(encoded_list_path(L"C:\\w", 16), L"C:\\w\\UTF16.ilc");
    EXPECT_EQ(encoded_list_path(L"C:\\w", 74), L"C:\\w\\S_JIS.ilc");
    EXPECT_EQ(encoded_list_path(L"C:\\w", 0), L"C:\\w\\copy_.ilc");
    EXPECT_EQ(encoded_list_path(L"C:\\w", 65), L"C:\\w\\copy_.ilc");
}

}  // namespace
