// Tests of the shell launcher: the files it hands over, the programs it
// finds, and the refusal messages it shows.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "base/paths.h"
#include "support/scratch.h"
#include "tools/shell_launcher.h"
#include "tools_support.h"

using namespace quillet;
using testing_support::put_text;
using testing_support::scratch_folder;

TEST(ShellLauncher, RefusalOfAMissingFileIsExplained) {
    scratch_folder dir;
    const std::wstring missing = dir.file(L"missing.txt");
    shell_launcher launcher;
    launcher.set_file(missing);
    EXPECT_FALSE(launcher.execute());
    EXPECT_EQ(launcher.refusal(), L"The specified file was not found.\nOperation=\"\"\nFile=\"" +
                                      missing + L"\"\nParamaters=\"\"");
}

TEST(ShellLauncher, StartsWithOwnerShowCommandAndNothingSet) {
    {
        shell_launcher launcher;
        EXPECT_EQ(launcher.owner(), nullptr);
        EXPECT_EQ(launcher.show(), SW_SHOWNORMAL);
        EXPECT_FALSE(launcher.has_verb() || launcher.has_file() || launcher.has_params());
    }
}

TEST(ShellLauncher, HandsItsValuesToTheShell) {
    scratch_folder dir;
    const std::wstring doc = dir.file(L"list.ilc");
    ASSERT_TRUE(put_text(doc, "x"));
    tools_test::shell_recorder shell(42);
    shell_launcher launcher;
    EXPECT_TRUE(launcher.set_verb(L"print"));
    EXPECT_TRUE(launcher.set_file(doc));
    EXPECT_TRUE(launcher.set_params(L"a b"));
    EXPECT_TRUE(launcher.set_show(SW_HIDE));
    EXPECT_TRUE(launcher.execute());
    ASSERT_EQ(shell.calls().size(), 1u);
    const auto& call = shell.calls()[0];
    EXPECT_EQ(call.verb, L"print");
    EXPECT_EQ(call.file, doc);  // an existing file is used as it is
    EXPECT_EQ(call.params, L"a b");
    EXPECT_FALSE(call.has_directory);
    EXPECT_EQ(call.show, SW_HIDE);
}

TEST(ShellLauncher, UnsetTextsArePassedAsNull) {
    tools_test::shell_recorder shell(33);
    shell_launcher launcher;
    launcher.set_file(L"notepad.exe");
    EXPECT_TRUE(launcher.execute());
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_FALSE(shell.calls()[0].has_verb);
    EXPECT_FALSE(shell.calls()[0].has_params);
    launcher.set_params(L"");
    launcher.execute();
    EXPECT_TRUE(shell.calls()[1].has_params);  // an empty text gives ""
    EXPECT_EQ(shell.calls()[1].params, L"");
}

TEST(ShellLauncher, WithoutFileTheParametersTakeItsPlace) {
    tools_test::shell_recorder shell(42);
    shell_launcher launcher;
    launcher.set_params(L"https://example.invalid/");
    EXPECT_TRUE(launcher.execute());
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].file, L"https://example.invalid/");
    EXPECT_FALSE(shell.calls()[0].has_params);
}

TEST(ShellLauncher, ResultAbove32IsSuccess) {
    {
        tools_test::shell_recorder shell(33);
        shell_launcher launcher;
        EXPECT_TRUE(launcher.explore(L"C:\\"));
        EXPECT_EQ(launcher.refusal(), L"");
    }
    tools_test::shell_recorder shell(32);
    shell_launcher launcher;
    EXPECT_FALSE(launcher.explore(L"C:\\"));
    EXPECT_NE(launcher.refusal(), L"");
}

TEST(ShellLauncher, UnknownResultCodeShowsFileAndParameters) {
    tools_test::shell_recorder shell(4);
    shell_launcher launcher;
    launcher.set_verb(L"open");
    launcher.set_file(L"C:\\no\\such.exe");
    launcher.set_params(L"-x y");
    EXPECT_FALSE(launcher.execute());
    EXPECT_EQ(launcher.refusal(),
              L"Error\nC:\\no\\such.exe\n-x y\nOperation=\"open\"\nFile=\"C:\\no\\such.exe\"\n"
              L"Paramaters=\"-x y\"");
}

TEST(ShellLauncher, EveryDocumentedCodeHasItsReason) {
    const std::pair<int, const wchar_t*> table[] = {
        {0, L"The operating system is out of memory or resources."},
        {2, L"The specified file was not found."},
        {3, L"The specified path was not found."},
        {5, L"The operating system denied access to the specified file."},
        {8, L"There was not enough memory to complete the operation."},
        {11, L"The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
        {26, L"A sharing violation occurred."},
        {27, L"The filename association is incomplete or invalid."},
        {28, L"The DDE transaction could not be completed because the request timed out."},
        {29, L"The DDE transaction failed."},
        {30, L"The DDE transaction could not be completed because other DDE transactions were "
             L"being processed."},
        {31, L"There is no application associated with the given file name extension."},
        {32, L"The specified dynamic-link library was not found."}};
    for (const auto& row : table) {
        EXPECT_EQ(shell_error_text(row.first, L"f", L"p"), row.second) << row.first;
        EXPECT_EQ(shell_refusal_message(row.first, L"edit", L"f", L"p"),
                  std::wstring(row.second) + L"\nOperation=\"edit\"\nFile=\"f\"\nParamaters=\"p\"");
    }
    EXPECT_EQ(shell_error_text(1, L"f", L"p"), L"Error\nf\np");
    EXPECT_EQ(shell_error_text(-5, L"", L""), L"Error\n\n");
}

TEST(ShellLauncher, RefusalWithoutMainWindowShowsNothingAndFails) {
    tools_test::shell_recorder shell(2);
    shell_launcher launcher;
    launcher.set_file(L"C:\\no\\such.txt");
    EXPECT_FALSE(launcher.execute());
}

TEST(ShellLauncher, ExploreStartsExplorerWithTheFolder) {
    tools_test::shell_recorder shell(42);
    // A folder that does not exist is handed over all the same.
    EXPECT_TRUE(shell_launcher().explore(L"C:\\no such folder"));
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(to_lower(path_name(shell.calls()[0].file)), L"explorer.exe");
    EXPECT_TRUE(path_exists(shell.calls()[0].file, false)) << shell.calls()[0].file;
    EXPECT_EQ(shell.calls()[0].params, L"\"C:\\no such folder\"");
}

TEST(ShellLauncher, ExplorerGetsAFolderWithACommaWhole) {
    tools_test::shell_recorder shell(42);
    // Unquoted, Explorer would cut "C:\data\a,b" at the comma and open "a".
    EXPECT_TRUE(shell_launcher().explore(L"C:\\data\\a,b"));
    ASSERT_EQ(shell.calls().size(), 1u);
    EXPECT_EQ(shell.calls()[0].params, L"\"C:\\data\\a,b\"");
    EXPECT_EQ(explorer_argument(L"C:\\q\"x"), L"C:\\qx");
}

// Addresses from a shared settings file: a local program or anything but an
// https address with a server is never handed to the shell.
TEST(ShellLauncher, OnlyHttpsAddressesWithAServerAreOpened) {
    tools_test::shell_recorder shell(42);
    for (const wchar_t* bad : {L"C:\\windows\\notepad.exe", L"http://srv/x", L"https:///x",
                               L"https://srv/a b", L"https://srv/\"x", L"file:///C:/x.exe"})
        EXPECT_FALSE(open_web_address(bad)) << bad;
    EXPECT_TRUE(shell.calls().empty());
}

TEST(FindProgram, NotepadIsFoundInTheWindowsFolder) {
    EXPECT_EQ(to_lower(find_program(L"NotePad.exe")),
              to_lower(special_folder(CSIDL_WINDOWS) + L"\\NotePad.exe"));
}

TEST(FindProgram, ProgramFilesComeFirst) {
    const std::wstring folder = special_folder(CSIDL_PROGRAM_FILES) + L"\\quillet test programs";
    ASSERT_TRUE(make_folders(folder));
    ASSERT_TRUE(put_text(folder + L"\\tool.exe", "MZ"));
    EXPECT_EQ(find_program(L"quillet test programs\\tool.exe"), folder + L"\\tool.exe");
    DeleteFileW((folder + L"\\tool.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST(FindProgram, ExistingPathsAndUnknownNamesStayAsTheyAre) {
    scratch_folder dir;
    ASSERT_TRUE(put_text(dir.file(L"mine.exe"), "MZ"));
    EXPECT_EQ(find_program(dir.file(L"mine.exe")), dir.file(L"mine.exe"));
    EXPECT_EQ(find_program(L"no_such_tool_qz.exe"), L"no_such_tool_qz.exe");
    EXPECT_EQ(find_program(L"readme.txt"), L"readme.txt");
    EXPECT_EQ(find_program(L""), L"");
}

TEST(ShellLauncher, MissingProgramIsLookedForBySetFile) {
    tools_test::shell_recorder shell(42);
    shell_launcher launcher;
    launcher.set_file(L"NotePad.exe");
    EXPECT_EQ(to_lower(launcher.file()), to_lower(find_program(L"NotePad.exe")));
}
