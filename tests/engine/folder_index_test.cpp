// The run's index of folder contents: one listing per folder, names in any
// letter case, the run's own creations and removals. (A name another program
// takes after the listing is tested through the Rescue copies.)
#include "engine/run_context.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/scratch.h"

namespace {

using namespace quillet;
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
    EXPECT_TRUE(may_exist(nullptr, s.file(L"missing.txt")));
    EXPECT_TRUE(indexed_status(nullptr, s.file(L"missing.txt")).failed());
}

}  // namespace
