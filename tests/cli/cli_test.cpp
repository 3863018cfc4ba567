// quillet-cli.exe end to end: the program runs as a child process on a real
// corpus; its exit status, standard output and error, and the files it leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/version_info.h"
#include "engine/entries.h"
#include "engine/file_io.h"
#include "engine/store.h"
#include "quillet_version.h"
#include "support/scratch.h"

#include "cli_fixture.h"

namespace {

const std::wstring jp = L"日本語とASCIIの混在\r\n二行目\r\n";

TEST_F(cli_test, UsageErrorsExitWithTwo) {
    cli_result r = run({});
    EXPECT_EQ(r.exit, 2u);
    EXPECT_NE(r.err.find(L"usage: quillet-cli [--code N] [--status] [--jobs N] [--] PATH..."),
              std::wstring::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(run({L"--bogus", dest}).exit, 2u);
    EXPECT_EQ(run({L"--code", L"x8", dest}).exit, 2u);
    EXPECT_EQ(run({dest, L"--code"}).exit, 2u);
    EXPECT_EQ(run({L"--jobs", L"0", dest}).exit, 2u);
    EXPECT_EQ(run({L"--jobs=x", dest}).exit, 2u);
    EXPECT_TRUE(list_folder(dest).empty());
}

TEST_F(cli_test, MissingPathIsReportedAndNothingIsDone) {
    user_list(L"_copy_.ilc", {source(L"a.txt", sjis(jp))});
    const std::wstring missing = scratch.path() + L"no such folder";
    const cli_result r = run({L"--code", L"8", dest, missing});
    EXPECT_EQ(r.exit, 2u);
    EXPECT_NE(r.err.find(L"no such file or folder: " + missing + L"\n"), std::wstring::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(exists(dest + L"a.txt"));
    EXPECT_FALSE(exists(dest + L"UTF_8.ilc"));
}

TEST_F(cli_test, HelpNamesTheOptionsTheExitCodesAndTheStatusColumns) {
    const cli_result r = run({L"--help"});
    EXPECT_EQ(r.exit, 0u);
    EXPECT_TRUE(r.err.empty()) << r.err;
    for (const wchar_t* part : {L"usage: quillet-cli [--code N] [--status] [--jobs N] [--] PATH...",
                                L"--version", L"  2  usage error", L"NO_RD", L"Did not update."}) {
        EXPECT_NE(r.out.find(part), std::wstring::npos) << "missing: " << part;
    }
    EXPECT_EQ(run({L"/?"}).out, r.out);
}

TEST_F(cli_test, VersionIsTheProjectVersionInTheResourceToo) {
    const cli_result r = run({L"--version"});
    EXPECT_EQ(r.exit, 0u);
    EXPECT_EQ(r.out, L"quillet-cli " QUILLET_VERSION L"\n");
    EXPECT_TRUE(r.err.empty()) << r.err;
    version_info info;
    ASSERT_TRUE(info.set_file(cli_path()));
    EXPECT_EQ(info.file_version(), L"" QUILLET_VERSION_TEXT);
    EXPECT_EQ(info.original_filename(), L"quillet-cli.exe");
}

TEST_F(cli_test, DoubleDashEndsTheOptionsSoAPathMayStartWithADash) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    const std::wstring odd = scratch.path() + L"-out\\";
    CreateDirectoryW(odd.c_str(), nullptr);
    put_bytes(odd + L"_copy_.ilc", utf8(a + L"\r\n"));
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
    const cli_result r = run({L"--code=16", L"--", L"-out"});
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(get_bytes(odd + L"a.txt"), utf16(jp));
}

TEST_F(cli_test, FolderRunConvertsMixedCorpusAndPrintsStatusLines) {
    const std::vector<std::wstring> files = {
        source(L"sjis.txt", sjis(jp)),
        source(L"utf16.txt", utf16(L"UTF-16 の本文\r\n")),
        source(L"a.zip", {0x50, 0x4B, 0x03, 0x04, 0x00, 0x00, 0x41}),
        source(L"emoji.txt", utf8(L"絵文字 \U0001F600\r\n")),
        source(L"newer.txt", utf8(L"source")),
    };
    user_list(L"_copy_.ilc", files);
    put_bytes(dest + L"newer.txt", utf8(L"kept"));
    set_mtime(dest + L"newer.txt", old_time + 100);

    const cli_result r = run({L"--code", L"8", path_del_sep(dest)});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(get_bytes(dest + L"sjis.txt"), utf8(jp));
    EXPECT_EQ(get_bytes(dest + L"utf16.txt"), utf8(L"UTF-16 の本文\r\n"));
    EXPECT_EQ(get_bytes(dest + L"a.zip"), get_bytes(files[2]));
    EXPECT_EQ(get_bytes(dest + L"emoji.txt"), utf8(L"絵文字 \U0001F600\r\n"));
    EXPECT_EQ(get_bytes(dest + L"newer.txt"), utf8(L"kept"));
    EXPECT_EQ(get_mtime(dest + L"sjis.txt"), old_time);
    // The list was sorted when it was opened; the run records it as UTF-8.
    const std::vector<std::wstring> sorted = sorted_unique(files);
    EXPECT_EQ(get_bytes(dest + L"UTF_8.ilc"), utf8(lines_text(sorted)));

    // One status line per file, as the engine gives them now.
    EXPECT_EQ(r.out_lines(), file_entries(path_del_sep(dest), sorted));
    EXPECT_NE(r.err.find(L"Did not update.\n" + files[4] + L"  (destination is newer)\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_EQ(r.err.find(L"Unable to save."), std::wstring::npos);
}

TEST_F(cli_test, TargetFollowsTheNameOfTheOpenedList) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    user_list(L"UTF16.ilc", {a});
    cli_result r = run({dest + L"UTF16.ilc"});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(get_bytes(dest + L"a.txt"), utf16(jp));
    EXPECT_TRUE(exists(dest + L"UTF16.ilc"));

    const std::wstring other = scratch.path() + L"other\\";
    CreateDirectoryW(other.c_str(), nullptr);
    put_bytes(other + L"S_JIS.ilc", utf8(a + L"\r\n"));
    r = run({other + L"S_JIS.ilc"});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(get_bytes(other + L"a.txt"), sjis(jp));
    EXPECT_EQ(get_bytes(other + L"S_JIS.ilc"), sjis(a + L"\r\n"));
}

TEST_F(cli_test, CodeOptionOverridesTheListName) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    user_list(L"_copy_.ilc", {a});
    const cli_result r = run({L"--code", L"16", dest});
    EXPECT_EQ(r.exit, 0u) << r.err;
    // Nothing was left alone and nothing failed: standard error stays empty.
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(get_bytes(dest + L"a.txt"), utf16(jp));
    EXPECT_EQ(get_bytes(dest + L"UTF16.ilc"), utf16(a + L"\r\n"));
    EXPECT_FALSE(exists(dest + L"copy_.ilc"));
}

TEST_F(cli_test, UserListSelectsCopyUnchanged) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    user_list(L"_copy_.ilc", {a});
    const cli_result r = run({dest});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(get_bytes(dest + L"a.txt"), sjis(jp));
    EXPECT_EQ(get_bytes(dest + L"copy_.ilc"), utf16(a + L"\r\n"));
}

TEST_F(cli_test, StatusOnlyChangesNothing) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    const std::wstring b = source(L"b.txt", utf8(L"b"));
    user_list(L"_copy_.ilc", {b, a});
    const auto before = list_folder(dest);
    const cli_result r = run({L"--status", L"--code", L"8", dest});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(list_folder(dest), before);
    const auto lines = r.out_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], status_line(dest, a));
    EXPECT_EQ(lines[0].substr(0, 18), L" << -----   S_JIS ");
    EXPECT_EQ(lines[1], status_line(dest, b));
    EXPECT_FALSE(exists(tmp + L"Rescue"));
}

TEST_F(cli_test, FilesThatAreNotTextAreReportedAndTextFilesJoinTheList) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    user_list(L"_copy_.ilc", {a});
    const std::wstring zip = source(L"x.zip", {0x50, 0x4B, 0x05, 0x06, 0, 0});
    const std::wstring png = source(L"y.png", {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D});
    const std::wstring extra = source(L"extra.txt", utf8(L"extra"));
    const cli_result r = run({L"--code", L"8", dest, zip, extra, png});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_NE(r.err.find(L"Not a text file.\nx.zip\ny.png\n"), std::wstring::npos) << r.err;
    const auto lines = r.out_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], status_line(dest, extra));
    EXPECT_EQ(get_bytes(dest + L"extra.txt"), utf8(L"extra"));
    EXPECT_FALSE(exists(dest + L"x.zip"));
}

TEST_F(cli_test, UnwritableDestinationExitsWithOne) {
    const int64_t later = static_cast<int64_t>(time(nullptr)) + 86400;
    const std::wstring a = source(L"a.txt", utf8(L"a"), later);
    const std::wstring c = source(L"c.txt", utf8(L"c"), later);
    const std::wstring e = source(L"e.txt", utf8(L"e"), later);
    user_list(L"_copy_.ilc", {a, c, e});
    CreateDirectoryW((dest + L"c.txt").c_str(), nullptr);
    // One file after the other: the run stops at c.txt, e.txt is not begun.
    const cli_result r = run({L"--code", L"0", L"--jobs", L"1", dest});
    EXPECT_EQ(r.exit, 1u) << r.err;
    EXPECT_NE(r.err.find(L"Unable to save.\nc.txt  (destination is a folder)\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_TRUE(exists(dest + L"a.txt"));
    EXPECT_FALSE(exists(dest + L"e.txt"));
    EXPECT_EQ(r.out_lines().size(), 3u);
}

TEST_F(cli_test, UnreadableSourcesAreReportedAndTheOthersAreConverted) {
    const std::wstring a = source(L"a.txt", sjis(L"一"));
    const std::wstring b = source(L"b.txt", sjis(L"二"));
    const std::wstring c = source(L"c.txt", sjis(L"三"));
    user_list(L"_copy_.ilc", {a, b, c});
    put_bytes(dest + L"b.txt", utf8(L"older"));
    set_mtime(dest + L"b.txt", old_time - 100);
    // Another program holds b.txt open without sharing it, and the child finds
    // no memory for any buffer of c.txt.
    HANDLE held = CreateFileW(b.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", L"c.txt");
    const cli_result r = run({L"--code", L"8", dest});
    SetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", nullptr);
    CloseHandle(held);
    EXPECT_EQ(r.exit, 1u) << r.err;  // the run went on, but two files failed
    EXPECT_EQ(get_bytes(dest + L"a.txt"), utf8(L"一"));
    EXPECT_EQ(get_bytes(dest + L"b.txt"), utf8(L"older"));
    EXPECT_FALSE(exists(dest + L"c.txt"));
    EXPECT_TRUE(exists(dest + L"UTF_8.ilc"));
    EXPECT_NE(r.err.find(L"Did not update.\n" + b + L"  (source cannot be read  (error 32))\n" + c +
                         L"  (not enough memory)\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_EQ(r.err.find(L"Unable to save."), std::wstring::npos) << r.err;
    // Their status lines say they could not be read, not what code they hold.
    const std::vector<std::wstring> lines = r.out_lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 18), L" << ASCII   NO_RD ") << lines[1];
    EXPECT_EQ(lines[2].substr(0, 18), L" << -----   NO_RD ") << lines[2];
}

TEST_F(cli_test, HeldListFileIsAnErrorAndKeepsTheEarlierRecord) {
    const std::wstring a = source(L"a.txt", sjis(L"一"));
    user_list(L"_copy_.ilc", {a});
    ASSERT_EQ(run({L"--code", L"8", dest}).exit, 0u);
    const auto record = get_bytes(dest + L"UTF_8.ilc");
    ASSERT_FALSE(record.empty());
    // Another program holds the list open without sharing it for the whole run.
    HANDLE held = CreateFileW((dest + L"_copy_.ilc").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const cli_result r = run({L"--code", L"8", dest});
    const cli_result status = run({L"--status", dest});
    CloseHandle(held);
    EXPECT_EQ(r.exit, 1u) << r.err;
    EXPECT_NE(r.err.find(L"Unable to read the list.\n" + dest + L"_copy_.ilc\n(cannot be opened  (error 32))\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(get_bytes(dest + L"UTF_8.ilc"), record);
    EXPECT_EQ(status.exit, 1u) << status.err;
}

TEST_F(cli_test, RecordThatCannotBeWrittenChangesTheExitStatus) {
    const std::wstring a = source(L"a.txt", sjis(L"一"));
    user_list(L"_copy_.ilc", {a});
    put_bytes(dest + L"UTF_8.ilc", utf8(L"earlier record\r\n"));
    SetFileAttributesW((dest + L"UTF_8.ilc").c_str(), FILE_ATTRIBUTE_READONLY);
    const cli_result r = run({L"--code", L"8", dest});
    SetFileAttributesW((dest + L"UTF_8.ilc").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(r.exit, 1u) << r.err;
    EXPECT_NE(r.err.find(L"Unable to save.\n" + dest + L"UTF_8.ilc  (the run's list record)\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_EQ(get_bytes(dest + L"a.txt"), utf8(L"一"));
    EXPECT_EQ(get_bytes(dest + L"UTF_8.ilc"), utf8(L"earlier record\r\n"));
}

TEST_F(cli_test, RecentListIsNotChanged) {
    const std::wstring recent = recent_list_path();
    const auto before = get_bytes(recent);
    const std::wstring a = source(L"a.txt", utf8(L"a"));
    user_list(L"UTF_8.ilc", {a});
    EXPECT_EQ(run({dest + L"UTF_8.ilc"}).exit, 0u);
    EXPECT_EQ(run({dest}).exit, 0u);
    EXPECT_EQ(get_bytes(recent), before);
}

TEST_F(cli_test, TextFilesAloneGoToTheDatedWorkingFolder) {
    const std::wstring a = source(L"alone.txt", sjis(jp));
    const cli_result r = run({L"--code", L"8", a});
    EXPECT_EQ(r.exit, 0u) << r.err;
    const std::wstring dated = tmp + L"n_Bench.tmp\\quillet-cli\\" + now_text(L"%Y%m%d") + L"\\";
    EXPECT_EQ(get_bytes(dated + L"alone.txt"), utf8(jp));
    EXPECT_TRUE(exists(dated + L"UTF_8.ilc"));
}

}  // namespace

TEST_F(cli_test, RelativePathsAreTakenFromTheCurrentFolder) {
    const std::wstring a = source(L"a.txt", sjis(jp));
    user_list(L"UTF16.ilc", {a});
    wchar_t saved[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(dest.c_str()));
    cli_result r = run({L"UTF16.ilc"});
    SetCurrentDirectoryW(saved);
    EXPECT_EQ(r.exit, 0u) << r.err;
    // The list's own folder is the destination, not the root of the drive.
    EXPECT_EQ(get_bytes(dest + L"a.txt"), utf16(jp));
}

TEST_F(cli_test, FilesKeptUnchangedAreReportedWithWhereTheyBreak) {
    const std::wstring emoji = source(L"emoji.txt", utf8(L"一行目\r\n絵文字 \U0001F600\r\n"));
    const std::wstring euc = source(L"euc.txt", {0xA4, 0xAB, 0xA4, 0xE9, 0xA4, 0xCA, 0xA4, 0xA4});
    user_list(L"_copy_.ilc", {emoji, euc});
    const cli_result r = run({L"--code", L"74", path_del_sep(dest)});
    EXPECT_EQ(r.exit, 0u) << r.err;
    EXPECT_EQ(get_bytes(dest + L"emoji.txt"), get_bytes(emoji));
    EXPECT_EQ(get_bytes(dest + L"euc.txt"), sjis(L"からない"));
    EXPECT_NE(r.err.find(emoji + L": kept unchanged: 1 character(s) that Shift_JIS cannot hold\n"
                                 L"  U+1F600 '\U0001F600', line 2, column 5\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_EQ(r.err.find(L"euc.txt: kept"), std::wstring::npos) << r.err;
}

TEST_F(cli_test, SameFileNamesAndFalseDeclarationsAreReportedAndExitWithOne) {
    const std::wstring other = scratch.path() + L"other\\";
    CreateDirectoryW(other.c_str(), nullptr);
    const std::wstring page = L"<html><head><meta charset=\"Shift_JIS\"></head><body>日本語</body></html>\n";
    put_bytes(other + L"index.html", sjis(page));
    set_mtime(other + L"index.html", old_time);
    const std::wstring second = source(L"index.html", sjis(L"二番目"));
    const std::wstring lying = source(L"lying.html", utf8(page));
    user_list(L"_copy_.ilc", {second, other + L"index.html", lying});
    const cli_result r = run({L"--code", L"8", dest});
    EXPECT_EQ(r.exit, 1u) << r.err;
    // The list is sorted: other\index.html comes first and holds the name.
    const std::wstring converted = L"<html><head><meta charset=\"UTF-8\"></head><body>日本語</body></html>\n";
    EXPECT_EQ(get_bytes(dest + L"index.html"), utf8(converted));
    EXPECT_EQ(get_bytes(dest + L"lying.html"), utf8(converted));
    // The later entry's status line says it is not written.
    const std::vector<std::wstring> lines = r.out_lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::wstring& line) {
        return line.rfind(L" != TAKEN", 0) == 0 && line.find(second) != std::wstring::npos;
    })) << r.out;
    EXPECT_NE(r.err.find(L"Did not update.\n" + second + L"  (same destination name as " + other +
                         L"index.html)\n"),
              std::wstring::npos)
        << r.err;
    EXPECT_NE(r.err.find(L"Declared encoding differs.\n" + lying + L": declares Shift_JIS, reads as UTF-8\n"),
              std::wstring::npos)
        << r.err;
}
