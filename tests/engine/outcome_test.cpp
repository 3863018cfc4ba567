// Each entry of a copy run gets its own outcome: read-only sources and Rescue
// trees, a Rescue tree that cannot be made and a destination that cannot be
// replaced each concern their one file. Wine run by root lets writes through
// that Windows refuses, so the read-only cases check attributes directly.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/log.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/entries.h"
#include "run_fixture.h"
#include "three_rules.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::set_mtime;

bool read_only(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void make_read_only(const std::wstring& path, bool on) {
    SetFileAttributesW(path.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

class outcome_test : public fixture {
protected:
    void SetUp() override {
        fixture::SetUp();
        store().set_folder(path_del_sep(dest_dir));
    }
    void TearDown() override {
        // Read-only files would stay behind in the scratch folder.
        for (const std::wstring& folder : {src_dir, dest_dir, rescue_folder_of(dest_dir)})
            for (const std::wstring& entry : list_folder(folder)) make_read_only(entry, false);
        fixture::TearDown();
    }
    std::wstring listed(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        const std::wstring path = source(name, bytes);
        store().add_file(path);
        return path;
    }
    std::wstring dest(const std::wstring& name) const { return dest_dir + name; }
    // An older destination with the given text.
    void older(const std::wstring& name, const std::wstring& text) {
        put_bytes(dest(name), utf8(text));
        set_mtime(dest(name), old_time - 60);
    }
    std::wstring rescue(const std::wstring& name) const { return rescue_folder_of(dest_dir) + name; }
};

TEST_F(outcome_test, ReadOnlySourcesLeavePlainDestinationsAndBackups) {
    // Converted, copied unchanged (the target cannot hold the emoji), copied as binary.
    const std::vector<std::pair<const wchar_t*, std::vector<uint8_t>>> files = {
        {L"a.txt", sjis(L"日本語")}, {L"e.txt", utf8(L"絵文字 \U0001F600")}, {L"p.png", png_bytes()}};
    for (const auto& file : files) {
        make_read_only(listed(file.first, file.second), true);
        older(file.first, L"older");
    }
    const copy_run_result run = copy_run(74);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    for (const auto& [name, bytes] : files) {
        EXPECT_EQ(get_bytes(dest(name)), bytes) << name;
        EXPECT_FALSE(read_only(dest(name))) << name;
        EXPECT_EQ(get_mtime(dest(name)), old_time) << name;
        EXPECT_EQ(get_bytes(rescue(name)), utf8(L"older")) << name;
        EXPECT_FALSE(read_only(rescue(name))) << name;
    }
}

TEST_F(outcome_test, ReadOnlyRescueTreeStillTakesANewBackupAndKeepsTheOldOnes) {
    listed(L"a.txt", sjis(L"本文"));
    older(L"a.txt", L"version 2");
    // An earlier version left read-only backups: the latest copy and a
    // stamped copy of another version with the same time.
    make_folders(rescue_folder_of(dest_dir));
    const std::wstring stamp = time_text(old_time - 60, L"%Y%m%d_%H%M%S.");
    put_bytes(rescue(L"a.txt"), utf8(L"version 1"));
    put_bytes(rescue(stamp + L"a.txt"), utf8(L"version 1"));
    make_read_only(rescue(L"a.txt"), true);
    make_read_only(rescue(stamp + L"a.txt"), true);
    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    EXPECT_TRUE(run.not_updated.empty());
    EXPECT_EQ(get_bytes(dest(L"a.txt")), utf8(L"本文"));
    // The earlier backups are untouched; version 2 got a name of its own.
    EXPECT_EQ(get_bytes(rescue(L"a.txt")), utf8(L"version 1"));
    EXPECT_EQ(get_bytes(rescue(stamp + L"a.txt")), utf8(L"version 1"));
    const std::wstring numbered = stamp.substr(0, stamp.size() - 1) + L"_2.a.txt";
    EXPECT_EQ(get_bytes(rescue(numbered)), utf8(L"version 2"));
    EXPECT_FALSE(read_only(rescue(numbered)));
}

TEST_F(outcome_test, RescueTreeThatCannotBeMadeLeavesThoseFilesAloneAndTheRunGoesOn) {
    const auto kept = listed(L"kept.txt", sjis(L"本文"));
    listed(L"fresh.txt", sjis(L"新規"));
    older(L"kept.txt", L"the only copy");
    put_bytes(scratch.path() + L"tmp\\Rescue", utf8(L"in the way"));
    const copy_run_result run = copy_run(8);
    EXPECT_TRUE(run.completed());
    ASSERT_EQ(run.not_updated, std::vector<std::wstring>{kept});
    EXPECT_EQ(run.reasons, std::vector<std::wstring>{L"no backup could be made"});
    EXPECT_EQ(get_bytes(dest(L"kept.txt")), utf8(L"the only copy"));
    EXPECT_EQ(get_bytes(dest(L"fresh.txt")), utf8(L"新規"));
    EXPECT_NE(log_line_with(L"::copy_run   no backup could be made   " + kept), L"");
}

TEST_F(outcome_test, FileWithoutMemoryIsRefusedAndTheRunGoesOnToItsRecord) {
    listed(L"first.txt", sjis(L"一"));
    const auto starved = listed(L"starved.txt", sjis(L"二"));
    listed(L"last.txt", sjis(L"三"));
    older(L"starved.txt", L"the old one");
    SetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", L"starved.txt");
    const copy_run_result run = copy_run(8);
    SetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", nullptr);
    EXPECT_TRUE(run.completed());
    ASSERT_EQ(run.not_updated, std::vector<std::wstring>{starved});
    EXPECT_EQ(run.reasons, std::vector<std::wstring>{L"not enough memory"});
    EXPECT_EQ(run.failed, 1u);
    EXPECT_EQ(get_bytes(dest(L"first.txt")), utf8(L"一"));
    EXPECT_EQ(get_bytes(dest(L"last.txt")), utf8(L"三"));
    EXPECT_EQ(get_bytes(dest(L"starved.txt")), utf8(L"the old one"));
    EXPECT_TRUE(exists(dest(L"UTF_8.ilc")));
    EXPECT_NE(log_line_with(L"::copy_run   not enough memory   " + starved), L"");
    // Its status line, which cannot read it either, says so; the others follow.
    ASSERT_EQ(run.entries.size(), 3u);
    EXPECT_EQ(run.entries[1].substr(0, 18), L" << NO_RD   NO_RD ");
    EXPECT_EQ(run.entries[2].substr(0, 18), L"  = UTF_8   S_JIS ");
}

TEST_F(outcome_test, ReadOnlyDestinationStopsTheRunAndKeepsItsContent) {
    listed(L"a.txt", sjis(L"一"));
    listed(L"b.txt", sjis(L"二"));
    listed(L"c.txt", sjis(L"三"));
    older(L"b.txt", L"kept");
    make_read_only(dest(L"b.txt"), true);
    const copy_run_result run = copy_run(8);
    EXPECT_FALSE(run.completed());
    EXPECT_EQ(path_name(run.unsaved), L"b.txt");
    EXPECT_EQ(run.unsaved_reason, L"destination is read-only");
    EXPECT_EQ(get_bytes(dest(L"b.txt")), utf8(L"kept"));
    // No temporary file is left beside the destinations.
    for (const std::wstring& entry : list_folder(dest_dir))
        EXPECT_EQ(entry.find(L".tmp"), std::wstring::npos) << entry;
}

TEST_F(outcome_test, FullDiskDuringAConversionKeepsTheOldDestinationWhole) {
    const std::wstring volume = small_volume();
    if (volume.empty()) GTEST_SKIP() << "no small volume (QUILLET_SMALL_VOLUME) to fill";
    const std::wstring target = volume + L"out";
    CreateDirectoryW(target.c_str(), nullptr);
    store().set_folder(target);
    const std::wstring old_dest = target + L"\\big.txt";
    const std::vector<uint8_t> old_content(8 * 1024, 'o');
    put_bytes(old_dest, old_content);
    set_mtime(old_dest, old_time - 60);
    // Its UTF-16 form is larger than the whole volume.
    listed(L"big.txt", std::vector<uint8_t>(600 * 1024, 'a'));
    const copy_run_result run = copy_run(16);
    EXPECT_FALSE(run.completed());
    EXPECT_EQ(path_name(run.unsaved), L"big.txt");
    EXPECT_EQ(run.unsaved_reason, L"cannot write the new file");
    EXPECT_EQ(get_bytes(old_dest), old_content);
    EXPECT_EQ(get_mtime(old_dest), old_time - 60);
    // No temporary file is left beside it and the run's record.
    std::vector<std::wstring> names = list_folder(target);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{target + L"\\UTF16.ilc", old_dest}));
    testing_support::remove_tree(target);
}

}  // namespace
