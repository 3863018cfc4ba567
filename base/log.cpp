// The debug dump: hourly UTF-16LE files with a header line, one line per entry.
#include "base/log.h"

#include <windows.h>

#include <algorithm>
#include <ctime>
#include <mutex>

#include "base/wide_text.h"
#include "base/file_status.h"
#include "base/paths.h"

namespace quillet {

namespace {
// Set until the first write of the process, which queues the removal of old
// dump files.
bool g_first_write = true;

std::wstring tabs_for_breaks(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\r' || c == L'\n') c = L'\t';
    return text;
}

std::wstring header_text() {
    std::wstring values = user_name() + L"\r\n" + temp_folder() + L"\r\n" + current_folder() +
                          L"\r\n" + module_path(nullptr) + L"\r\n";
    return now_text(L"%Y/%m/%d %H:%M:%S") + L"\t" + tabs_for_breaks(values) + L"\r\n";
}

}  // namespace

std::wstring time_text(int64_t t, const std::wstring& format) {
    if (format.empty()) return L"";
    // Through the platform's file times, which hold 1601 to 30828: the
    // runtime's local time refuses dates before 1970. A year the formats'
    // four digits cannot show is shown as the nearest time they can.
    constexpr int64_t kFirst = -11644473600LL;  // 1601-01-01 00:00:00 UTC
    constexpr int64_t kLast = 253402300799LL;   // 9999-12-31 23:59:59 UTC
    const int64_t seconds = std::min(std::max(t, kFirst), kLast);
    const FILETIME ft = file_time_from((seconds - kFirst) * 10000000LL);
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&ft, &utc)) return L"";
    // Local time by the rules of that date; at the ends of the range, where
    // the zone's offset would leave it, the time itself.
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) || local.wYear < 1601 ||
        local.wYear > 9999)
        local = utc;
    struct tm tm_local{};
    tm_local.tm_year = local.wYear - 1900;
    tm_local.tm_mon = local.wMonth - 1;
    tm_local.tm_mday = local.wDay;
    tm_local.tm_hour = local.wHour;
    tm_local.tm_min = local.wMinute;
    tm_local.tm_sec = local.wSecond;
    tm_local.tm_wday = local.wDayOfWeek;
    static const int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int year = local.wYear;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    tm_local.tm_yday = kDaysBefore[tm_local.tm_mon] + local.wDay - 1 + (leap && tm_local.tm_mon > 1);
    tm_local.tm_isdst = -1;
    wchar_t buf[256] = {};
    const size_t n = wcsftime(buf, 256, format.c_str(), &tm_local);
    return std::wstring(buf, n);
}

bool built_into_dll() {
    // The module that holds this code: the program itself when linked
    // statically, a DLL when the libraries are built into one.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&built_into_dll), &module);
    return path_ext_lower(module_path(module)) == L"dll";
}

std::wstring now_text(const std::wstring& format) { return time_text(_time64(nullptr), format); }

std::wstring dump_folder() {
    std::wstring folder = path_add_sep(special_folder(0x2E), L"\\") + L"Temp";
    folder = path_add_sep(folder, L"\\") + L"Temp";
    folder = path_add_sep(folder, L"\\") + L"DbgDump";
    return path_add_sep(folder, L"\\") + L"WC";
}

std::wstring dump_file_path() {
    return path_add_sep(dump_folder(), L"\\") + now_text(L"%m%d_%H") + L".txt";
}

bool dump_write(const std::vector<uint8_t>& bytes) {
    // The window's thread and the thread its work runs on both write here.
    static std::mutex one_writer;
    const std::lock_guard<std::mutex> hold(one_writer);
    const std::wstring folder = dump_folder();
    const std::wstring file = path_add_sep(folder, L"\\") + now_text(L"%m%d_%H") + L".txt";
    if (g_first_write) {
        g_first_write = false;
        delete_aged(path_add_sep(path_folder(folder), L"\\") + L".txt", 10);
        delete_aged(path_add_sep(folder, L"\\") + L".txt", 10);
    }
    if (!folder_exists(folder)) make_folders_silently(folder);
    // Other instances of the program append to the same file; a viewer may hold
    // it for a moment. Both are waited out by the retries.
    unique_hfile out = open_file_retrying(file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          OPEN_ALWAYS);
    if (!out) return false;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(out.get(), &size) && size.QuadPart == 0) {
        std::vector<uint8_t> head = {0xFF, 0xFE};
        std::vector<uint8_t> header = wide_bytes(header_text());
        head.insert(head.end(), header.begin(), header.end());
        if (!write_open_file(out.get(), head)) return false;
    }
    return write_open_file(out.get(), bytes);
}

std::wstring dump_line_text(const std::wstring& message) {
    return now_text(L"%Y/%m/%d %H:%M:%S") + L"\t" + path_name(module_path(nullptr)) + L"\t" +
           tabs_for_breaks(message) + L"\r\n";
}

namespace {
// Where this thread's log lines go instead of the file, while a capture lives.
thread_local std::vector<uint8_t>* captured_lines = nullptr;
}  // namespace

log_capture::log_capture() : outer_(captured_lines) { captured_lines = &lines_; }

log_capture::~log_capture() { captured_lines = outer_; }

std::vector<uint8_t> log_capture::take() {
    std::vector<uint8_t> lines;
    lines.swap(lines_);
    return lines;
}

bool log_line(const std::wstring& message) {
    if (captured_lines) {
        append_wide_bytes(dump_line_text(message), *captured_lines);
        return true;
    }
    return dump_write(wide_bytes(dump_line_text(message)));
}

bool log_line(const wchar_t* message) { return log_line(std::wstring(message ? message : L"")); }

}  // namespace quillet
