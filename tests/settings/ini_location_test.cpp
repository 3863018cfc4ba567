#include <gtest/gtest.h>

#include <regex>

#include "base/log.h"
#include "base/paths.h"
#include "settings/ini_location.h"
#include "settings/registry_key.h"
#include "settings_support.h"

using namespace quillet;
using namespace settings_test;
using testing_support::get_bytes;
using testing_support::put_bytes;
using testing_support::scratch_folder;

namespace {
const std::wstring bench_key = L"Software\\n_Bench";

std::wstring without_sep(const std::wstring& p) {
    return (!p.empty() && p.back() == L'\\') ? p.substr(0, p.size() - 1) : p;
}
}  // namespace

TEST(IniLocation, PathJoinStripsSeparatorsOfBothParts) {
    EXPECT_EQ(path_join(L"", L"n_Bench"), L"n_Bench");
    EXPECT_EQ(path_join(L"n_Bench", L"_Setting"), L"n_Bench\\_Setting");
    EXPECT_EQ(path_join(L"\\a\\", L"/b/"), L"a\\b");
    EXPECT_EQ(path_join(L"//x//", L"\\\\y"), L"x\\y");
    EXPECT_EQ(path_join(L"a", L"\\/\\"), L"a");
    EXPECT_EQ(path_join(L"", L""), L"");
    EXPECT_EQ(path_join(L"a\\b", L"c"), L"a\\b\\c");
}

TEST(IniLocation, RegistryBaseIsNBenchAndRecorded) {
    saved_value keep(bench_key, L"");
    reg_delete_value(bench_key, nullptr);
    EXPECT_EQ(read_registry_base(), L"n_Bench");
    std::wstring recorded;
    ASSERT_TRUE(reg_read_sz(bench_key, L"RegKey_Base は", recorded));
    EXPECT_EQ(recorded, L"n_Bench");
}

TEST(IniLocation, DefaultValueOfNBenchRedirectsTheRegistryBase) {
    std::wstring cached = registry_base();  // the process's base, known before the change
    std::wstring other = L"quillet_settings_test_base_" + std::to_wstring(GetCurrentProcessId());
    scratch_folder scratch;
    {
        saved_value keep(bench_key, L"");
        ASSERT_TRUE(reg_write_sz(bench_key, nullptr, other));
        EXPECT_EQ(read_registry_base(), other);
        std::wstring recorded;
        ASSERT_TRUE(reg_read_sz(bench_key, L"RegKey_Base は", recorded));
        EXPECT_EQ(recorded, other);
        // The INI folder is now looked up below the redirected base.
        std::wstring redirected_key = L"Software\\" + other + L"\\n_Bench";
        ASSERT_TRUE(reg_write_sz(redirected_key, L"IniFullBase", without_sep(scratch.path())));
        EXPECT_EQ(ini_folder_below(other), without_sep(scratch.path()));
        ASSERT_TRUE(reg_read_sz(redirected_key, L"IniFullBase は", recorded));
        EXPECT_EQ(recorded, without_sep(scratch.path()));
        reg_delete_tree(L"Software\\" + other);
    }
    // Computed once per process: the cached base does not follow the change.
    EXPECT_EQ(registry_base(), cached);
    read_registry_base();  // records the base in effect again
}

TEST(IniLocation, DefaultFolderIsBelowPublicDocumentsAndExists) {
    std::wstring key = L"Software\\" + registry_base() + L"\\n_Bench";
    saved_value keep(key, L"IniFullBase");
    reg_delete_value(key, L"IniFullBase");
    std::wstring folder = ini_folder();
    std::wstring documents = special_folder(0x2E);
    ASSERT_FALSE(documents.empty());
    bool plain = folder == documents + L"\\n_Bench\\_Setting";
    bool temp = folder == documents + L"\\Temp\\n_Bench\\_Setting";
    EXPECT_TRUE(plain || temp) << folder;
    EXPECT_TRUE(folder_exists(folder));
    std::wstring recorded;
    ASSERT_TRUE(reg_read_sz(key, L"IniFullBase は", recorded));
    EXPECT_EQ(recorded, folder);
}

TEST(IniLocation, IniFullBaseMovesTheFileAndItsFolderIsCreated) {
    scratch_folder scratch;
    std::wstring key = L"Software\\" + registry_base() + L"\\n_Bench";
    saved_value keep(key, L"IniFullBase");
    std::wstring target = scratch.path() + L"deeper\\still";
    ASSERT_TRUE(reg_write_sz(key, L"IniFullBase", target));
    EXPECT_EQ(ini_path(L"quillet.INI"), target + L"\\quillet.INI");
    EXPECT_TRUE(folder_exists(target));
    EXPECT_EQ(ini_path(L"other"), target + L"\\other.ini");
    EXPECT_EQ(ini_path(L"notes.txt"), target + L"\\notes.txt.ini");
    EXPECT_EQ(ini_path(L"Mixed.Ini"), target + L"\\Mixed.Ini");
}

TEST(IniLocation, FullPathStaysWhereItIs) {
    scratch_folder scratch;
    std::wstring path = scratch.path() + L"sub\\given.ini";
    EXPECT_EQ(ini_path(path), path);
    EXPECT_TRUE(folder_exists(scratch.path() + L"sub"));
    EXPECT_FALSE(testing_support::exists(path));  // a missing file is left alone
}

TEST(IniLocation, AnsiFileGainsHeaderAndBecomesUtf16) {
    scratch_folder scratch;
    std::wstring path = scratch.path() + L"ansi.ini";
    // [Main] Name=値 in Shift_JIS.
    std::vector<uint8_t> ansi = {'[', 'M', 'a', 'i', 'n', ']', '\r', '\n', 'N', 'a', 'm',
                                 'e', '=', 0x92, 0x6C, '\r', '\n'};
    ASSERT_TRUE(put_bytes(path, ansi));
    EXPECT_EQ(ini_path(path), path);
    std::vector<uint8_t> bytes = get_bytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    std::wstring text = ini_text(path);
    std::wstring rule = L";" + std::wstring(69, L'-');
    std::wregex header(rule + L"\r\n;\t\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}\r\n" + rule +
                       L"\r\n\\[Main\\]\r\nName=値\r\n");
    EXPECT_TRUE(std::regex_match(text, header)) << std::string(text.begin(), text.end());
    wchar_t value[32] = {};
    GetPrivateProfileStringW(L"Main", L"Name", L"", value, 32, path.c_str());
    EXPECT_STREQ(value, L"値");
    // Converted once: a second look changes nothing.
    ini_path(path);
    EXPECT_EQ(get_bytes(path), bytes);
}

TEST(IniLocation, ConversionThatCannotReplaceTheFileKeepsItWhole) {
    scratch_folder scratch;
    std::wstring path = scratch.path() + L"locked.ini";
    const std::vector<uint8_t> ansi = {'[', 'M', ']', '\r', '\n', 'k', '=', 'v', '\r', '\n'};
    ASSERT_TRUE(put_bytes(path, ansi));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ini_path(path), path);
    EXPECT_EQ(get_bytes(path), ansi);
    const std::wstring log = testing_support::last_line_with(dump_file_path(), L"::ini_path");
    EXPECT_NE(log.find(L"Can't convert to UTF-16   " + path), std::wstring::npos) << log;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // Converted once it may be replaced; nothing is left beside it.
    ini_path(path);
    EXPECT_EQ(get_bytes(path)[0], 0xFF);
    EXPECT_EQ(list_folder(scratch.path()), (std::vector<std::wstring>{path}));
}

TEST(IniLocation, Utf16FileAndEmptyFileAreNotTouched) {
    scratch_folder scratch;
    std::wstring unicode = scratch.path() + L"unicode.ini";
    std::vector<uint8_t> bytes = testing_support::utf16le_bytes(L"[A]\r\nk=v\r\n", true);
    ASSERT_TRUE(put_bytes(unicode, bytes));
    ini_path(unicode);
    EXPECT_EQ(get_bytes(unicode), bytes);
    std::wstring empty = scratch.path() + L"empty.ini";
    ASSERT_TRUE(put_bytes(empty, {}));
    ini_path(empty);
    EXPECT_TRUE(testing_support::exists(empty));
    EXPECT_TRUE(get_bytes(empty).empty());
}

TEST(IniLocation, HeaderHasThreeLines) {
    std::wstring h = ini_header(L"2026/12/07 20:00:00");
    std::wstring rule = L";" + std::wstring(69, L'-') + L"\r\n";
    EXPECT_EQ(h, rule + L";\t2026/12/07 20:00:00\r\n" + rule);
}
