// Tests of the file layer's access rules on real files: which failures are
// waited for, long paths, copies, replacing files through a sibling, and the
// error codes in failure lines.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

#include "base/wide_text.h"
#include "base/file_replace.h"
#include "base/log.h"
#include "base/paths.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::held_file;
using testing_support::scratch_folder;
namespace ts = testing_support;
using bytes = std::vector<uint8_t>;

namespace {

bool logged(const std::wstring& text) {
    return testing_support::utf16le_text(ts::get_bytes(dump_file_path())).find(text) != std::wstring::npos;
}

// How often with_retries tries a step that always fails with error.
int calls_until_given_up(DWORD error) {
    int calls = 0;
    EXPECT_EQ(with_retries([&] { return ++calls, SetLastError(error), false; }, 5, 0), error);
    return calls;
}

// The names in folder, sorted, without "." and "..".
std::vector<std::wstring> names_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : list_folder(folder)) names.push_back(path_name(path_del_sep(entry)));
    std::sort(names.begin(), names.end());
    return names;
}

// A folder path of about 300 characters below base, in levels of 50.
std::wstring deep_folder(const std::wstring& base) {
    std::wstring path = base;
    for (int level = 0; path.size() < 300; ++level)
        path += std::wstring(49, static_cast<wchar_t>(L'a' + level)) + L"\\";
    return path;
}

}  // namespace

TEST(RetryPolicy, OnlyHeldFilesAreWaitedFor) {
    EXPECT_EQ(calls_until_given_up(ERROR_SHARING_VIOLATION), 5);
    EXPECT_EQ(calls_until_given_up(ERROR_LOCK_VIOLATION), 5);
    EXPECT_EQ(calls_until_given_up(ERROR_ACCESS_DENIED), 1);
    EXPECT_EQ(calls_until_given_up(ERROR_FILE_NOT_FOUND), 1);
    int calls = 0;
    EXPECT_EQ(with_retries([&] { return ++calls == 3 || (SetLastError(ERROR_SHARING_VIOLATION), false); }, 5, 0), 0u);
    EXPECT_EQ(calls, 3);
}

TEST(RetryPolicy, OpensFailAtOnceWithTheirReason) {
    scratch_folder s;
    const std::wstring ro = s.file(L"ro.txt");
    ASSERT_TRUE(ts::put_text(ro, "x"));
    ASSERT_TRUE(SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    DWORD error = 0;
    EXPECT_FALSE(open_file_retrying(ro, GENERIC_WRITE, 0, OPEN_EXISTING, 100, 100, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(open_file_retrying(path_del_sep(s.path()), GENERIC_READ, 0, OPEN_EXISTING, 100, 100, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(open_file_retrying(s.file(L"none"), GENERIC_READ, 0, OPEN_EXISTING, 100, 100, &error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(open_file_retrying(ro, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 1, 0, &error));
}

TEST(ExtendedPath, LongPathsTakeTheLongForm) {
    EXPECT_EQ(extended_path(L"C:\\short\\a.txt"), L"C:\\short\\a.txt");
    const std::wstring name(260, L'n');
    EXPECT_EQ(extended_path(L"C:\\x/" + name), L"\\\\?\\C:\\x\\" + name);
    EXPECT_EQ(extended_path(L"C:\\x\\..\\y\\\\" + name), L"\\\\?\\C:\\y\\" + name);
    EXPECT_EQ(extended_path(L"\\\\srv\\share\\" + name), L"\\\\?\\UNC\\srv\\share\\" + name);
}

TEST(LongPaths, FilesPast300CharactersAreWrittenCopiedMovedAndRemoved) {
    scratch_folder s;
    const std::wstring folder = deep_folder(s.path());
    const std::wstring file = folder + L"long name.txt";
    ASSERT_GT(file.size(), 300u);
    ASSERT_TRUE(make_folders(folder + L"inner\\"));
    EXPECT_TRUE(replace_file_bytes(file, ts::bytes_of("first")));
    EXPECT_TRUE(replace_file_bytes(file, ts::bytes_of("second version")));
    EXPECT_EQ(file_status(file).size(), 14);
    EXPECT_FALSE(file_attr(file).missing());
    EXPECT_TRUE(same_file(file, folder + L"LONG NAME.TXT"));
    EXPECT_FALSE(same_file(file, folder + L"missing.txt"));
    EXPECT_TRUE(copy_file(file, folder + L"copy\\copied.txt", false));
    EXPECT_FALSE(same_file(file, folder + L"copy\\copied.txt"));
    {
        exit_ops ops;
        ops.move_later(folder + L"copy\\copied.txt", folder + L"arrived\\moved.txt");
        ops.remove_later(file);
        ops.remove_later(folder + L"inner\\");
    }
    EXPECT_EQ(names_in(folder), (std::vector<std::wstring>{L"arrived", L"copy"}));
    unique_hfile moved = open_file_retrying(folder + L"arrived\\moved.txt", GENERIC_READ,
                                            FILE_SHARE_READ, OPEN_EXISTING);
    bytes read;
    ASSERT_TRUE(moved && read_open_file(moved.get(), read));
    EXPECT_EQ(read, ts::bytes_of("second version"));
}

TEST(FileRequests, LargeBuffersAreWrittenAndReadWhole) {
    // More than two pieces of the request limit, ending in a part piece.
    scratch_folder s;
    bytes data(2 * io_request_limit + 12345);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 20));
    ASSERT_TRUE(replace_file_bytes(s.file(L"big.bin"), data));
    unique_hfile file = open_file_retrying(s.file(L"big.bin"), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    bytes read;
    ASSERT_TRUE(file && read_open_file(file.get(), read));
    EXPECT_TRUE(read == data);
}

TEST(FileCopy, WaitsForAHeldSourceAndLogsAFailureWithItsCode) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"src.txt"), "abc"));
    {
        held_file hold(s.file(L"src.txt"), 300);
        ASSERT_TRUE(hold.held());
        EXPECT_TRUE(copy_file(s.file(L"src.txt"), s.file(L"dst.txt"), false));
    }
    EXPECT_EQ(ts::get_bytes(s.file(L"dst.txt")), ts::bytes_of("abc"));
    ASSERT_TRUE(CreateDirectoryW(s.file(L"folder").c_str(), nullptr));
    EXPECT_FALSE(copy_file(s.file(L"src.txt"), s.file(L"folder"), false));
    EXPECT_TRUE(logged(L"\tCan't copy  " + s.file(L"src.txt") + L"  " + s.file(L"folder") + L"  (error "));
}

TEST(FileReplace, WritesWholeFilesAndLogsAFailedMoveAndLeavesNoSibling) {
    // Read-only files and missing folders: see the write_file_bytes tests.
    scratch_folder s;
    const std::wstring f = s.file(L"list.ilc");
    EXPECT_TRUE(replace_file_bytes(f, ts::bytes_of("one")));
    EXPECT_TRUE(replace_file_bytes(f, {}));
    EXPECT_TRUE(ts::exists(f) && ts::get_bytes(f).empty());
    EXPECT_TRUE(replace_file_bytes(f, ts::bytes_of("two")));
    EXPECT_EQ(ts::get_bytes(f), ts::bytes_of("two"));
    ASSERT_TRUE(CreateDirectoryW(s.file(L"folder").c_str(), nullptr));
    EXPECT_FALSE(replace_file_bytes(s.file(L"folder"), ts::bytes_of("x")));
    EXPECT_TRUE(logged(L"\tCan't replace  " + s.file(L"folder") + L"  (error "));
    EXPECT_EQ(names_in(s.path()), (std::vector<std::wstring>{L"folder", L"list.ilc"}));
}

TEST(FileReplace, FullDiskKeepsTheOldFileAndRemovesTheSibling) {
    // The test script mounts a small volume when it may (run as root).
    const std::wstring volume = get_env(L"QUILLET_SMALL_VOLUME");
    if (volume.empty()) GTEST_SKIP() << "no small volume (QUILLET_SMALL_VOLUME) to fill";
    std::wstring folder = L"Z:" + volume;
    for (auto& c : folder)
        if (c == L'/') c = L'\\';
    const std::wstring f = path_add_sep(folder) + L"dest.txt";
    ASSERT_TRUE(replace_file_bytes(f, ts::bytes_of("old destination")));
    const bytes too_big(8u << 20, 'x');
    EXPECT_FALSE(replace_file_bytes(f, too_big));
    EXPECT_TRUE(logged(L"\tCan't write wb  " + f + L"  (error 112)"));
    EXPECT_EQ(ts::get_bytes(f), ts::bytes_of("old destination"));
    EXPECT_EQ(names_in(folder), (std::vector<std::wstring>{L"dest.txt"}));
    DeleteFileW(f.c_str());
}
