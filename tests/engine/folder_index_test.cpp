// The run's index of folder contents: one listing per folder, names in any
// letter case, the run's own creations and removals, and a file another
// program made after the listing never overwritten.
#include "engine/folder_index.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "base/file_replace.h"
#include "support/scratch.h"

namespace {

using namespace quillet;
using testing_support::get_bytes;
using testing_support::put_bytes;

TEST(FolderIndex, ListsEachFolderOnceAndFollowsTheRunsOwnFiles) {
    testing_support::scratch_folder s;
    put_bytes(s.file(L"Present.txt"), {0x41});
    folder_index index;
    EXPECT_TRUE(index.may_exist(s.file(L"PRESENT.TXT")));
    EXPECT_FALSE(index.may_exist(s.file(L"missing.txt")));
    index.note_created(s.file(L"missing.txt"));
    EXPECT_TRUE(index.may_exist(s.file(L"Missing.TXT")));
    index.note_removed(s.file(L"present.txt"));
    EXPECT_FALSE(index.may_exist(s.file(L"Present.txt")));
    EXPECT_EQ(index.listings(), 1u);
    // A folder that is not there yet holds nothing until the run makes files in it.
    EXPECT_FALSE(index.may_exist(s.file(L"later\\x.txt")));
    index.note_created(s.file(L"later\\x.txt"));
    EXPECT_TRUE(index.may_exist(s.file(L"later\\x.txt")));
    EXPECT_EQ(index.listings(), 2u);
}

TEST(FolderIndex, WithoutARunEveryNameIsAskedFor) {
    testing_support::scratch_folder s;
    EXPECT_EQ(run_folder_index(), nullptr);
    EXPECT_TRUE(may_exist(s.file(L"missing.txt")));
    EXPECT_TRUE(indexed_status(s.file(L"missing.txt")).failed());
}

// A new file is moved in under a name the run found free; one that another
// program made there after the listing stays, and the run's file is kept
// beside it for the careful replacement.
TEST(FolderIndex, NewFilesMoveInButNeverOverAFileAnotherProgramMadeAfterTheListing) {
    testing_support::scratch_folder s;
    folder_index index;
    const folder_index_scope scope(index);
    const auto commit = [](const std::wstring& target, const std::vector<uint8_t>& bytes) {
        sibling_file sibling(target);
        EXPECT_TRUE(sibling.ok() && write_open_file(sibling.handle(), bytes) && sibling.close());
        const int result = commit_if_new(sibling);
        return std::make_pair(result, get_bytes(sibling.path()));  // what is left of the sibling
    };
    EXPECT_EQ(commit(s.file(L"new.txt"), {'n'}).first, 1);
    EXPECT_EQ(get_bytes(s.file(L"new.txt")), (std::vector<uint8_t>{'n'}));
    EXPECT_TRUE(may_exist(s.file(L"new.txt")));

    const std::wstring target = s.file(L"dest.txt");
    EXPECT_FALSE(may_exist(target));
    put_bytes(target, {'t', 'h', 'e', 'i', 'r', 's'});
    const auto refused = commit(target, {'o', 'u', 'r', 's'});
    EXPECT_EQ(refused.first, 0);
    EXPECT_EQ(get_bytes(target), (std::vector<uint8_t>{'t', 'h', 'e', 'i', 'r', 's'}));
    EXPECT_EQ(refused.second, (std::vector<uint8_t>{'o', 'u', 'r', 's'}));
    EXPECT_TRUE(may_exist(target));
}

}  // namespace
