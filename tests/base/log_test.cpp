// Tests of the debug dump on the real dump files of the test prefix, and of the
// time formatting.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <thread>

#include "base/wide_text.h"
#include "base/log.h"
#include "base/paths.h"
#include "support/scratch.h"

using namespace quillet;
namespace ts = testing_support;

using testing_support::held_file;

namespace {
std::vector<std::wstring> dump_lines(const std::wstring& file) {
    std::vector<uint8_t> b = ts::get_bytes(file);
    return split_text(testing_support::utf16le_text(b), L"\r\n", true);
}

bool looks_like_timestamp(const std::wstring& t) {
    if (t.size() != 19) return false;
    const std::wstring shape = L"dddd/dd/dd dd:dd:dd";
    for (size_t i = 0; i < t.size(); ++i)
        if (shape[i] == L'd' ? !iswdigit(t[i]) : t[i] != shape[i]) return false;
    return true;
}

}  // namespace

TEST(TimeText, FormatsLocalTimeOfAnyDateAFileCanHold) {
    const int64_t mid2100 = 4102444800LL + 180 * 86400;  // July 2100 in every time zone
    EXPECT_EQ(time_text(mid2100, L"%Y"), L"2100");
    EXPECT_EQ(time_text(mid2100, L"%m"), L"06");
    EXPECT_EQ(time_text(mid2100, L""), L"");
    // Noon of 1902-06-01, 1960-06-01 and 2400-06-01 UTC: that day in every zone.
    EXPECT_EQ(time_text(-2132827200LL, L"%Y/%m/%d"), L"1902/06/01");
    EXPECT_EQ(time_text(-302443200LL, L"%Y/%m/%d"), L"1960/06/01");
    EXPECT_EQ(time_text(13582641600LL, L"%Y/%m/%d"), L"2400/06/01");
    // Beyond what four digits of a year show: the nearest time they can.
    EXPECT_EQ(time_text(-1000000000000000LL, L"%Y/%m/%d %H:%M:%S"), L"1601/01/01 00:00:00");
    EXPECT_EQ(time_text(900000000000LL, L"%Y/%m/%d %H:%M:%S"), L"9999/12/31 23:59:59");
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::wstring year = now_text(L"%Y");
    // The year may turn between the two calls only on New Year's Eve.
    EXPECT_TRUE(year == std::to_wstring(now.wYear) || year == std::to_wstring(now.wYear + 1));
    EXPECT_TRUE(looks_like_timestamp(now_text(L"%Y/%m/%d %H:%M:%S")));
}

TEST(DumpLog, FolderAndFileNames) {
    EXPECT_EQ(dump_folder(), path_add_sep(special_folder(0x2E)) + L"Temp\\Temp\\DbgDump\\WC");
    const std::wstring name = path_name(dump_file_path());
    EXPECT_EQ(path_folder(dump_file_path()), dump_folder());
    ASSERT_EQ(name.size(), 11u);  // MMDD_HH.txt
    EXPECT_EQ(name.substr(4, 1), L"_");
    EXPECT_EQ(name.substr(7), L".txt");
}

TEST(DumpLog, LineTextTurnsBreaksIntoTabs) {
    std::wstring line = dump_line_text(L"first\r\nsecond\nthird\rfourth");
    ASSERT_GT(line.size(), 20u);
    EXPECT_TRUE(looks_like_timestamp(line.substr(0, 19)));
    EXPECT_EQ(line.substr(19), L"\t" + path_name(module_path()) +
                                   L"\tfirst\t\tsecond\tthird\tfourth\r\n");
}

TEST(DumpLog, NewFileGetsMarkAndHeaderThenEntriesAppend) {
    const std::wstring file = dump_file_path();
    DeleteFileW(file.c_str());
    ASSERT_TRUE(log_line(L"first\r\nsecond"));
    ASSERT_TRUE(log_line(std::wstring(L"again").c_str()));
    if (dump_file_path() != file) GTEST_SKIP() << "the hour turned during the test";

    std::vector<uint8_t> b = ts::get_bytes(file);
    ASSERT_GE(b.size(), 2u);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xFE);
    std::vector<std::wstring> lines = dump_lines(file);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(looks_like_timestamp(lines[0].substr(0, 19)));
    EXPECT_EQ(lines[0].substr(19), L"\t" + user_name() + L"\t\t" + temp_folder() + L"\t\t" +
                                       current_folder() + L"\t\t" + module_path() + L"\t\t");
    const std::wstring program = L"\t" + path_name(module_path()) + L"\t";
    EXPECT_EQ(lines[1].substr(19), program + L"first\t\tsecond");
    EXPECT_EQ(lines[2].substr(19), program + L"again");
    // The whole file is UTF-16LE: an even count of bytes ending in CR LF.
    EXPECT_EQ(b.size() % 2, 0u);
    EXPECT_EQ(std::vector<uint8_t>(b.end() - 4, b.end()), (std::vector<uint8_t>{13, 0, 10, 0}));
}

TEST(DumpLog, DumpWriteAppendsGivenBytes) {
    const std::wstring tail = L"raw line \u3042\r\n";
    ASSERT_TRUE(dump_write(wide_bytes(tail)));
    std::vector<uint8_t> b = ts::get_bytes(dump_file_path());
    std::vector<uint8_t> want = wide_bytes(tail);
    ASSERT_GE(b.size(), want.size());
    EXPECT_TRUE(std::equal(want.begin(), want.end(), b.end() - want.size()));
}

TEST(DumpLog, FileHeldByAnotherHandleIsWaitedFor) {
    const std::wstring file = dump_file_path();
    ASSERT_TRUE(log_line(L"before hold"));
    {
        held_file hold(file, 400);
        ASSERT_TRUE(hold.held());
        EXPECT_TRUE(log_line(L"written after the hold"));
    }
    std::vector<std::wstring> lines = dump_lines(dump_file_path());
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(L"\twritten after the hold"), std::wstring::npos);
}

// Run in a child process by the next test: the first write of a process queues
// the aged dump files, and nothing is removed before the process ends.
TEST(LogChild, DISABLED_FirstWriteQueuesAgedFiles) {
    const std::wstring aged = get_env(L"QUILLET_AGED_FILE");
    ASSERT_FALSE(aged.empty());
    ASSERT_TRUE(ts::exists(aged));
    EXPECT_TRUE(aged_exit_ops().removals().empty());
    EXPECT_TRUE(log_line(L"child writes"));
    const auto& queued = aged_exit_ops().removals();
    EXPECT_NE(std::find(queued.begin(), queued.end(), aged), queued.end());
    EXPECT_TRUE(ts::exists(aged));
    const size_t count = queued.size();
    EXPECT_TRUE(log_line(L"child writes again"));
    EXPECT_EQ(aged_exit_ops().removals().size(), count);  // only once per process
}

TEST(DumpLog, AgedDumpFilesAreRemovedWhenTheWritingProcessEnds) {
    const std::wstring wc = path_add_sep(dump_folder());
    const std::wstring top = path_add_sep(path_folder(dump_folder()));
    ASSERT_TRUE(make_folders(wc));
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::wstring aged = wc + L"zz_aged_" + id + L".txt";
    const std::wstring aged_top = top + L"zz_aged_" + id + L".txt";
    const std::wstring fresh = wc + L"zz_fresh_" + id + L".txt";
    const std::wstring kept = wc + L"zz_readonly_" + id + L".txt";
    const std::wstring other = wc + L"zz_aged_" + id + L".log";
    const int64_t now = _time64(nullptr);
    for (const auto& f : {aged, aged_top, fresh, kept, other}) {
        ASSERT_TRUE(ts::put_text(f, "x"));
        ASSERT_TRUE(ts::set_mtime(f, now - 20 * 86400));
    }
    ASSERT_TRUE(ts::set_mtime(fresh, now - 9 * 86400));
    ASSERT_TRUE(SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY));

    SetEnvironmentVariableW(L"QUILLET_AGED_FILE", aged.c_str());
    std::wstring command = L"\"" + module_path() +
                           L"\" --gtest_also_run_disabled_tests --gtest_filter=LogChild.*";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    SetEnvironmentVariableW(L"QUILLET_AGED_FILE", nullptr);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);

    EXPECT_FALSE(ts::exists(aged));
    EXPECT_FALSE(ts::exists(aged_top));
    EXPECT_TRUE(ts::exists(fresh));
    EXPECT_TRUE(ts::exists(kept));
    EXPECT_TRUE(ts::exists(other));
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const auto& f : {aged, aged_top, fresh, kept, other}) DeleteFileW(f.c_str());
}
