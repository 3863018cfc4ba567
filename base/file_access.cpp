// File access: the retry policy, opens, reads and writes in bounded requests,
// copies, and the long-path form.
#include "base/file_access.h"

#include <algorithm>
#include <new>

#include "base/file_status.h"
#include "base/folders.h"
#include "base/log.h"
#include "base/path_text.h"

namespace quillet {

namespace {

// Folder creation refuses plain paths of MAX_PATH - 12 characters and more
// (room for an 8.3 name must remain); files fail at MAX_PATH.
constexpr size_t plain_path_limit = MAX_PATH - 12;

bool writes(DWORD access) {
    return (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
}

}  // namespace

std::wstring win32_error_text(DWORD error) {
    return L"  (error " + std::to_wstring(error) + L")";
}

std::wstring full_path(const std::wstring& path) {
    if (path.empty()) return L"";
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return L"";
    std::wstring full(needed, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (n == 0 || n >= needed) return L"";
    full.resize(n);
    return full;
}

std::wstring extended_path(const std::wstring& path) {
    if (path.size() < plain_path_limit || path.compare(0, 4, L"\\\\?\\") == 0 ||
        path.compare(0, 4, L"\\\\.\\") == 0)
        return path;
    // The long form is taken literally: no "/" to "\\", no ".", "..", or
    // doubled separators; the full path name resolves all of these first.
    const std::wstring full = full_path(path);
    if (full.empty()) return path;
    if (is_network_path(full)) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool open_error_is_passing(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

DWORD with_retries(const std::function<bool()>& step, int attempts, DWORD wait_ms) {
    DWORD error = ERROR_INVALID_FUNCTION;
    for (int i = 0; i < attempts; ++i) {
        if (step()) return 0;
        error = GetLastError();
        if (error == 0) error = ERROR_GEN_FAILURE;  // a step that failed without a reason
        if (!open_error_is_passing(error)) break;
        if (i + 1 < attempts) Sleep(wait_ms);
    }
    return error;
}

DWORD replace_error_cause(DWORD error, const std::wstring& target) {
    if (error != ERROR_ACCESS_DENIED) return error;
    unique_hfile probe(CreateFileW(extended_path(target).c_str(), DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (probe) return error;
    const DWORD cause = GetLastError();
    return open_error_is_passing(cause) ? cause : error;
}

namespace {
thread_local int short_read_depth = 0;
}  // namespace

short_read_waits::short_read_waits() { ++short_read_depth; }
short_read_waits::~short_read_waits() { --short_read_depth; }

unique_hfile open_file_retrying(const std::wstring& path, DWORD access, DWORD share,
                                DWORD disposition, int attempts, DWORD wait_ms,
                                DWORD* last_error) {
    unique_hfile file;
    DWORD error = ERROR_INVALID_NAME;
    if (path.empty()) {
        // error stays "invalid name"
    } else if (writes(access) && is_read_only(path)) {
        error = ERROR_ACCESS_DENIED;
    } else {
        const std::wstring target = extended_path(path);
        if (!writes(access) && short_read_depth > 0) attempts = std::min(attempts, 2);
        error = with_retries(
            [&] {
                file.reset(CreateFileW(target.c_str(), access, share, nullptr, disposition,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
                return static_cast<bool>(file);
            },
            attempts, wait_ms);
    }
    if (last_error) *last_error = error;
    return file;
}

bool write_open_file(HANDLE file, const std::vector<uint8_t>& bytes) {
    return write_open_file(file, bytes.data(), bytes.size());
}

bool write_open_file(HANDLE file, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - done, io_request_limit));
        DWORD written = 0;
        if (!WriteFile(file, data + done, piece, &written, nullptr)) return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

int64_t bytes_to_hold(int64_t size) {
    if (size < 0) return -1;
    const uint64_t wanted = static_cast<uint64_t>(size);
    if (wanted > std::vector<uint8_t>().max_size() || wanted > SIZE_MAX) return -1;
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof(memory);
    // More than the system could ever commit cannot be held, however it is read.
    if (GlobalMemoryStatusEx(&memory) && wanted > memory.ullTotalPageFile) return -1;
    return size;
}

bool read_open_file(HANDLE file, std::vector<uint8_t>& bytes) {
    bytes.clear();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    const int64_t count = bytes_to_hold(size.QuadPart);
    if (count < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    try {
        bytes.resize(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(bytes);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        size_t got = 0;
        if (!read_request(file, bytes.data() + done, bytes.size() - done, got)) {
            const DWORD error = GetLastError();
            bytes.clear();
            SetLastError(error);
            return false;
        }
        if (got == 0) break;  // the file became shorter meanwhile
        done += got;
    }
    bytes.resize(done);
    return true;
}

bool read_request(HANDLE file, uint8_t* data, size_t size, size_t& got) {
    DWORD count = 0;
    const BOOL read = ReadFile(file, data, static_cast<DWORD>(std::min<size_t>(size, io_request_limit)),
                               &count, nullptr);
    got = read ? count : 0;
    return read != FALSE;
}

bool piece_memory_refused(const std::wstring& path) {
    wchar_t name[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"QUILLET_TEST_NO_MEMORY_FOR", name, MAX_PATH);
    return n > 0 && n < MAX_PATH &&
           CompareStringOrdinal(name, -1, path_name(path).c_str(), -1, TRUE) == CSTR_EQUAL;
}

FILETIME file_time_of(int64_t seconds) {
    const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ULL) * 10000000ULL;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

bool is_read_only(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(extended_path(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool copy_file(const std::wstring& src, const std::wstring& dst, bool fail_if_exists) {
    if (dst.empty() || !path_exists(src, false)) return false;
    if (fail_if_exists && path_exists(dst, false)) return false;
    const std::wstring folder = path_folder(dst);
    if (!folder_exists(folder) && !make_folders(folder)) return false;
    const std::wstring from = extended_path(src), to = extended_path(dst);
    const DWORD error = with_retries(
        [&] { return CopyFileW(from.c_str(), to.c_str(), fail_if_exists) != FALSE; });
    if (error != 0) log_line(L"Can't copy  " + src + L"  " + dst + win32_error_text(error));
    return error == 0;
}

}  // namespace quillet
