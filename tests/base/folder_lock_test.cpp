// The lock per destination folder: one name for every spelling of a folder,
// a second run that waits (and says so) until the first releases, and a lock
// left by a run that ended without releasing it taken over at once.
#include "base/folder_lock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "support/scratch.h"

namespace {

using namespace quillet;
using testing_support::scratch_folder;

TEST(FolderLock, EverySpellingOfAFolderSharesOneLock) {
    scratch_folder scratch;
    const std::wstring a = scratch.file(L"a"), b = scratch.file(L"b");
    CreateDirectoryW(a.c_str(), nullptr);
    CreateDirectoryW(b.c_str(), nullptr);
    EXPECT_EQ(folder_lock_name(a), folder_lock_name(scratch.path() + L"b\\..\\A\\"));
    EXPECT_NE(folder_lock_name(a), folder_lock_name(b));
    EXPECT_EQ(folder_lock_name(scratch.file(L"new")), folder_lock_name(scratch.file(L"NEW\\")));
}

TEST(FolderLock, ASecondRunWaitsForTheFirstAndShowsTheWait) {
    scratch_folder scratch;
    // The first run keeps the lock until the second shows that it waits.
    std::atomic<bool> taken{false}, release{false}, first_done{false};
    std::thread first([&] {
        folder_lock lock(scratch.path());
        taken = true;
        while (!release) Sleep(1);
        first_done = true;
    });
    while (!taken) Sleep(1);
    int waits_shown = 0;
    {
        folder_lock second(scratch.path(), [&] { ++waits_shown, release = true; });
        EXPECT_TRUE(second.held());
        EXPECT_TRUE(second.waited());
        EXPECT_TRUE(first_done);
    }
    first.join();
    EXPECT_EQ(waits_shown, 1);
    folder_lock alone(scratch.path(), [&] { ++waits_shown; });
    EXPECT_FALSE(alone.waited());
    EXPECT_EQ(waits_shown, 1);
}

TEST(FolderLock, ALockLeftByARunThatEndedIsTakenOver) {
    scratch_folder scratch;
    const std::wstring name = folder_lock_name(scratch.path());
    HANDLE kept = nullptr;
    // A run that takes the lock and ends (its thread ends) without releasing it.
    std::thread([&] {
        kept = CreateMutexW(nullptr, FALSE, name.c_str());
        WaitForSingleObject(kept, INFINITE);
    }).join();
    folder_lock lock(scratch.path());
    EXPECT_TRUE(lock.held());
    CloseHandle(kept);
}

}  // namespace
