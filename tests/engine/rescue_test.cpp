// Rescue backups on real files: the mirror folder, the plain and the stamped
// copy, and that no backup ever overwrites another version of the file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/run_context.h"
#include "engine/rescue.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::put_text;
using testing_support::scratch_folder;
using testing_support::set_mtime;

namespace {

std::wstring env_value(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n ? std::wstring(buffer, n) : std::wstring();
}

// A scratch folder that is also the process's temporary folder (its "tmp"
// subfolder), so the Rescue tree lands inside it.
class RescueTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_tmp_ = env_value(L"TMP");
        old_temp_ = env_value(L"TEMP");
        temp_ = scratch_.path() + L"tmp";
        CreateDirectoryW(temp_.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", temp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.c_str());
        CreateDirectoryW(src_folder().c_str(), nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TMP", old_tmp_.empty() ? nullptr : old_tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", old_temp_.empty() ? nullptr : old_temp_.c_str());
    }

    std::wstring root() const { return temp_ + L"\\Rescue"; }
    std::wstring src_folder() const { return scratch_.path() + L"src"; }
    // The mirror of a local folder: its drive colon dropped, below the root.
    std::wstring mirror_of(std::wstring folder) const {
        folder.erase(std::remove(folder.begin(), folder.end(), L':'), folder.end());
        while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
        return root() + L"\\" + folder;
    }

    scratch_folder scratch_;
    std::wstring temp_, old_tmp_, old_temp_;
};

std::vector<std::wstring> names_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

// The stamp of a time as the local "%Y%m%d_%H%M%S.", worked out with the
// platform's own time-zone conversion.
std::wstring stamp_of(int64_t seconds) {
    const uint64_t ticks = static_cast<uint64_t>(seconds) * 10000000ULL + 116444736000000000ULL;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&ft, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    wchar_t buf[32] = {};
    swprintf(buf, 32, L"%04u%02u%02u_%02u%02u%02u.", local.wYear, local.wMonth, local.wDay,
             local.wHour, local.wMinute, local.wSecond);
    return buf;
}

std::string content_of(const std::wstring& path) {
    const std::vector<uint8_t> bytes = get_bytes(path);
    return std::string(bytes.begin(), bytes.end());
}

constexpr int64_t kTime1 = 1706745599;  // 2024-01-31 23:59:59 UTC
constexpr int64_t kTime2 = 1717243200;  // 2024-06-01 12:00:00 UTC

}  // namespace

TEST_F(RescueTest, MirrorFolderOfALocalPath) {
    const std::wstring file = src_folder() + L"\\x.txt";
    EXPECT_EQ(rescue_path(file, false), mirror_of(src_folder()));
    EXPECT_FALSE(exists(root()));
    EXPECT_EQ(rescue_path(file, true), mirror_of(src_folder()));
    EXPECT_TRUE(exists(mirror_of(src_folder())));
}

TEST_F(RescueTest, MirrorFolderOfOtherDrivesAndFolders) {
    EXPECT_EQ(rescue_path(L"D:\\work\\site\\x.txt", false), root() + L"\\D\\work\\site");
    EXPECT_EQ(rescue_path(L"D:/work/site/x.txt", false), root() + L"\\D\\work\\site");
    EXPECT_EQ(rescue_path(L"D:\\100%done\\x.txt", false), root() + L"\\D\\100\\done");
    EXPECT_EQ(rescue_path(L"\\\\server\\share\\doc\\x.txt", false), root() + L"\\server\\share\\doc");
    // An existing folder is mirrored itself, not its parent.
    EXPECT_EQ(rescue_path(src_folder(), false), mirror_of(src_folder()));
    EXPECT_EQ(rescue_path(src_folder() + L"\\", false), mirror_of(src_folder()));
}

TEST_F(RescueTest, MirrorFolderNeverLeavesTheRescueTree) {
    EXPECT_EQ(rescue_path(L"D:\\a\\..\\..\\..\\..\\x.txt", false), root() + L"\\D");
    EXPECT_EQ(rescue_path(L"D:\\a\\.\\b\\..\\c\\x.txt", false), root() + L"\\D\\a\\c");
    EXPECT_EQ(rescue_path(L"\\\\?\\D:\\a\\x.txt", false), root() + L"\\D\\a");
}

TEST_F(RescueTest, BackingUpTwiceUnchangedLeavesTwoFiles) {
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "first version"));
    ASSERT_TRUE(set_mtime(file, kTime1));
    const std::wstring stamped = rescue_copy(file);
    const std::wstring mirror = mirror_of(src_folder());
    EXPECT_EQ(stamped, mirror + L"\\" + stamp_of(kTime1) + L"x.txt");
    EXPECT_TRUE(backup_if_exists(file));
    EXPECT_EQ(names_in(mirror), (std::vector<std::wstring>{stamp_of(kTime1) + L"x.txt", L"x.txt"}));
    EXPECT_EQ(content_of(stamped), "first version");
    EXPECT_EQ(content_of(mirror + L"\\x.txt"), "first version");
    EXPECT_EQ(content_of(file), "first version");
}

TEST_F(RescueTest, ChangedFileAddsAStampedCopyAndReplacesTheLatest) {
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "first version"));
    ASSERT_TRUE(set_mtime(file, kTime1));
    ASSERT_TRUE(backup_if_exists(file));
    ASSERT_TRUE(put_text(file, "second version"));
    ASSERT_TRUE(set_mtime(file, kTime2));
    ASSERT_TRUE(backup_if_exists(file));
    const std::wstring mirror = mirror_of(src_folder());
    std::vector<std::wstring> expected = {stamp_of(kTime1) + L"x.txt", stamp_of(kTime2) + L"x.txt",
                                          L"x.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_in(mirror), expected);
    EXPECT_EQ(content_of(mirror + L"\\" + stamp_of(kTime1) + L"x.txt"), "first version");
    EXPECT_EQ(content_of(mirror + L"\\" + stamp_of(kTime2) + L"x.txt"), "second version");
    EXPECT_EQ(content_of(mirror + L"\\x.txt"), "second version");
}

TEST_F(RescueTest, SameTimeOtherContentNeverOverwritesAnEarlierBackup) {
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "version A"));
    ASSERT_TRUE(set_mtime(file, kTime1));
    const std::wstring first = rescue_copy(file);
    ASSERT_TRUE(put_text(file, "version B"));
    ASSERT_TRUE(set_mtime(file, kTime1));
    const std::wstring second = rescue_copy(file);
    const std::wstring mirror = mirror_of(src_folder());
    std::wstring numbered = stamp_of(kTime1);
    numbered.pop_back();
    numbered += L"_2.x.txt";
    EXPECT_EQ(first, mirror + L"\\" + stamp_of(kTime1) + L"x.txt");
    EXPECT_EQ(second, mirror + L"\\" + numbered);
    EXPECT_EQ(content_of(first), "version A");
    EXPECT_EQ(content_of(second), "version B");
    EXPECT_EQ(content_of(mirror + L"\\x.txt"), "version B");
    // Backing up version B again finds its own numbered copy.
    EXPECT_EQ(rescue_copy(file), second);
    EXPECT_EQ(names_in(mirror).size(), 3u);
}

TEST_F(RescueTest, AStampedNameTakenAfterTheRunListedTheFolderIsNeverOverwritten) {
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "version A"));
    ASSERT_TRUE(set_mtime(file, kTime1));
    ASSERT_FALSE(rescue_copy(file).empty());  // makes the mirror folder
    ASSERT_TRUE(put_text(file, "version B"));
    ASSERT_TRUE(set_mtime(file, kTime2));
    const std::wstring mirror = mirror_of(src_folder());
    const std::wstring taken = mirror + L"\\" + stamp_of(kTime2) + L"x.txt";
    // The run lists the mirror folder, then another program takes the name.
    run_shared shared({});
    run_context run(shared);
    ASSERT_FALSE(may_exist(&run, taken));
    ASSERT_TRUE(put_text(taken, "theirs"));
    const std::wstring backup = rescue_copy(file, &run);
    EXPECT_EQ(content_of(taken), "theirs");
    ASSERT_FALSE(backup.empty());
    EXPECT_NE(backup, taken);
    EXPECT_EQ(content_of(backup), "version B");
}

TEST_F(RescueTest, ForwardSlashesLandInTheSameFolder) {
    const std::wstring file = src_folder() + L"\\y.txt";
    ASSERT_TRUE(put_text(file, "slashes"));
    std::wstring slashed = file;
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    const std::wstring stamped = rescue_copy(slashed);
    ASSERT_FALSE(stamped.empty());
    EXPECT_EQ(stamped.substr(0, stamped.rfind(L'\\')), mirror_of(src_folder()));
    EXPECT_EQ(content_of(mirror_of(src_folder()) + L"\\y.txt"), "slashes");
}

TEST_F(RescueTest, PercentInAFolderNameSplitsIt) {
    const std::wstring folder = src_folder() + L"\\100%done";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "percent"));
    ASSERT_TRUE(backup_if_exists(file));
    EXPECT_EQ(content_of(mirror_of(src_folder()) + L"\\100\\done\\x.txt"), "percent");
}

TEST_F(RescueTest, DotDotInThePathIsResolvedInsideTheTree) {
    const std::wstring folder = src_folder() + L"\\a";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(put_text(folder + L"\\x.txt", "dots"));
    ASSERT_TRUE(backup_if_exists(src_folder() + L"\\a\\..\\a\\x.txt"));
    EXPECT_EQ(content_of(mirror_of(folder) + L"\\x.txt"), "dots");
}

TEST_F(RescueTest, MissingFileMakesNoBackup) {
    const std::wstring file = src_folder() + L"\\missing.txt";
    EXPECT_FALSE(backup_if_exists(file));
    EXPECT_EQ(rescue_copy(file), L"");
    EXPECT_FALSE(exists(root()));
    EXPECT_TRUE(backup_before_replace(file));
    EXPECT_FALSE(exists(root()));
}

TEST_F(RescueTest, BackupBeforeReplaceMakesTheBackup) {
    const std::wstring file = src_folder() + L"\\z.txt";
    ASSERT_TRUE(put_text(file, "keep me"));
    EXPECT_TRUE(backup_before_replace(file));
    EXPECT_EQ(content_of(mirror_of(src_folder()) + L"\\z.txt"), "keep me");
}

TEST_F(RescueTest, BlockedRescueTreeIsReported) {
    // A plain file named Rescue leaves no room for the tree.
    ASSERT_TRUE(put_text(root(), "in the way"));
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "content"));
    EXPECT_EQ(rescue_copy(file), L"");
    EXPECT_FALSE(backup_if_exists(file));
    EXPECT_FALSE(backup_before_replace(file));
    EXPECT_EQ(content_of(root()), "in the way");
}

TEST_F(RescueTest, StampedNameTakesTheStampOrTheNextNumber) {
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "version B"));
    const std::wstring folder = rescue_path(file, true) + L"\\";
    const std::wstring stamp = L"20240131_235959.";
    EXPECT_EQ(stamped_backup_name(file, folder, stamp, L"x.txt"), folder + stamp + L"x.txt");
    ASSERT_TRUE(put_text(folder + stamp + L"x.txt", "version A"));
    EXPECT_EQ(stamped_backup_name(file, folder, stamp, L"x.txt"),
              folder + L"20240131_235959_2.x.txt");
    ASSERT_TRUE(put_text(folder + stamp + L"x.txt", "version B"));
    EXPECT_EQ(stamped_backup_name(file, folder, stamp, L"x.txt"), folder + stamp + L"x.txt");
}

TEST_F(RescueTest, WithoutAStampThePlainBackupIsNeverTheOnlyCopy) {
    // A time the runtime cannot format (before 1970, say) gives no stamp: the
    // stamped name would be the plain one, which the next backup replaces.
    const std::wstring file = src_folder() + L"\\x.txt";
    ASSERT_TRUE(put_text(file, "version B"));
    const std::wstring folder = rescue_path(file, true) + L"\\";
    EXPECT_EQ(stamped_backup_name(file, folder, L"", L"x.txt"), folder + L"1.x.txt");
    // The plain backup holds version A, and so does 1.x.txt: B goes to 2.x.txt.
    ASSERT_TRUE(put_text(folder + L"x.txt", "version A"));
    ASSERT_TRUE(put_text(folder + L"1.x.txt", "version A"));
    EXPECT_EQ(stamped_backup_name(file, folder, L"", L"x.txt"), folder + L"2.x.txt");
    // Backing up B again finds its own numbered copy.
    ASSERT_TRUE(put_text(folder + L"2.x.txt", "version B"));
    EXPECT_EQ(stamped_backup_name(file, folder, L"", L"x.txt"), folder + L"2.x.txt");
    // Even when the plain backup holds B already.
    ASSERT_TRUE(put_text(folder + L"x.txt", "version B"));
    ASSERT_TRUE(DeleteFileW((folder + L"2.x.txt").c_str()));
    EXPECT_EQ(stamped_backup_name(file, folder, L"", L"x.txt"), folder + L"2.x.txt");
}
