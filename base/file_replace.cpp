#include "base/file_replace.h"

#include <algorithm>
#include <atomic>

#include "base/log.h"
#include "base/paths.h"

namespace quillet {

namespace {

// Sibling names carry the process id and a counter, so that two processes
// (or two runs in one process) never pick the same one; CREATE_NEW makes sure
// an existing file of that name is never opened.
std::wstring sibling_name(const std::wstring& target, const std::wstring& folder, unsigned serial) {
    const std::wstring base = folder.empty() ? target : path_add_sep(folder, L"\\") + path_name(target);
    return base + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(serial) +
           L".tmp";
}

unsigned next_serial() {
    static std::atomic<unsigned> serial{0};
    return ++serial;
}

// Reads the open file back from its start and compares it with bytes.
bool file_holds(HANDLE file, const std::vector<uint8_t>& bytes) {
    LARGE_INTEGER size{}, start{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart != static_cast<LONGLONG>(bytes.size()) ||
        !SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    std::vector<uint8_t> buffer(std::min<size_t>(io_request_limit, bytes.size()));
    size_t done = 0;
    while (done < bytes.size()) {
        size_t got = 0;
        if (!read_request(file, buffer.data(), std::min(buffer.size(), bytes.size() - done), got) ||
            got == 0)
            return false;
        if (!std::equal(buffer.begin(), buffer.begin() + got, bytes.begin() + done)) return false;
        done += got;
    }
    return true;
}

}  // namespace

sibling_file::sibling_file(const std::wstring& target, const std::wstring& folder)
    : target_(target) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = sibling_name(target, folder, next_serial());
        file_.reset(CreateFileW(extended_path(path_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
        if (file_) {
            error_ = 0;
            return;
        }
        error_ = GetLastError();
        if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) break;
    }
    log_line(L"Can't open wb  " + target_ + win32_error_text(error_));
    path_.clear();
}

sibling_file::~sibling_file() {
    file_.reset();
    if (!committed_ && !path_.empty()) DeleteFileW(extended_path(path_).c_str());
}

bool sibling_file::flush() {
    if (!file_) return false;
    if (FlushFileBuffers(file_.get())) return true;
    log_line(L"Can't write wb  " + target_ + win32_error_text(GetLastError()));
    return false;
}

bool sibling_file::close() {
    if (!file_) return !path_.empty();
    const bool flushed = flush();
    file_.reset();
    return flushed;
}

bool sibling_file::commit(bool replace) {
    if (path_.empty()) return false;
    file_.reset();
    const std::wstring from = extended_path(path_), to = extended_path(target_);
    const DWORD error = with_retries([&] {
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (MoveFileExW(from.c_str(), to.c_str(), flags)) return true;
        DWORD cause = replace_error_cause(GetLastError(), target_);
        // The probe found no holder: either the refusal stays, or the holder
        // let go between the move and the probe. One more move tells them
        // apart (and a holder back in the meantime is a passing cause again).
        if (cause == ERROR_ACCESS_DENIED) {
            if (MoveFileExW(from.c_str(), to.c_str(), flags)) return true;
            cause = replace_error_cause(GetLastError(), target_);
        }
        SetLastError(cause);
        return false;
    });
    if (error == 0) {
        committed_ = true;
        return true;
    }
    log_line(L"Can't replace  " + target_ + win32_error_text(error));
    DeleteFileW(from.c_str());
    path_.clear();
    return false;
}

bool sibling_file::commit_new(bool& existed) {
    existed = false;
    if (path_.empty()) return false;
    file_.reset();
    const std::wstring from = extended_path(path_), to = extended_path(target_);
    // Without MOVEFILE_REPLACE_EXISTING a file at the target's name stops the move.
    const DWORD error = with_retries([&] {
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
    });
    if (error == 0) {
        committed_ = true;
        return true;
    }
    existed = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    if (existed) return false;
    log_line(L"Can't replace  " + target_ + win32_error_text(error));
    DeleteFileW(from.c_str());
    path_.clear();
    return false;
}

bool replace_file_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    // A read-only file stays as it is, also where the platform would let a
    // privileged user replace it (Wine run by root).
    if (path.empty() || is_read_only(path)) {
        const DWORD error = path.empty() ? ERROR_INVALID_NAME : ERROR_ACCESS_DENIED;
        log_line(L"Can't open wb  " + path + win32_error_text(error));
        return false;
    }
    sibling_file sibling(path);
    if (!sibling.ok()) return false;
    if (!write_open_file(sibling.handle(), bytes)) {
        log_line(L"Can't write wb  " + path + win32_error_text(GetLastError()));
        return false;
    }
    // Read back through the handle that wrote it, once its data is on disk.
    if (!sibling.flush()) return false;
    if (!file_holds(sibling.handle(), bytes)) {
        log_line(L"Can't write wb  " + path + L"  (read back differs)");
        return false;
    }
    return sibling.commit();
}

}  // namespace quillet
