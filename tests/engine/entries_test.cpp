// Status lines of the file list: marks, labels, source information and sizes.
#include "engine/entries.h"

#include "base/log.h"
#include "base/paths.h"
#include "engine/store.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;

using entries_test = fixture;

const std::wstring no_info(30, L' ');

std::wstring info(int64_t mtime, int64_t size) {
    return time_text(mtime, L"%Y/%m/%d %H:%M:%S") + L"  " + size_text(size) + L"B";
}

TEST(SizeText, UnitsSwitchAtDecimalThousands) {
    EXPECT_EQ(size_text(0), L"      0 ");
    EXPECT_EQ(size_text(999), L"    999 ");
    EXPECT_EQ(size_text(-5), L"     -5 ");
    EXPECT_EQ(size_text(1000), L"  0.98 K");
    EXPECT_EQ(size_text(12640), L" 12.34 K");
    EXPECT_EQ(size_text(1000 * 1024 - 1), L"1,000.00 K");  // rounds up to 1000.00
    EXPECT_EQ(size_text(1000 * 1024), L"  0.98 M");
    EXPECT_EQ(size_text(1048576), L"  1.00 M");
    EXPECT_EQ(size_text(int64_t{3} << 30), L"  3.00 G");
    EXPECT_EQ(size_text(int64_t{1000} << 30), L"  0.98 T");
    EXPECT_EQ(size_text(int64_t{5} << 50), L"  5.00 P");
    EXPECT_EQ(size_text(int64_t{1000} << 50), L"  0.98 E");
    EXPECT_EQ(size_text(int64_t{4} << 60), L"  4.00 E");
}

TEST_F(entries_test, SourceWithoutDestinationIsMarkedForWriting) {
    const std::wstring src = source(L"a.txt", sjis(L"日本語のテキスト\r\nline two\r\n"));
    const int64_t size = static_cast<int64_t>(sjis(L"日本語のテキスト\r\nline two\r\n").size());
    EXPECT_EQ(status_line(dest_dir, src), L" << -----   S_JIS " + info(old_time, size) + L"  " + src);
}

TEST_F(entries_test, ExampleLineOfTwelveKilobytes) {
    std::vector<uint8_t> bytes = sjis(L"漢字");
    bytes.resize(12640, 'a');
    const std::wstring src = source(L"big.txt", bytes);
    const std::wstring line = status_line(dest_dir, src);
    EXPECT_EQ(line.substr(0, 18), L" << -----   S_JIS ");
    EXPECT_EQ(line.substr(37), L"   12.34 KB  " + src);
    EXPECT_EQ(line.size(), 18 + 30 + 2 + src.size());
    // The line shown while it is being made puts the path in the same place.
    EXPECT_EQ(pending_status_line(src), std::wstring(line.size() - src.size(), L' ') + src);
}

TEST_F(entries_test, EqualTextInAnotherEncodingIsNotMarkedForChange) {
    const std::wstring text = L"同じ内容\r\n";
    const std::wstring src = source(L"same.txt", sjis(text));
    testing_support::put_bytes(dest_dir + L"same.txt", utf8(text));
    testing_support::set_mtime(dest_dir + L"same.txt", old_time - 100);
    EXPECT_EQ(status_line(dest_dir, src),
              L"  < UTF_8   S_JIS " + info(old_time, static_cast<int64_t>(sjis(text).size())) + L"  " + src);
    testing_support::set_mtime(dest_dir + L"same.txt", old_time);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 4), L"  = ");
}

TEST_F(entries_test, DifferentOlderDestinationIsMarkedForChange) {
    const std::wstring src = source(L"b.txt", utf8(L"new text ✓\n", true));
    testing_support::put_bytes(dest_dir + L"b.txt", utf16le(L"old text\n", true));
    testing_support::set_mtime(dest_dir + L"b.txt", old_time - 1);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 18), L" << UTF16   UTF_8 ");
}

TEST_F(entries_test, NewerDestinationIsLeftAlone) {
    const std::wstring src = source(L"c.txt", utf8(L"abc"));
    testing_support::put_bytes(dest_dir + L"c.txt", utf8(L"xyz"));
    testing_support::set_mtime(dest_dir + L"c.txt", old_time + 60);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 18), L"    ASCII   ASCII ");
}

TEST_F(entries_test, ArchiveDestinationStopsTheExamination) {
    const std::wstring src = source(L"d.txt", utf8(L"plain"));
    testing_support::put_bytes(dest_dir + L"d.txt", zip_bytes());
    testing_support::set_mtime(dest_dir + L"d.txt", old_time - 10);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 18), L"  < -----   ----- ");
}

TEST_F(entries_test, SourceThatIsNotTextShowsNoLabels) {
    const std::wstring src = source(L"e.png", png_bytes());
    EXPECT_EQ(status_line(dest_dir, src),
              L"  < -----   ----- " + info(old_time, static_cast<int64_t>(png_bytes().size())) + L"  " + src);
}

TEST_F(entries_test, MissingSourceShowsNoInformation) {
    const std::wstring src = src_dir + L"missing.txt";
    EXPECT_EQ(status_line(dest_dir, src), L" <= -----   ----- " + no_info + L"  " + src);
    testing_support::put_bytes(dest_dir + L"missing.txt", utf8(L"there"));
    EXPECT_EQ(status_line(dest_dir, src), L"    ASCII   ----- " + no_info + L"  " + src);
}

TEST_F(entries_test, FolderSourceShowsNoInformationAndIsNotRead) {
    const std::wstring folder = src_dir + L"sub";
    CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD start = GetTickCount();
    const std::wstring line = status_line(dest_dir, folder);
    EXPECT_LT(GetTickCount() - start, 5000u);
    // The run leaves a folder alone: no change mark, no labels.
    EXPECT_EQ(line.substr(0, 18), L"  < -----   ----- ");
    EXPECT_EQ(line.substr(18), no_info + L"  " + folder);
}

TEST_F(entries_test, StoreEntriesFollowTheListIncludingDuplicates) {
    const std::wstring a = source(L"a.txt", utf8(L"a"));
    const std::wstring b = source(L"b.txt", utf8(L"b"));
    store().set_folder(path_del_sep(dest_dir));
    store().add_file(b);
    store().add_file(a);
    store().add_file(b);
    const auto lines = store().file_entries();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], status_line(dest_dir, b));
    EXPECT_EQ(lines[1], status_line(dest_dir, a));
    EXPECT_EQ(lines[2], lines[0]);
    EXPECT_EQ(file_entries(path_del_sep(dest_dir), {}), std::vector<std::wstring>{});
}

}  // namespace
