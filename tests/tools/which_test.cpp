// Tests of the command lookup and batch runner, with "where" answering in a
// hidden batch file.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>

#include "base/log.h"
#include "base/paths.h"
#include "engine/file_io.h"
#include "engine/store.h"
#include "support/scratch.h"
#include "tools/which.h"
#include "tools_support.h"

using namespace quillet;
using testing_support::exists;
using testing_support::put_text;
using testing_support::scratch_folder;

namespace {

// Sets an environment variable of this process and puts the old value back.
class env_value {
public:
    env_value(const wchar_t* name, const std::wstring& value) : name_(name) {
        old_ = get_env(name);
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~env_value() { SetEnvironmentVariableW(name_, old_.empty() ? nullptr : old_.c_str()); }

private:
    const wchar_t* name_;
    std::wstring old_;
};

size_t batch_files() { return find_files(path_add_sep(batch_folder(), L"\\"), L"*.bat").size(); }

}  // namespace

class Which : public ::testing::Test {
protected:
    scratch_folder dir;
    tools_test::temp_redirect temp{dir.path() + L"tmp"};
};

TEST_F(Which, BatchFolderIsDatedBelowTheTemporaryFolder) {
    EXPECT_EQ(batch_folder(), dir.path() + L"tmp\\n_Bench.tmp\\cmd_bat\\" + now_text(L"%Y%m%d"));
    EXPECT_TRUE(folder_exists(batch_folder()));
}

TEST_F(Which, BatchFileNameFollowsTheCommand) {
    EXPECT_EQ(bat_path(which_command(L"fc")), batch_folder() + L"\\where__fc__fc.chk_2_fc.err.bat");
    EXPECT_EQ(bat_path(L"dir C:\\a b>x"), batch_folder() + L"\\dir_C_a_b_x.bat");
    std::wstring long_one = bat_path(which_command(L"a_rather_long_program_name_for_a_lookup"));
    EXPECT_EQ(path_name(long_one).size(), 50u + 4u);
}

TEST_F(Which, CommandQuotesTheNameAndNamesAnswerFilesPlainly) {
    EXPECT_EQ(which_command(L"notepad"), L"where \"notepad\" > notepad.chk 2> notepad.err");
}

TEST_F(Which, FindsARealProgram) {
    std::wstring cmd = get_which(L"cmd");
    EXPECT_EQ(to_lower(path_name(cmd)), L"cmd.exe");
    EXPECT_TRUE(path_exists(cmd, false)) << cmd;
    std::wstring notepad = get_which(L"  notepad\t");
    EXPECT_EQ(to_lower(path_name(notepad)), L"notepad.exe");
    EXPECT_TRUE(path_exists(notepad, false)) << notepad;
}

TEST_F(Which, FullPathOfAnExistingFileIsReturnedWithoutRunningAnything) {
    const std::wstring tool = dir.file(L"tool.exe");
    ASSERT_TRUE(put_text(tool, "MZ"));
    EXPECT_EQ(get_which(tool), tool);
    EXPECT_EQ(batch_files(), 0u);
}

TEST_F(Which, EmptyNameRunsNothing) {
    EXPECT_EQ(get_which(L""), L"");
    EXPECT_EQ(get_which(L" \t\r\n"), L"");
    EXPECT_EQ(batch_files(), 0u);
}

TEST_F(Which, NamesThatCouldChangeTheCommandAreRefused) {
    for (const wchar_t* name : {L"a&b", L"x\" & echo y", L"a>b", L"cmd|more", L"%PATH%", L"a b",
                                L"*", L"..", L"\u00e9t\u00e9"})
        EXPECT_EQ(get_which(name), L"") << name;
    EXPECT_EQ(batch_files(), 0u);
    EXPECT_TRUE(is_lookup_name(L"Note-Pad_2.exe"));
    EXPECT_TRUE(is_lookup_name(L"g++"));
}

TEST_F(Which, NameThatIsNotFoundEndsWhenTheErrorOutputArrives) {
    const DWORD start = GetTickCount();
    EXPECT_EQ(get_which(L"no_such_program_zq7"), L"");
    // The error output ends the wait well before its 10-second limit.
    EXPECT_LT(GetTickCount() - start, 8000u);
    const std::wstring err = path_add_sep(dated_work_folder(), L"\\") + L"no_such_program_zq7.err";
    EXPECT_GT(file_status(err).size(), 0);
}

TEST_F(Which, OnlyTheFirstMatchIsUsed) {
    const std::wstring a = dir.path() + L"first", b = dir.path() + L"second";
    ASSERT_TRUE(make_folders(a) && make_folders(b));
    ASSERT_TRUE(put_text(a + L"\\qtprog.exe", "MZ"));
    ASSERT_TRUE(put_text(b + L"\\qtprog.exe", "MZ"));
    env_value path(L"PATH", a + L";" + b + L";" + get_env(L"PATH"));
    EXPECT_EQ(to_lower(get_which(L"qtprog")), to_lower(a + L"\\qtprog.exe"));
    std::vector<std::wstring> answer =
        read_list_file(path_add_sep(dated_work_folder(), L"\\") + L"qtprog.chk");
    ASSERT_EQ(answer.size(), 2u);
    EXPECT_EQ(to_lower(answer[1]), to_lower(b + L"\\qtprog.exe"));
}

TEST_F(Which, SecondLookupOfTheSameNameReusesItsBatchFileAndIgnoresOldAnswers) {
    const std::wstring chk = path_add_sep(dated_work_folder(), L"\\") + L"qtother.chk";
    // A stale answer of an earlier lookup must not be taken for this one.
    ASSERT_TRUE(put_text(chk, "C:\\stale\\qtother.exe\r\n"));
    EXPECT_EQ(get_which(L"qtother"), L"");
    EXPECT_EQ(get_which(L"qtother"), L"");
    EXPECT_EQ(batch_files(), 1u);
    EXPECT_TRUE(exists(bat_path(which_command(L"qtother"))));
}

TEST_F(Which, AnswerFilesAreRemovedAtExit) {
    get_which(L"cmd");
    const std::wstring folder = dated_work_folder();
    const auto& queued = batch_exit_ops().removals();
    auto has = [&](const std::wstring& p) {
        for (const auto& q : queued)
            if (to_lower(path_del_sep(q)) == to_lower(path_del_sep(p))) return true;
        return false;
    };
    EXPECT_TRUE(has(folder + L"cmd.chk"));
    EXPECT_TRUE(has(folder + L"cmd.err"));
    EXPECT_TRUE(has(folder));
}

TEST_F(Which, TemporaryFolderWithSpecialCharactersDoesNotBreakTheCommand) {
    // Spaces, "&", "^", parentheses and "%" in the folder: each would end or
    // change an unquoted command line, and "%qz%" in a batch file would be
    // expanded (to nothing) unless its percent signs are doubled.
    const std::wstring odd_name = L"t m&p ^x (1) %qz%";
    tools_test::temp_redirect odd{dir.path() + odd_name};
    EXPECT_EQ(batch_folder().find(dir.path() + odd_name + L"\\"), 0u);
    std::wstring cmd = get_which(L"cmd");
    EXPECT_EQ(to_lower(path_name(cmd)), L"cmd.exe");
    EXPECT_TRUE(exists(path_add_sep(dated_work_folder(), L"\\") + L"cmd.chk"));
    EXPECT_EQ(batch_files(), 1u);  // nothing was made of the parts of a broken line
}

TEST_F(Which, WindowsVersionIsADottedNumber) {
    std::wstring version = windows_version();
    ASSERT_FALSE(version.empty());
    EXPECT_TRUE(std::iswdigit(version[0])) << version;
    EXPECT_EQ(version.find_first_of(L" ,"), std::wstring::npos) << version;
    EXPECT_GT(std::wcstod(version.c_str(), nullptr), 0.0) << version;
}

TEST_F(Which, TemporaryFolderOutsideTheCodePageFindsProgramsAtOnce) {
    // "Zoë日本" cannot be written in code page 932: a batch file naming the
    // folder could never change into it.
    tools_test::temp_redirect odd{dir.path() + L"Zo\u00eb\u65e5\u672c"};
    std::wstring cmd = get_which(L"cmd");
    EXPECT_EQ(to_lower(path_name(cmd)), L"cmd.exe");
    EXPECT_TRUE(path_exists(cmd, false)) << cmd;
    EXPECT_NE(dated_work_folder().find(L"Zo\u00eb\u65e5\u672c"), std::wstring::npos);
    EXPECT_TRUE(exists(path_add_sep(dated_work_folder(), L"\\") + L"cmd.chk"));
}
