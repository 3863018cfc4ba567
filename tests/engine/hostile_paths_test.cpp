// Copy runs over hostile and unusual lists, on real files: entries that name
// other folders, device names and streams, destinations that are links to
// other files, a restore from a Rescue copy, sources named like the run's
// list files, a second run into a folder another run is writing, and a full
// disk under the run's list file. Each checks the three rules besides what
// the case itself shows.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <thread>

#include "base/folder_lock.h"
#include "base/paths.h"
#include "base/folders.h"
#include "engine/copy_run.h"
#include "engine/rescue.h"
#include "run_fixture.h"
#include "support/links.h"
#include "three_rules.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::bytes_of;
using testing_support::get_bytes;
using testing_support::make_symlink;
using testing_support::put_bytes;
using testing_support::set_mtime;

class HostilePathsTest : public fixture {
protected:
    void SetUp() override {
        fixture::SetUp();
        store().set_folder(path_del_sep(dest_dir));
        outside = scratch.path() + L"outside\\";
        CreateDirectoryW(outside.c_str(), nullptr);
    }
    // A file with text and a time; its path.
    std::wstring file(const std::wstring& path, const std::string& text, int64_t mtime = old_time) {
        put_bytes(path, bytes_of(text));
        set_mtime(path, mtime);
        return path;
    }
    copy_run_result run_keeping_the_rules() { return run_test::run_keeping_the_rules(scratch.path(), 8); }
    bool left_alone(const copy_run_result& run, const std::wstring& src) const {
        return std::find(run.not_updated.begin(), run.not_updated.end(), src) != run.not_updated.end();
    }
    std::wstring outside;
};

TEST_F(HostilePathsTest, EntriesNamingOtherFoldersWriteOnlyIntoTheDestinationFolder) {
    for (const std::wstring& folder : {src_dir + L"sub\\x", src_dir + L"sub\\deep", src_dir + L"victim",
                                       scratch.path() + L"victim", dest_dir + L"sub\\deep"})
        make_folders(folder);
    file(src_dir + L"victim\\name.txt", "from the list");
    file(src_dir + L"sub\\deep\\a.txt", "deep a");
    file(scratch.path() + L"victim\\name.txt", "the victim's own");
    file(dest_dir + L"sub\\deep\\a.txt", "a file inside the destination's subfolder");
    const std::vector<std::wstring> refused = {src_dir + L"sub\\..", src_dir + L"con.txt",
                                               src_dir + L"a.txt:stream", src_dir + L"sub/"};
    store().add_file(src_dir + L"sub\\x/../../victim/name.txt");
    store().add_file(src_dir + L"sub/deep/a.txt");
    for (const std::wstring& entry : refused) store().add_file(entry);

    const copy_run_result run = run_keeping_the_rules();
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest_dir + L"name.txt"), bytes_of("from the list"));
    EXPECT_EQ(get_bytes(dest_dir + L"a.txt"), bytes_of("deep a"));
    for (const std::wstring& entry : refused) EXPECT_TRUE(left_alone(run, entry)) << entry;
}

TEST_F(HostilePathsTest, DestinationsThatAreLinksAreReplacedNeverWrittenThrough) {
    const std::wstring a = file(src_dir + L"a.txt", "new a", old_time + 100);
    const std::wstring other = file(src_dir + L"other.txt", "the other source");
    const std::wstring b = file(src_dir + L"b.txt", "new b", old_time + 100);
    const std::wstring c = file(src_dir + L"c.txt", "new c", old_time + 100);
    const std::wstring d = file(src_dir + L"d.txt", "d, its own destination", old_time + 100);
    file(outside + L"victim.txt", "a file outside");
    file(outside + L"gone.txt", "about to go");
    // a: a hard link to another listed source; b: a symbolic link to a file
    // outside; c: a link to a file that is not there; d: a link to its own source.
    ASSERT_TRUE(CreateHardLinkW((dest_dir + L"a.txt").c_str(), other.c_str(), nullptr));
    ASSERT_TRUE(make_symlink(outside + L"victim.txt", dest_dir + L"b.txt"));
    ASSERT_TRUE(make_symlink(outside + L"gone.txt", dest_dir + L"c.txt"));
    DeleteFileW((outside + L"gone.txt").c_str());
    ASSERT_TRUE(make_symlink(d, dest_dir + L"d.txt"));
    for (const std::wstring& src : {a, other, b, c, d}) store().add_file(src);

    const copy_run_result run = run_keeping_the_rules();
    EXPECT_TRUE(run.completed());
    // (The link's targets outside and the sources are checked by the three rules.)
    EXPECT_EQ(get_bytes(dest_dir + L"a.txt"), bytes_of("new a"));
    EXPECT_EQ(get_bytes(dest_dir + L"b.txt"), bytes_of("new b"));
    EXPECT_EQ(get_bytes(dest_dir + L"c.txt"), bytes_of("new c"));
}

TEST_F(HostilePathsTest, AFileRestoredFromItsRescueCopyLeavesThatCopyAsItWas) {
    const std::wstring dest = file(dest_dir + L"r.txt", "the good text");
    ASSERT_FALSE(rescue_copy(dest).empty());
    const std::wstring kept = rescue_folder_of(dest_dir) + L"r.txt";
    ASSERT_EQ(get_bytes(kept), bytes_of("the good text"));
    file(dest, "a bad edit", old_time - 60);
    store().add_file(kept);

    const copy_run_result run = run_keeping_the_rules();
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest), bytes_of("the good text"));
    EXPECT_EQ(get_bytes(kept), bytes_of("the good text"));  // the bad edit's place in Rescue is one of the three rules
}

TEST_F(HostilePathsTest, SourcesNamedLikeTheRunsListFilesAreLeftAlone) {
    const std::wstring copy_list = file(src_dir + L"copy_.ilc", "not a list of the run");
    const std::wstring utf8_list = file(src_dir + L"UTF_8.ILC", "mine");
    const std::wstring plain = file(src_dir + L"plain.txt", "plain");
    file(dest_dir + L"copy_.ilc", "the user's copy_.ilc");
    file(dest_dir + L"UTF_8.ilc", "an earlier record");
    for (const std::wstring& src : {copy_list, utf8_list, plain}) store().add_file(src);

    const copy_run_result run = run_keeping_the_rules();
    EXPECT_TRUE(left_alone(run, copy_list));
    EXPECT_TRUE(left_alone(run, utf8_list));
    EXPECT_FALSE(left_alone(run, plain));
    EXPECT_EQ(get_bytes(dest_dir + L"copy_.ilc"), bytes_of("the user's copy_.ilc"));
    EXPECT_TRUE(run.list_saved);
    EXPECT_EQ(get_bytes(dest_dir + L"UTF_8.ilc"),
              utf8(copy_list + L"\r\n" + utf8_list + L"\r\n" + plain + L"\r\n"));
}

TEST_F(HostilePathsTest, ASecondRunIntoAFolderWaitsForTheFirstAndReportsTheWait) {
    const std::wstring src = file(src_dir + L"w.txt", "written after the wait");
    store().add_file(src);
    recording_observer seen;
    HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The first run: holds the folder until the second one reports its wait
    // (a minute at the most), then ends.
    std::thread first([&] {
        folder_lock lock(dest_dir);
        SetEvent(taken);
        for (int i = 0; i < 600 && !seen.waited; ++i) Sleep(100);
    });
    WaitForSingleObject(taken, INFINITE);
    const copy_run_result run = copy_run(8, {}, &seen);
    first.join();
    CloseHandle(taken);
    EXPECT_TRUE(run.completed());
    EXPECT_EQ(get_bytes(dest_dir + L"w.txt"), bytes_of("written after the wait"));
    EXPECT_EQ(seen.waits, std::vector<std::wstring>{L"another run into this folder"});
}

TEST_F(HostilePathsTest, TheRunsListFileOnAFullDiskKeepsItsEarlierContent) {
    const std::wstring volume = small_volume();
    if (volume.empty()) GTEST_SKIP() << "no small volume (QUILLET_SMALL_VOLUME) to fill";
    const std::wstring folder = volume + L"full", list = folder + L"\\UTF_8.ilc";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    put_bytes(list, bytes_of("an earlier record\r\n"));
    // Fills the volume to its last byte.
    HANDLE fill = CreateFileW((folder + L"\\filler").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    const std::vector<char> block(4096, 'f');
    for (DWORD size : {4096, 1})
        for (DWORD written = size; written == size;)
            if (!WriteFile(fill, block.data(), size, &written, nullptr)) break;
    CloseHandle(fill);
    store().set_folder(folder);
    for (int i = 0; i < 50; ++i)
        store().add_file(src_dir + L"missing_" + std::to_wstring(i) + L"_" + std::wstring(60, L'n'));

    const copy_run_result run = copy_run(8);
    EXPECT_FALSE(run.list_saved);
    EXPECT_EQ(get_bytes(list), bytes_of("an earlier record\r\n"));
    testing_support::remove_tree(folder);
}

}  // namespace
