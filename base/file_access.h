// File access: opening files with the retry policy, writing and reading open
// files, and copying files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/handles.h"

namespace quillet {

// Opens path with CreateFileW. An open that fails for a passing reason (a
// sharing or lock violation, or access denied on a plain writable file, as when
// a scanner or a pending removal holds it) is retried up to `attempts` times,
// wait_ms apart; other failures (missing file, folder, read-only file opened
// for writing) end at once. last_error, when given, receives the final error.
unique_hfile open_file_retrying(const std::wstring& path, DWORD access, DWORD share,
                                DWORD disposition, int attempts = 100, DWORD wait_ms = 100,
                                DWORD* last_error = nullptr);
// True when an open of path that failed with error may succeed on a later try.
bool open_error_is_passing(DWORD error, const std::wstring& path, bool for_writing);
// Writes all bytes to an open file, in pieces WriteFile can take; false when a
// write fails or stops short.
bool write_open_file(HANDLE file, const std::vector<uint8_t>& bytes);

bool copy_file(const std::wstring& src, const std::wstring& dst, bool fail_if_exists);

}  // namespace quillet
