#include <gtest/gtest.h>

#include <algorithm>

#include "base/paths.h"
#include "settings/tool_settings.h"
#include "settings_support.h"

using namespace quillet;
using namespace settings_test;
using testing_support::scratch_folder;

namespace {
std::wstring raw(const std::wstring& path, const wchar_t* s, const wchar_t* k) {
    wchar_t buf[512] = {};
    GetPrivateProfileStringW(s, k, L"<absent>", buf, 512, path.c_str());
    return buf;
}
}  // namespace

TEST(ToolSettings, DefaultFileIsToolIniBelowPublicDocuments) {
    tool_settings t;
    std::wstring documents = special_folder(0x2E);
    ASSERT_FALSE(documents.empty());
    EXPECT_EQ(t.name(), L"Tool");
    EXPECT_FALSE(t.use_registry());
    EXPECT_EQ(t.path(), documents + L"\\Temp\\Tool\\_setting\\Tool.ini");
    EXPECT_TRUE(folder_exists(documents + L"\\Temp\\Tool\\_setting"));
    // A section of the test's own in the real file, removed again.
    std::wstring section = L"quillet_settings_test_" + std::to_wstring(GetCurrentProcessId());
    EXPECT_TRUE(t.set_string(section, L"Key", L"value"));
    EXPECT_EQ(tool_settings().get_string(section, L"Key", L""), L"value");
    EXPECT_TRUE(t.ini_put_text(section, L"", L""));
    EXPECT_EQ(raw(t.path(), section.c_str(), L"Key"), L"<absent>");
}

TEST(ToolSettings, MinusOneIsStoredAsUnsignedText) {
    scratch_folder scratch;
    tool_settings t(scratch.path() + L"tool.ini");
    EXPECT_TRUE(t.set_dword(L"Check", L"Last", static_cast<uint32_t>(-1)));
    EXPECT_EQ(raw(t.path(), L"Check", L"Last"), L"4294967295");
    EXPECT_EQ(static_cast<int32_t>(t.get_dword(L"Check", L"Last", 0)), -1);
    EXPECT_EQ(t.get_dword(L"Check", L"Absent", 17), 17u);
    EXPECT_TRUE(t.set_qword(L"Check", L"Big", 18446744073709551615ULL));
    EXPECT_EQ(raw(t.path(), L"Check", L"Big"), L"18446744073709551615");
    EXPECT_EQ(t.get_qword(L"Check", L"Big", 0), 18446744073709551615ULL);
    EXPECT_EQ(t.get_qword(L"Check", L"Absent", 5000000000ULL), 5000000000ULL);
}

TEST(ToolSettings, EmptyPartsGiveTheDefaultOrFalse) {
    scratch_folder scratch;
    tool_settings t(scratch.path() + L"tool.ini");
    t.set_string(L"S", L"K", L"v");
    EXPECT_EQ(t.get_string(L"", L"K", L"d"), L"d");
    EXPECT_EQ(t.get_string(L"S", L"", L"d"), L"d");
    EXPECT_FALSE(t.set_string(L"", L"K", L"v"));
    tool_settings nowhere(L"");
    EXPECT_FALSE(nowhere.set_string(L"S", L"K", L"v"));
    EXPECT_EQ(nowhere.get_string(L"S", L"K", L"d"), L"d");
}

TEST(ToolSettings, EmptyKeyDeletesTheWholeSection) {
    scratch_folder scratch;
    tool_settings t(scratch.path() + L"tool.ini");
    t.set_string(L"Gone", L"A", L"1");
    t.set_string(L"Gone", L"B", L"2");
    t.set_string(L"Kept", L"C", L"3");
    EXPECT_TRUE(t.ini_put_text(L"Gone", L"", L"ignored"));
    EXPECT_EQ(raw(t.path(), L"Gone", L"A"), L"<absent>");
    EXPECT_EQ(raw(t.path(), L"Gone", L"B"), L"<absent>");
    EXPECT_EQ(raw(t.path(), L"Kept", L"C"), L"3");
}

TEST(ToolSettings, NewFileKeepsCharactersOutsideTheAnsiCodePage) {
    scratch_folder scratch;
    tool_settings t(scratch.path() + L"tool.ini");
    ASSERT_TRUE(t.set_string(L"Update", L"Title", L"更新 ✓ Ω"));
    EXPECT_EQ(t.get_string(L"Update", L"Title", L""), L"更新 ✓ Ω");
    std::vector<uint8_t> bytes = testing_support::get_bytes(t.path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
}

TEST(ToolSettings, LongValueIsReadWhole) {
    scratch_folder scratch;
    tool_settings t(scratch.path() + L"tool.ini");
    std::wstring value(9000, L'q');
    ASSERT_TRUE(t.set_string(L"S", L"Long", value));
    EXPECT_EQ(t.get_string(L"S", L"Long", L""), value);
}

TEST(ToolSettings, FailedWriteIsReportedOnStandardErrorAndRetried) {
    scratch_folder scratch;
    // The folder of the file does not exist: every write fails.
    tool_settings t(scratch.path() + L"missing\\folder\\tool.ini");
    testing::internal::CaptureStderr();
    DWORD start = GetTickCount();
    bool ok = t.set_string(L"Sec", L"Key", L"v");
    DWORD elapsed = GetTickCount() - start;
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(err.rfind("::WritePrivateProfileString Sec Key ", 0), 0u) << err;
    EXPECT_EQ(err.back(), '\n');
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    // Ten more attempts with a 10 ms pause after each.
    EXPECT_GE(elapsed, 80u);
}
