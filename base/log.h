// The debug dump: an append-only log in hourly UTF-16LE files under
// common documents\Temp\Temp\DbgDump\WC, one line per entry with timestamp and
// program name; plus the time formatting the rest of the program uses.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// Current local time formatted with wcsftime; "" when it cannot be formatted.
std::wstring now_text(const std::wstring& format);
// Time t (seconds since 1970, negative before it) as local time formatted with
// wcsftime, for any date a file can hold (years past 9999 as 9999-12-31
// 23:59:59); "" on failure.
std::wstring time_text(int64_t t, const std::wstring& format);

// The code runs inside a DLL (the module holding it has the extension "dll"):
// then the program logs nothing.
bool built_into_dll();

// Writes one log line: timestamp, tab, program file name, tab, message (each CR
// and LF turned into a tab), CR LF. False when the line could not be written.
bool log_line(const std::wstring& message);
bool log_line(const wchar_t* message);
// While one lives, the log lines its thread writes are kept (as dump_line_text
// gives them, with the time each was written) instead of written; take()
// hands them over for dump_write. The workers of a copy run keep their
// entries' lines so that the log lists the entries in list order.
class log_capture {
public:
    log_capture();
    ~log_capture();
    log_capture(const log_capture&) = delete;
    log_capture& operator=(const log_capture&) = delete;
    std::vector<uint8_t> take();
private:
    std::vector<uint8_t> lines_;
    std::vector<uint8_t>* outer_;
};
// The text log_line writes for message, for callers that gather several lines
// and hand them to dump_write at once.
std::wstring dump_line_text(const std::wstring& message);
// Appends bytes (UTF-16LE log lines) to the current hourly dump file, which gets
// a byte-order mark and a header line when it is new. False when dropped.
bool dump_write(const std::vector<uint8_t>& bytes);

// The dump folder (ending in DbgDump\WC, no trailing separator) and the file a
// write made now goes to.
std::wstring dump_folder();
std::wstring dump_file_path();

}  // namespace quillet
