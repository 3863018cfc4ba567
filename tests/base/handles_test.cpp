#include "base/handles.h"

#include <gtest/gtest.h>

#include "support/scratch.h"

using namespace quillet;

TEST(Handles, FileOwnerClosesOnScopeEndAndMoves) {
    testing_support::scratch_folder dir;
    std::wstring path = dir.file(L"held.txt");
    {
        unique_hfile f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(f);
        unique_hfile moved(std::move(f));
        EXPECT_FALSE(f);
        EXPECT_TRUE(moved);
        // Held without sharing: a second open must fail while the owner lives.
        HANDLE second = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(second, INVALID_HANDLE_VALUE);
    }
    unique_hfile again(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(again);
}
