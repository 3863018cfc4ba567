// File access: the retry policy for files other programs hold, opening,
// reading and writing files in requests the platform always takes, copying
// files, the long-path form the platform needs past MAX_PATH, and the Win32
// error code every failure line ends with.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/handles.h"

namespace quillet {

// The largest byte count handed to the platform in one read or write. Requests
// of 64 MB or more to files on network shares fail on some Windows versions
// (ERROR_NO_SYSTEM_RESOURCES), and destinations may be network folders; 4 MB
// pieces stay clear of that and cost nothing measurable on local disks.
constexpr DWORD io_request_limit = 4u << 20;

// "  (error N)" for a Win32 error code, to end a failure's log line.
std::wstring win32_error_text(DWORD error);

// The form of path to hand to the platform's file functions: paths too long
// for the plain form (248 characters and more, the limit of folder creation)
// become full "\\\\?\\C:\\..." or "\\\\?\\UNC\\server\\share\\..." paths;
// shorter paths and paths already in that form are returned as they are.
std::wstring extended_path(const std::wstring& path);

// The full form of a path (GetFullPathNameW: made absolute, "." and ".."
// resolved, trailing dots and spaces of the last part dropped); "" when the
// platform refuses the path.
std::wstring full_path(const std::wstring& path);

// The retry policy. Only a passing condition is waited for: another program
// holding the file (a sharing or lock violation). Permission denied, missing
// files, folders and paths fail at once: waiting cannot change them.
bool open_error_is_passing(DWORD error);
// Runs step (which returns false with the reason in GetLastError) until it
// succeeds, retrying while it fails for a passing reason, at most `attempts`
// times wait_ms apart. 0 when it succeeded, else the last error.
DWORD with_retries(const std::function<bool()>& step, int attempts = 100, DWORD wait_ms = 100);

// The cause of a failed move or replacement of target: a target that another
// program holds refuses the move with ERROR_ACCESS_DENIED, as a lasting
// permission problem does; this tells the two apart by opening the target
// for removal, and gives ERROR_SHARING_VIOLATION for a held one.
DWORD replace_error_cause(DWORD error, const std::wstring& target);

// Opens path with CreateFileW under the retry policy. A read-only file is
// never opened for writing (ERROR_ACCESS_DENIED), also where the platform would
// let a privileged user do it. last_error, when given, receives the final error.
unique_hfile open_file_retrying(const std::wstring& path, DWORD access, DWORD share,
                                DWORD disposition, int attempts = 100, DWORD wait_ms = 100,
                                DWORD* last_error = nullptr);
// While one lives, opens for reading on this thread wait at most about 100 ms
// for a file another program holds (the status lines must not hold the
// window); opens for writing keep their full retries.
class short_read_waits {
public:
    short_read_waits();
    ~short_read_waits();
    short_read_waits(const short_read_waits&) = delete;
    short_read_waits& operator=(const short_read_waits&) = delete;
};
// Writes all bytes to an open file, at most io_request_limit per request; false
// (the reason in GetLastError) when a write fails or stops short.
bool write_open_file(HANDLE file, const uint8_t* data, size_t size);
bool write_open_file(HANDLE file, const std::vector<uint8_t>& bytes);
// One read of at most `size` bytes (and never more than io_request_limit) from
// an open file at its position; got receives the count, 0 at the end. False
// (the reason in GetLastError) when the read fails.
bool read_request(HANDLE file, uint8_t* data, size_t size, size_t& got);

// How many bytes a file of status size `size` is read as: the whole size, or -1
// when that many bytes cannot be held in memory here (never a shortened count).
int64_t bytes_to_hold(int64_t size);
// Reads an open file whole from its current start, at most io_request_limit
// per request; false (bytes empty, the reason in GetLastError) when it is too
// large to hold or a read fails.
bool read_open_file(HANDLE file, std::vector<uint8_t>& bytes);

// A test seam: while the environment variable QUILLET_TEST_NO_MEMORY_FOR holds
// a file name, every piece reader of a file of that name (any folder, any
// case) finds no memory for its buffer and throws std::bad_alloc, as it would
// when the machine has none to give. Child processes inherit it, so the
// console front end can be tested the same way.
bool piece_memory_refused(const std::wstring& path);

// The platform's form of a time in seconds since 1970.
FILETIME file_time_of(int64_t seconds);
// path is a plain file with the read-only attribute (any length of path).
bool is_read_only(const std::wstring& path);

// Copies src to dst (CopyFileW), creating dst's folder when missing, under the
// retry policy. False when src is missing, when fail_if_exists and dst exists,
// or when the copy fails (logged "Can't copy  " src, dst and the error).
bool copy_file(const std::wstring& src, const std::wstring& dst, bool fail_if_exists);

}  // namespace quillet
