// The copy run on a mixed corpus of real files: destination bytes, Rescue
// backups, kept modification times, the per-encoding list file, the log line of
// files left alone, the status lines, the "Unable to save." stop and the
// progress meter in the main window's title.
#include "engine/copy_run.h"
#include "engine/entry_workers.h"

#include <algorithm>
#include <memory>

#include "base/log.h"
#include "base/file_identity.h"
#include "base/paths.h"
#include "engine/entries.h"
#include "engine/file_io.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::set_mtime;

const std::wstring sjis_text = L"日本語とASCIIの混在テキスト\r\nline 2: ｶﾀｶﾅ ①\r\n";
const std::wstring bom_text = L"BOM付きのUTF-8\nLF only\n";
const std::wstring utf8_text = L"UTF-8 本文\r\n";
const std::wstring le_text = L"UTF-16LE の本文\r\n";
const std::wstring be_text = L"UTF-16BE の本文\r\n";
const std::wstring utf32_text = L"UTF-32 の本文\r\n";
const std::wstring emoji_text = L"絵文字 \U0001F600 は932にない\r\n";

// The message part of a log line (after the timestamp and program name).
std::wstring log_message(const std::wstring& line) {
    const size_t first = line.find(L'\t');
    const size_t second = first == std::wstring::npos ? first : line.find(L'\t', first + 1);
    return second == std::wstring::npos ? L"" : line.substr(second + 1);
}

size_t count_files(const std::wstring& folder) {
    size_t n = 0;
    for (const auto& entry : list_folder(folder)) {
        if (!entry.empty() && entry.back() != L'\\') ++n;
    }
    return n;
}

class copy_run_test : public fixture {
protected:
    void SetUp() override {
        fixture::SetUp();
        store().set_folder(path_del_sep(dest_dir));
    }
    std::wstring listed(const std::wstring& name, const std::vector<uint8_t>& bytes,
                        int64_t mtime = old_time) {
        const std::wstring path = source(name, bytes, mtime);
        store().add_file(path);
        return path;
    }
    std::wstring dest(const std::wstring& name) const { return dest_dir + name; }
    std::wstring stamped(const std::wstring& name, int64_t mtime) const {
        return rescue_folder_of(dest_dir) + time_text(mtime, L"%Y%m%d_%H%M%S.") + name;
    }
};

TEST_F(copy_run_test, MixedCorpusToUtf8) {
    const auto sjis_src = listed(L"sjis.txt", sjis(sjis_text));
    const auto bom_src = listed(L"bom.txt", utf8(bom_text, true));
    const auto utf8_src = listed(L"utf8.txt", utf8(utf8_text));
    const auto le_src = listed(L"le.txt", utf16le(le_text));
    const auto be_src = listed(L"be.txt", utf16be(be_text));
    const auto u32_src = listed(L"u32.txt", utf32le(utf32_text));
    const auto ascii_src = listed(L"ascii.txt", utf8(L"plain ascii\r\n"));
    const auto zip_src = listed(L"a.zip", zip_bytes());
    const auto png_src = listed(L"b.png", png_bytes());
    const std::vector<uint8_t> nul_bytes = {'t', 'e', 'x', 't', 0, 'm', 'o', 'r', 'e'};
    const auto zeros_src = listed(L"zeros.txt", nul_bytes);
    const auto emoji_src = listed(L"emoji.txt", utf8(emoji_text));
    const auto newer_src = listed(L"newer.txt", utf8(L"source wins?"));
    // Existing destinations: an older one for a text file and for the archive,
    // a newer one that must be left alone.
    put_bytes(dest(L"sjis.txt"), utf8(L"old destination"));
    set_mtime(dest(L"sjis.txt"), old_time - 3600);
    put_bytes(dest(L"a.zip"), {'o', 'l', 'd'});
    set_mtime(dest(L"a.zip"), old_time - 7200);
    put_bytes(dest(L"newer.txt"), utf8(L"edited later"));
    set_mtime(dest(L"newer.txt"), old_time + 60);

    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(run.processed, 12u);
    EXPECT_EQ(run.not_updated, std::vector<std::wstring>{newer_src});

    EXPECT_EQ(get_bytes(dest(L"sjis.txt")), utf8(sjis_text));
    EXPECT_EQ(get_bytes(dest(L"bom.txt")), utf8(bom_text));
    EXPECT_EQ(get_bytes(dest(L"utf8.txt")), utf8(utf8_text));
    EXPECT_EQ(get_bytes(dest(L"le.txt")), utf8(le_text));
    EXPECT_EQ(get_bytes(dest(L"be.txt")), utf8(be_text));
    EXPECT_EQ(get_bytes(dest(L"u32.txt")), utf8(utf32_text));
    EXPECT_EQ(get_bytes(dest(L"ascii.txt")), utf8(L"plain ascii\r\n"));
    EXPECT_EQ(get_bytes(dest(L"a.zip")), zip_bytes());
    EXPECT_EQ(get_bytes(dest(L"b.png")), png_bytes());
    EXPECT_EQ(get_bytes(dest(L"zeros.txt")), nul_bytes);
    EXPECT_EQ(get_bytes(dest(L"emoji.txt")), utf8(emoji_text));
    EXPECT_EQ(get_bytes(dest(L"newer.txt")), utf8(L"edited later"));
    for (const wchar_t* name : {L"sjis.txt", L"bom.txt", L"utf8.txt", L"le.txt", L"be.txt", L"u32.txt",
                                L"ascii.txt", L"a.zip", L"b.png", L"zeros.txt", L"emoji.txt"})
        EXPECT_EQ(get_mtime(dest(name)), old_time) << name;
    EXPECT_EQ(get_mtime(dest(L"newer.txt")), old_time + 60);

    // Rescue: the replaced destinations, plain and stamped with their own time.
    const std::wstring rescue = rescue_folder_of(dest_dir);
    EXPECT_EQ(get_bytes(rescue + L"sjis.txt"), utf8(L"old destination"));
    EXPECT_EQ(get_bytes(stamped(L"sjis.txt", old_time - 3600)), utf8(L"old destination"));
    EXPECT_EQ(get_bytes(rescue + L"a.zip"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(get_bytes(stamped(L"a.zip", old_time - 7200)), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(exists(rescue + L"newer.txt"));
    EXPECT_FALSE(exists(rescue + L"utf8.txt"));

    // The list file of the run, in the run's encoding.
    EXPECT_EQ(get_bytes(dest(L"UTF_8.ilc")), utf8(lines_text(store().get_files())));
    EXPECT_FALSE(exists(dest(L"_copy_.ilc")));

    // The files left alone, on one log line.
    EXPECT_EQ(log_message(log_line_with(L"Did not update.\t\t" + newer_src)),
              L"Did not update.\t\t" + newer_src + L"\t\t");

    // Status lines after the run: everything current.
    ASSERT_EQ(run.entries.size(), 12u);
    EXPECT_EQ(run.entries, store().file_entries());
    EXPECT_EQ(run.entries[0], L"  = UTF_8   S_JIS " + time_text(old_time, L"%Y/%m/%d %H:%M:%S") + L"  " +
                                  size_text(static_cast<int64_t>(sjis(sjis_text).size())) + L"B  " +
                                  sjis_src);
    EXPECT_EQ(run.entries[6].substr(0, 18), L"  = ASCII   ASCII ");
    EXPECT_EQ(run.entries[7].substr(0, 18), L"  = -----   ----- ");
    EXPECT_EQ(run.entries[11].substr(0, 18), L"    ASCII   ASCII ");
    (void)bom_src, (void)utf8_src, (void)le_src, (void)be_src, (void)u32_src, (void)ascii_src,
        (void)zip_src, (void)png_src, (void)zeros_src, (void)emoji_src;
}

TEST_F(copy_run_test, Utf16RunThenASecondRunFindsEverythingCurrent) {
    listed(L"sjis.txt", sjis(sjis_text));
    listed(L"le.txt", utf16le(le_text));
    listed(L"pic.png", png_bytes());
    put_bytes(dest(L"sjis.txt"), utf8(L"same time, other text"));
    set_mtime(dest(L"sjis.txt"), old_time);  // equal times still go to the conversion

    copy_run_result run = copy_run(16);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    EXPECT_EQ(get_bytes(dest(L"sjis.txt")), utf16le(sjis_text, true));
    EXPECT_EQ(get_bytes(dest(L"le.txt")), utf16le(le_text, true));
    EXPECT_EQ(get_bytes(dest(L"UTF16.ilc")), utf16le(lines_text(store().get_files()), true));
    const std::wstring rescue = rescue_folder_of(dest_dir);
    EXPECT_EQ(get_bytes(rescue + L"sjis.txt"), utf8(L"same time, other text"));

    const size_t backups = count_files(rescue);
    const file_identity picture = identity_of(dest(L"pic.png"));
    set_mtime(dest(L"UTF16.ilc"), old_time);
    run = copy_run(16);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    EXPECT_EQ(get_bytes(dest(L"sjis.txt")), utf16le(sjis_text, true));
    // Only the list file was backed up again; the current copies, the
    // picture's too, were not touched.
    EXPECT_EQ(count_files(rescue), backups + 2);
    EXPECT_TRUE(identity_of(dest(L"pic.png")).same_as(picture));
    EXPECT_EQ(run.entries[0].substr(0, 18), L"  = UTF16   S_JIS ");
}

TEST_F(copy_run_test, ShiftJisTargetKeepsFilesItCannotHold) {
    const auto emoji_src = listed(L"emoji.txt", utf8(emoji_text));
    listed(L"utf8.txt", utf8(utf8_text));
    const copy_run_result run = copy_run(74);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest(L"emoji.txt")), get_bytes(emoji_src));
    EXPECT_EQ(get_mtime(dest(L"emoji.txt")), old_time);
    EXPECT_EQ(get_bytes(dest(L"utf8.txt")), sjis(utf8_text));
    EXPECT_EQ(get_bytes(dest(L"S_JIS.ilc")), sjis(lines_text(store().get_files())));
}

TEST_F(copy_run_test, CopyTargetKeepsTheReplacedTextInRescue) {
    const auto src = listed(L"t.txt", sjis(sjis_text));
    put_bytes(dest(L"t.txt"), utf8(L"older"));
    set_mtime(dest(L"t.txt"), old_time - 10);
    const copy_run_result run = copy_run(0);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest(L"t.txt")), sjis(sjis_text));
    EXPECT_EQ(get_mtime(dest(L"t.txt")), old_time);
    EXPECT_EQ(get_bytes(rescue_folder_of(dest_dir) + L"t.txt"), utf8(L"older"));
    EXPECT_EQ(get_bytes(dest(L"copy_.ilc")), utf16le(src + L"\r\n", true));
}

TEST_F(copy_run_test, NoSelectedTargetWritesMarkedUtf16AndTheCopyList) {
    listed(L"t.txt", sjis(sjis_text));
    const copy_run_result run = copy_run(-1);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest(L"t.txt")), utf16le(sjis_text, true));
    EXPECT_TRUE(exists(dest(L"copy_.ilc")));
}

TEST_F(copy_run_test, UnwritableDestinationStopsTheRunAndIsReportedOnce) {
    // Sources newer than the folder standing in the way of c.txt's destination.
    const int64_t later = static_cast<int64_t>(time(nullptr)) + 86400;
    std::vector<std::wstring> srcs;
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt", L"e.txt"})
        srcs.push_back(listed(name, utf8(std::wstring(L"content of ") + name), later));
    CreateDirectoryW(dest(L"c.txt").c_str(), nullptr);

    recording_observer seen;
    copy_request one_by_one = store_request(0);
    one_by_one.jobs = 1;
    const copy_run_result run = copy_run(one_by_one, &seen);
    EXPECT_FALSE(run.completed());
    EXPECT_EQ(run.unsaved, srcs[2]);
    EXPECT_EQ(run.processed, 3u);
    EXPECT_EQ(seen.unsaved, std::vector<std::wstring>{L"Unable to save.\r\nc.txt"});
    EXPECT_EQ(seen.done, (std::vector<size_t>{0, 1, 2}));
    EXPECT_TRUE(exists(dest(L"a.txt")));
    EXPECT_TRUE(exists(dest(L"b.txt")));
    EXPECT_FALSE(exists(dest(L"d.txt")));
    EXPECT_FALSE(exists(dest(L"e.txt")));
    EXPECT_EQ(get_bytes(dest(L"copy_.ilc")), utf16le(lines_text(srcs), true));
    EXPECT_EQ(run.entries.size(), 5u);
    EXPECT_EQ(log_message(log_line_with(L"Unable to save.\t\tc.txt")), L"Unable to save.\t\tc.txt");
}

TEST_F(copy_run_test, ParallelRunReportsInListOrderAndStartsNothingAfterAnUnwritableDestination) {
    const int64_t later = static_cast<int64_t>(time(nullptr)) + 86400;
    std::vector<std::wstring> srcs;
    for (int i = 0; i < 12; ++i)
        srcs.push_back(listed(L"f" + std::to_wstring(10 + i) + L".txt", sjis(L"日本語 " + std::to_wstring(i)), later));
    DeleteFileW(srcs[1].c_str());  // left alone: not a file
    CreateDirectoryW(dest(L"f13.txt").c_str(), nullptr);
    recording_observer seen;
    copy_request three = store_request(8);
    three.jobs = 3;
    const copy_run_result run = copy_run(three, &seen);
    EXPECT_EQ(run.unsaved, srcs[3]);
    EXPECT_EQ(seen.unsaved, std::vector<std::wstring>{L"Unable to save.\r\nf13.txt"});
    // Entries come back in list order; those begun when f13 failed are
    // finished and reported, none is begun after them.
    ASSERT_GE(seen.done.size(), 4u);
    for (size_t i = 0; i < seen.done.size(); ++i) EXPECT_EQ(seen.done[i], i);
    EXPECT_LE(seen.done.size(), 3 + entries_handed_out(3));
    EXPECT_EQ(run.not_updated.front(), srcs[1]);
    EXPECT_EQ(get_bytes(dest(L"f12.txt")), utf8(L"日本語 2"));
    for (size_t i = 0; i < seen.done.size(); ++i)
        if (i != 1 && i != 3) EXPECT_TRUE(exists(dest(path_name(srcs[i])))) << i;
    for (size_t i = seen.done.size(); i < srcs.size(); ++i) EXPECT_FALSE(exists(dest(path_name(srcs[i])))) << i;
}

TEST_F(copy_run_test, UnwritableDestinationWithoutWindowIsReportedToTheCaller) {
    const auto src = listed(L"c.txt", utf8(L"x"), static_cast<int64_t>(time(nullptr)) + 86400);
    CreateDirectoryW(dest(L"c.txt").c_str(), nullptr);
    const copy_run_result run =
        copy_run(0, [](const std::wstring& english) { return L"[" + english + L"]"; });
    EXPECT_EQ(run.unsaved, src);
    EXPECT_FALSE(log_line_with(L"[Unable to save.\t\t]c.txt").empty());
}

TEST_F(copy_run_test, FilesLeftAloneAreLoggedInListOrder) {
    const std::wstring missing = src_dir + L"missing.txt";
    const std::wstring folder = src_dir + L"folder";
    CreateDirectoryW(folder.c_str(), nullptr);
    store().add_file(missing);
    store().add_file(folder);
    const auto newer = listed(L"newer.txt", utf8(L"n"));
    put_bytes(dest(L"newer.txt"), utf8(L"kept"));
    set_mtime(dest(L"newer.txt"), old_time + 1);
    const auto fine = listed(L"fine.txt", utf8(L"f"));

    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(run.not_updated, (std::vector<std::wstring>{missing, folder, newer}));
    EXPECT_EQ(log_message(log_line_with(L"Did not update.\t\t" + missing)),
              L"Did not update.\t\t" + missing + L"\t\t" + folder + L"\t\t" + newer + L"\t\t");
    EXPECT_FALSE(exists(rescue_folder_of(dest_dir) + L"newer.txt"));
    EXPECT_TRUE(exists(dest(L"fine.txt")));
    (void)fine;
}

TEST_F(copy_run_test, AFileListedInsideTheDestinationIsConvertedInPlace) {
    const std::wstring inside = dest(L"inside.txt");
    put_bytes(inside, sjis(sjis_text));
    set_mtime(inside, old_time);
    store().add_file(inside);
    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    EXPECT_EQ(get_bytes(inside), utf8(sjis_text));
    EXPECT_EQ(get_mtime(inside), old_time);
    EXPECT_EQ(get_bytes(rescue_folder_of(dest_dir) + L"inside.txt"), sjis(sjis_text));
}

TEST_F(copy_run_test, ARunLeavesNoWorkFilesBehindAndNeverWritesIntoAnotherFilesName) {
    listed(L"a.txt", sjis(sjis_text));
    // Something already at the name of the run's work folder: left as it is.
    const std::wstring work = dest(L"quillet.~" + std::to_wstring(GetCurrentProcessId()) + L".tmp");
    put_bytes(work, utf8(L"theirs"));
    EXPECT_TRUE(copy_run(8).completed());
    EXPECT_EQ(get_bytes(dest(L"a.txt")), utf8(sjis_text));
    EXPECT_EQ(get_bytes(work), utf8(L"theirs"));
    // Without it, the work folder is made and removed again: the destination
    // holds the converted file and the run's record, nothing else.
    DeleteFileW(work.c_str());
    listed(L"b.txt", sjis(sjis_text));
    EXPECT_TRUE(copy_run(8).completed());
    EXPECT_EQ(get_bytes(dest(L"b.txt")), utf8(sjis_text));
    std::vector<std::wstring> names = list_folder(dest_dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{dest(L"UTF_8.ilc"), dest(L"a.txt"), dest(L"b.txt")}));
}

TEST_F(copy_run_test, UnreadableListRunsNothingAndKeepsTheEarlierRecord) {
    listed(L"a.txt", sjis(L"一"));
    put_bytes(dest(L"UTF_8.ilc"), utf8(L"earlier\r\n"));
    // A list file the program cannot open: a folder of that name.
    CreateDirectoryW(dest(L"_copy_.ilc").c_str(), nullptr);
    store().open_list(dest(L"_copy_.ilc"));
    recording_observer seen;
    const copy_run_result run = copy_run(8, {}, &seen);
    EXPECT_TRUE(run.refused());
    ASSERT_EQ(seen.unreadable.size(), 1u);
    EXPECT_EQ(seen.unreadable[0].rfind(L"Unable to read the list.\r\n" + dest(L"_copy_.ilc") +
                                           L"\r\n(cannot be opened  (error ", 0),
              0u)
        << seen.unreadable[0];
    EXPECT_TRUE(seen.started.empty());
    EXPECT_EQ(get_bytes(dest(L"UTF_8.ilc")), utf8(L"earlier\r\n"));
    EXPECT_FALSE(exists(dest(L"a.txt")));
}

TEST_F(copy_run_test, EmptyListStillWritesItsListFile) {
    const copy_run_result run = copy_run(16);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.entries.empty());
    EXPECT_EQ(get_bytes(dest(L"UTF16.ilc")), (std::vector<uint8_t>{0xFF, 0xFE}));
}

TEST_F(copy_run_test, ARunReportsEachEntryInOrderAndStopsWhenAsked) {
    std::vector<std::wstring> srcs;
    for (int i = 0; i < 5; ++i) srcs.push_back(listed(L"f" + std::to_wstring(i) + L".txt", utf8(L"x")));
    recording_observer seen;
    seen.stop_after = 2;
    copy_request one_by_one = store_request(8);
    one_by_one.jobs = 1;
    const copy_run_result run = copy_run(one_by_one, &seen);
    EXPECT_EQ(seen.total, 5u);
    EXPECT_EQ(seen.started, (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(seen.done, (std::vector<size_t>{0, 1}));
    EXPECT_EQ(run.processed, 2u);
    EXPECT_EQ(run.not_updated, (std::vector<std::wstring>{srcs[2], srcs[3], srcs[4]}));
    EXPECT_EQ(run.reasons, std::vector<std::wstring>(3, L"the run was stopped"));
    EXPECT_TRUE(exists(dest(L"f1.txt")));
    EXPECT_FALSE(exists(dest(L"f2.txt")));
}

TEST_F(copy_run_test, ALargeFileReportsHowFarItHasBeenRead) {
    listed(L"small.txt", sjis(L"小さい"));
    std::wstring text;
    while (text.size() < (size_t(48) << 20)) text += L"日本語の行とASCII ｶﾀｶﾅ\r\n";
    listed(L"large.txt", sjis(text));
    text.clear();
    recording_observer seen;
    ASSERT_TRUE(copy_run(8, {}, &seen).completed());
    ASSERT_FALSE(seen.progressed.empty());
    uint64_t last = 0;
    for (const auto& p : seen.progressed) {
        EXPECT_EQ(p.index, 1u);  // the small file is done before it would be told
        EXPECT_GE(p.done, last);
        EXPECT_LE(p.done, p.total);
        last = p.done;
    }
}

TEST(CodeFromItemText, ParsesLikeWcstolIn16Bits) {
    EXPECT_EQ(code_from_item_text(L"  0 : Copy"), 0);
    EXPECT_EQ(code_from_item_text(L"  8 : UTF-8"), 8);
    EXPECT_EQ(code_from_item_text(L" 16 : UTF-16"), 16);
    EXPECT_EQ(code_from_item_text(L" 74 : SJIS"), 74);
    EXPECT_EQ(code_from_item_text(L""), -1);
    EXPECT_EQ(code_from_item_text(L"abc"), 0);
    EXPECT_EQ(code_from_item_text(L"70000"), 4464);
    EXPECT_EQ(code_from_item_text(L"-3"), -3);
}

TEST(DumpReport, WritesOneLineWithTabsForLineBreaks) {
    const std::wstring marker = L"C:\\a\\x" + std::to_wstring(GetTickCount()) + L".txt";
    ASSERT_TRUE(dump_report(L"Did not update.\r\n" + marker + L"\r\nC:\\a\\y.txt\r\n"));
    const std::wstring line = log_line_with(marker);
    EXPECT_EQ(log_message(line), L"Did not update.\t\t" + marker + L"\t\tC:\\a\\y.txt\t\t");
    EXPECT_EQ(line.substr(19, 1), L"\t");
    EXPECT_NE(line.find(L"\t" + path_name(module_path(nullptr)) + L"\t"), std::wstring::npos);
}

}  // namespace

TEST_F(copy_run_test, BinaryDestinationIsNotReplacedWithoutABackup) {
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D};
    const auto src = listed(L"picture.png", png);
    put_bytes(dest(L"picture.png"), utf8(L"the only copy of the old picture"));
    set_mtime(dest(L"picture.png"), old_time - 10);
    // A plain file named Rescue in the temporary folder leaves no room for backups.
    put_bytes(scratch.path() + L"tmp\\Rescue", utf8(L"in the way"));
    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest(L"picture.png")), utf8(L"the only copy of the old picture"));
    ASSERT_EQ(run.not_updated.size(), 1u);
    EXPECT_EQ(run.not_updated[0], src);
}
