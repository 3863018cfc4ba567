// Tests of the file-system helpers on real files in a scratch folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <ctime>

#include "base/wide_text.h"
#include "base/log.h"
#include "base/paths.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::scratch_folder;
namespace ts = testing_support;

namespace {
bool contains(const std::vector<std::wstring>& list, const std::wstring& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// The text of the current dump file (without its byte-order mark).
std::wstring dump_text() {
    std::vector<uint8_t> bytes = ts::get_bytes(dump_file_path());
    return testing_support::utf16le_text(bytes);
}

// Sets an environment variable for one test and puts the old value back.
class env_override {
public:
    env_override(const wchar_t* name, const std::wstring& value) : name_(name) {
        old_ = get_env(name);
        had_ = GetEnvironmentVariableW(name, nullptr, 0) != 0;
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~env_override() { SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::wstring old_;
    bool had_ = false;
};
}  // namespace

TEST(FileStatus, FileFolderAndMissing) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"f.txt"), "12345"));
    file_status f(s.file(L"f.txt"));
    EXPECT_FALSE(f.failed());
    EXPECT_EQ(f.error(), 0);
    EXPECT_EQ(f.size(), 5);
    EXPECT_TRUE(f.is_file());
    EXPECT_FALSE(f.is_folder());

    file_status d(path_del_sep(s.path()));
    EXPECT_FALSE(d.failed());
    EXPECT_TRUE(d.is_folder());

    file_status m(s.file(L"missing.txt"));
    EXPECT_TRUE(m.failed());
    EXPECT_EQ(m.error(), ENOENT);
    EXPECT_FALSE(m.is_file());

    EXPECT_TRUE(file_status(L"").failed());
}

TEST(FileStatus, TimesOfAnyDateAreReadAsTheFileHoldsThem) {
    scratch_folder s;
    // 1902-06-01, 1960-01-01, 1969-12-31 23:59:59, 2001-09-09, 2100-01-01 and
    // 2400-06-01 (seconds since 1970, UTC).
    const int64_t times[] = {-2132870400LL, -315619200LL, -1, 1000000000LL, 4102444800LL,
                             13582598400LL};
    for (int64_t t : times) {
        const std::wstring f = s.file(std::to_wstring(t) + L".txt");
        ASSERT_TRUE(ts::put_text(f, "x"));
        ASSERT_TRUE(ts::set_mtime(f, t));
        const file_status st(f);
        ASSERT_FALSE(st.failed());
        EXPECT_EQ(st.mtime(), t);
        EXPECT_EQ(st.write_time(), t * 10000000LL + 116444736000000000LL);
    }
    EXPECT_LT(file_status(s.file(L"-1.txt")).mtime(), file_status(s.file(L"1000000000.txt")).mtime());
}

TEST(FileAttr, ReadOnlyHiddenAndMissing) {
    scratch_folder s;
    const std::wstring f = s.file(L"a.txt");
    ASSERT_TRUE(ts::put_text(f, "x"));
    file_attr plain(f);
    EXPECT_FALSE(plain.missing());
    EXPECT_EQ(plain.path(), path_del_sep(path_normalize(f)));
    EXPECT_EQ(plain.has(FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_TRUE(plain.clear_if_set(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(plain.set(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(plain.has(FILE_ATTRIBUTE_READONLY), 0u);  // the held word is not refreshed

    file_attr marked(f);
    EXPECT_NE(marked.has(FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_NE(marked.has(FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_TRUE(marked.make_plain());
    file_attr after(f);
    EXPECT_EQ(after.has(7), 0u);

    file_attr missing(s.file(L"none.txt"));
    EXPECT_TRUE(missing.missing());
    EXPECT_EQ(missing.attributes(), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(missing.path(), L"");
    EXPECT_FALSE(missing.set(1));
    EXPECT_TRUE(file_attr(L"").missing());
}

TEST(Exists, FilesFoldersAndSeparators) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"f.txt"), "x"));
    EXPECT_TRUE(folder_exists(s.path()));
    EXPECT_TRUE(folder_exists(path_del_sep(s.path())));
    EXPECT_FALSE(folder_exists(s.file(L"f.txt")));
    EXPECT_FALSE(folder_exists(s.file(L"none")));
    EXPECT_FALSE(folder_exists(L""));
    EXPECT_TRUE(path_exists(s.file(L"f.txt")));
    EXPECT_FALSE(path_exists(s.file(L"f.txt"), true));
    EXPECT_TRUE(path_exists(path_del_sep(s.path()), true));
    // path_exists keeps a trailing separator, which the runtime's status query
    // refuses; folder_exists strips it first.
    EXPECT_FALSE(path_exists(s.path(), true));
    EXPECT_FALSE(path_exists(s.file(L"f.txt\\")));
    EXPECT_FALSE(path_exists(s.file(L"none.txt")));
    EXPECT_FALSE(path_exists(L""));
}

TEST(Exists, IniVariantCountsEmptyFilesOnlyWithoutFlag) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"empty.ini"), ""));
    ASSERT_TRUE(ts::put_text(s.file(L"full.ini"), "x"));
    EXPECT_TRUE(path_exists_ini(s.file(L"empty.ini"), false));
    EXPECT_FALSE(path_exists_ini(s.file(L"empty.ini"), true));
    EXPECT_TRUE(path_exists_ini(s.file(L"full.ini"), true));
    EXPECT_TRUE(path_exists_ini(path_del_sep(s.path()), true));
    EXPECT_FALSE(path_exists_ini(s.file(L"none.ini"), false));
    EXPECT_FALSE(path_exists_ini(L"", false));
}

TEST(MakeFolders, CreatesEveryLevel) {
    scratch_folder s;
    const std::wstring deep = s.path() + L"a/b//c\\d\\";
    EXPECT_TRUE(make_folders(deep));
    EXPECT_TRUE(folder_exists(s.path() + L"a\\b\\c\\d"));
    EXPECT_TRUE(make_folders(deep));  // already there
}

TEST(MakeFolders, FileInTheWayIsLoggedFailure) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"blocker"), "x"));
    const std::wstring target = s.file(L"blocker") + L"\\sub";
    EXPECT_FALSE(make_folders(target));
    EXPECT_NE(dump_text().find(L"\tCan't create " + s.file(L"blocker") + L"  (error "),
              std::wstring::npos);
}

TEST(MakeFolders, UncServerAndShareAreNeverCreated) {
    EXPECT_TRUE(make_folders(L"\\\\quillet-no-such-server\\share"));
    EXPECT_TRUE(make_folders(L"//quillet-no-such-server/share/"));
}

TEST(MakeFolders, IniVariantCreatesAndLogsInJapanese) {
    scratch_folder s;
    EXPECT_TRUE(make_folders_ini(s.path() + L"x\\y\\z"));
    EXPECT_TRUE(folder_exists(s.path() + L"x\\y\\z"));
    ASSERT_TRUE(ts::put_text(s.file(L"blocker"), "x"));
    const std::wstring target = s.file(L"blocker") + L"\\sub";
    EXPECT_FALSE(make_folders_ini(target));
    // The file is the level that cannot become a folder.
    EXPECT_NE(dump_text().find(L"\tフォルダが作成できません" + s.file(L"blocker") + L"  (error "),
              std::wstring::npos);
    EXPECT_FALSE(make_folders_ini(L""));
}

TEST(Places, ModuleSpecialCurrentAndEnvironment) {
    EXPECT_EQ(path_ext_lower(module_path()), L"exe");
    EXPECT_EQ(to_lower(path_name(module_path())), L"test_base.exe");
    const std::wstring docs = special_folder(0x2E);
    EXPECT_FALSE(docs.empty());
    EXPECT_TRUE(folder_exists(docs));
    EXPECT_TRUE(special_folder(-12345).empty());
    EXPECT_TRUE(folder_exists(current_folder()));
    EXPECT_FALSE(user_name().empty());

    env_override var(L"QUILLET_TEST_VAR", L"value 1");
    EXPECT_EQ(get_env(L"QUILLET_TEST_VAR"), L"value 1");
    EXPECT_EQ(get_env(L"QUILLET_NOT_SET_ANYWHERE"), L"");
    EXPECT_EQ(get_env(L""), L"");
    EXPECT_EQ(long_path(L"C:\\no\\such\\path"), L"C:\\no\\such\\path");
}

TEST(Places, TempFolderFollowsTmp) {
    scratch_folder s;
    env_override tmp(L"TMP", s.path());
    EXPECT_EQ(path_add_sep(temp_folder()), s.path());
}

TEST(Places, TempFolderInsideWindowsMovesToCommonDocuments) {
    scratch_folder s;
    const std::wstring inside = s.path() + L"MyWINDOWSTemp\\";
    ASSERT_TRUE(make_folders(inside));
    env_override tmp(L"TMP", inside);
    EXPECT_EQ(temp_folder(), path_add_sep(special_folder(0x2E)) + L"Temp\\Temp");
}

TEST(Listing, ListFindAndEmptiness) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"Log1.TXT"), "x"));
    ASSERT_TRUE(ts::put_text(s.file(L"readme"), "x"));
    ASSERT_TRUE(make_folders(s.path() + L"sub.txt"));
    auto all = list_folder(s.path());
    EXPECT_EQ(all.size(), 3u);
    EXPECT_TRUE(contains(all, s.file(L"Log1.TXT")));
    EXPECT_TRUE(contains(all, s.file(L"readme")));
    EXPECT_TRUE(contains(all, s.path() + L"sub.txt\\"));
    // A file's path lists its folder.
    EXPECT_EQ(list_folder(s.file(L"readme")).size(), 3u);

    EXPECT_EQ(find_files(s.path(), L"log*.txt"), std::vector<std::wstring>{s.file(L"Log1.TXT")});
    EXPECT_EQ(find_files(s.path(), L"*.*"), std::vector<std::wstring>{s.file(L"Log1.TXT")});
    EXPECT_EQ(find_files(s.path(), L"*").size(), 2u);

    EXPECT_FALSE(folder_is_empty(s.path()));
    EXPECT_TRUE(folder_is_empty(s.path() + L"sub.txt"));
    EXPECT_FALSE(folder_is_empty(s.file(L"none")));
    EXPECT_TRUE(list_folder(L"").empty());
    EXPECT_TRUE(list_folder(s.file(L"none\\deeper\\x")).empty());
}

TEST(FileCopy, RulesAndFolderCreation) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"src.txt"), "abc"));
    EXPECT_FALSE(copy_file(s.file(L"none.txt"), s.file(L"dst.txt"), false));
    EXPECT_FALSE(ts::exists(s.file(L"dst.txt")));
    EXPECT_TRUE(copy_file(s.file(L"src.txt"), s.path() + L"new\\dir\\dst.txt", false));
    EXPECT_EQ(ts::get_bytes(s.path() + L"new\\dir\\dst.txt"), ts::bytes_of("abc"));

    ASSERT_TRUE(ts::put_text(s.file(L"old.txt"), "old"));
    EXPECT_FALSE(copy_file(s.file(L"src.txt"), s.file(L"old.txt"), true));
    EXPECT_EQ(ts::get_bytes(s.file(L"old.txt")), ts::bytes_of("old"));
    EXPECT_TRUE(copy_file(s.file(L"src.txt"), s.file(L"old.txt"), false));
    EXPECT_EQ(ts::get_bytes(s.file(L"old.txt")), ts::bytes_of("abc"));
    EXPECT_FALSE(copy_file(s.file(L"src.txt"), L"", false));
    EXPECT_FALSE(copy_file(L"", s.file(L"x.txt"), false));
}

TEST(DeleteAged, AgeRule) {
    EXPECT_TRUE(is_aged(1000000 + 10 * 86400, 1000000, 10));
    EXPECT_FALSE(is_aged(1000000 + 10 * 86400 - 1, 1000000, 10));
    // 64-bit: far apart times do not wrap.
    EXPECT_TRUE(is_aged(4102444800LL, 0, 10));
    EXPECT_FALSE(is_aged(0, 4102444800LL, 10));
}

TEST(DeleteAged, QueuesOldWritableFilesOnly) {
    scratch_folder s;
    const int64_t now = _time64(nullptr);
    for (const wchar_t* name : {L"old.txt", L"exact.txt", L"fresh.txt", L"locked.txt", L"old.log"})
        ASSERT_TRUE(ts::put_text(s.file(name), "x"));
    ASSERT_TRUE(ts::set_mtime(s.file(L"old.txt"), now - 30 * 86400));
    ASSERT_TRUE(ts::set_mtime(s.file(L"exact.txt"), now - 10 * 86400));
    ASSERT_TRUE(ts::set_mtime(s.file(L"fresh.txt"), now - 9 * 86400));
    ASSERT_TRUE(ts::set_mtime(s.file(L"locked.txt"), now - 30 * 86400));
    ASSERT_TRUE(ts::set_mtime(s.file(L"old.log"), now - 30 * 86400));
    ASSERT_TRUE(SetFileAttributesW(s.file(L"locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    EXPECT_FALSE(delete_aged(s.file(L".txt"), 10));
    const auto& queued = aged_exit_ops().removals();
    EXPECT_TRUE(contains(queued, s.file(L"old.txt")));
    EXPECT_TRUE(contains(queued, s.file(L"exact.txt")));
    EXPECT_FALSE(contains(queued, s.file(L"fresh.txt")));
    EXPECT_FALSE(contains(queued, s.file(L"locked.txt")));
    EXPECT_FALSE(contains(queued, s.file(L"old.log")));
    // Nothing is removed before the process ends.
    EXPECT_TRUE(ts::exists(s.file(L"old.txt")));

    scratch_folder fresh;
    ASSERT_TRUE(ts::put_text(fresh.file(L"new.txt"), "x"));
    EXPECT_TRUE(delete_aged(fresh.file(L".txt"), 10));
    EXPECT_TRUE(delete_aged(fresh.file(L"none\\.txt"), 10));
}

TEST(ExitOps, RemovesDeepestFirstAndKeepsFullFolders) {
    scratch_folder s;
    const std::wstring empty_dir = s.path() + L"empty\\";
    const std::wstring full_dir = s.path() + L"full\\";
    ASSERT_TRUE(make_folders(empty_dir + L"inner"));
    ASSERT_TRUE(make_folders(full_dir));
    ASSERT_TRUE(ts::put_text(s.file(L"a.txt"), "x"));
    ASSERT_TRUE(ts::put_text(full_dir + L"keep.txt", "x"));
    {
        exit_ops ops;
        ops.remove_later(empty_dir);
        ops.remove_later(empty_dir + L"inner\\");
        ops.remove_later(L"");
        ops.remove_later_all({s.file(L"a.txt"), full_dir, s.file(L"never-there.txt")});
        ops.remove_later(static_cast<const wchar_t*>(nullptr));
        EXPECT_EQ(ops.removals().size(), 7u);
        EXPECT_TRUE(ts::exists(s.file(L"a.txt")));
    }
    EXPECT_FALSE(ts::exists(s.file(L"a.txt")));
    EXPECT_FALSE(ts::exists(empty_dir));
    EXPECT_TRUE(ts::exists(full_dir + L"keep.txt"));
}

TEST(ExitOps, MoveLaterMovesAndKeepsSourceWhenCopyFails) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"m.txt"), "move me"));
    ASSERT_TRUE(ts::put_text(s.file(L"stay.txt"), "stay"));
    ASSERT_TRUE(ts::put_text(s.file(L"gone.txt"), "gone"));
    ASSERT_TRUE(ts::put_text(s.file(L"blocker"), "x"));
    {
        exit_ops ops;
        ops.remove_later(s.file(L"gone.txt"));
        ops.move_later(s.file(L"m.txt"), s.path() + L"to\\m.txt");
        ops.move_later(s.file(L"stay.txt"), s.file(L"blocker") + L"\\stay.txt");
        EXPECT_EQ(ops.destinations().size(), 3u);
        EXPECT_EQ(ops.destinations()[0], L"");
    }
    EXPECT_FALSE(ts::exists(s.file(L"gone.txt")));
    EXPECT_FALSE(ts::exists(s.file(L"m.txt")));
    EXPECT_EQ(ts::get_bytes(s.path() + L"to\\m.txt"), ts::bytes_of("move me"));
    EXPECT_TRUE(ts::exists(s.file(L"stay.txt")));
}

TEST(ExitOps, CopyNowAndRemoveNowAreSeparateSteps) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"m.txt"), "data"));
    exit_ops ops;
    ops.move_later(s.file(L"m.txt"), s.path() + L"copy\\m.txt");
    ops.copy_now();
    EXPECT_TRUE(ops.destinations().empty());
    EXPECT_TRUE(ts::exists(s.file(L"m.txt")));
    EXPECT_EQ(ts::get_bytes(s.path() + L"copy\\m.txt"), ts::bytes_of("data"));
    ops.remove_now();
    EXPECT_TRUE(ops.removals().empty());
    EXPECT_FALSE(ts::exists(s.file(L"m.txt")));
}

TEST(ExitOps, ProcessWideInstancesAreDistinct) {
    EXPECT_NE(&aged_exit_ops(), &batch_exit_ops());
    EXPECT_EQ(&aged_exit_ops(), &aged_exit_ops());
}

TEST(OpenRetrying, GivesUpAfterItsAttemptsOnAHeldFile) {
    scratch_folder s;
    const std::wstring f = s.file(L"held.txt");
    ASSERT_TRUE(ts::put_text(f, "x"));
    HANDLE hold = CreateFileW(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hold, INVALID_HANDLE_VALUE);
    DWORD error = 0;
    unique_hfile file = open_file_retrying(f, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 3, 20, &error);
    EXPECT_FALSE(file);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(hold);
    file = open_file_retrying(f, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 3, 20, &error);
    EXPECT_TRUE(file);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
}
