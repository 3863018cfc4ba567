// File access: opens with the retry policy, writes of open files, copies.
#include "base/file_access.h"

#include <algorithm>

#include "base/file_status.h"
#include "base/folders.h"
#include "base/path_text.h"

namespace quillet {


bool open_error_is_passing(DWORD error, const std::wstring& path, bool for_writing) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
    if (error != ERROR_ACCESS_DENIED) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    return !(for_writing && (attributes & FILE_ATTRIBUTE_READONLY));
}

unique_hfile open_file_retrying(const std::wstring& path, DWORD access, DWORD share,
                                DWORD disposition, int attempts, DWORD wait_ms,
                                DWORD* last_error) {
    const bool writing = (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    DWORD error = ERROR_INVALID_NAME;
    if (writing && !path.empty()) {
        // A read-only file is never written, also where the platform would let
        // a privileged user do it (Wine run by root).
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            if (last_error) *last_error = ERROR_ACCESS_DENIED;
            return unique_hfile();
        }
    }
    for (int i = 0; i < attempts && !path.empty(); ++i) {
        unique_hfile file(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            if (last_error) *last_error = ERROR_SUCCESS;
            return file;
        }
        error = GetLastError();
        if (!open_error_is_passing(error, path, writing)) break;
        if (i + 1 < attempts) Sleep(wait_ms);
    }
    if (last_error) *last_error = error;
    return unique_hfile();
}

bool write_open_file(HANDLE file, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}


bool copy_file(const std::wstring& src, const std::wstring& dst, bool fail_if_exists) {
    if (dst.empty() || !path_exists(src, false)) return false;
    if (fail_if_exists && path_exists(dst, false)) return false;
    std::wstring folder = path_folder(dst);
    if (!folder_exists(folder) && !make_folders(folder)) return false;
    return CopyFileW(src.c_str(), dst.c_str(), fail_if_exists) != FALSE;
}

}  // namespace quillet
