// File status: the runtime's status of a path with the file system's own
// query as fallback, the attribute word, the network-path test and the
// existence tests.
#include "base/file_status.h"

#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>

#include "base/file_access.h"
#include "base/file_identity.h"
#include "base/handles.h"
#include "base/path_text.h"

namespace quillet {

namespace {
constexpr int64_t kEpochDiff = 116444736000000000LL;  // 1601 to 1970 in 100 ns

int64_t seconds_of(const FILETIME& ft) {
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    return (static_cast<int64_t>(u.QuadPart) - kEpochDiff) / 10000000LL;
}

// The runtime's access test does not take the long form a network path past
// MAX_PATH needs; the file system's attribute query does.
bool unc_accessible(const std::wstring& path) {
    const std::wstring platform_path = extended_path(path);
    if (platform_path != path) return GetFileAttributesW(platform_path.c_str()) != INVALID_FILE_ATTRIBUTES;
    return _waccess(path.c_str(), 0) == 0;
}

}  // namespace

bool is_network_path(const std::wstring& path) { return path.compare(0, 2, L"\\\\") == 0; }

file_status::file_status(const std::wstring& path) {
    struct _stat64 st{};
    if (_wstat64(path.c_str(), &st) == 0) {
        mode_ = st.st_mode & 0xFFFF;
        size_ = st.st_size;
        atime_ = st.st_atime;
        mtime_ = st.st_mtime;
        ctime_ = st.st_ctime;
        return;
    }
    error_ = errno;
    const std::wstring platform_path = extended_path(path);
    if (error_ != EINVAL && platform_path == path) return;
    // The runtime refuses some valid paths (wildcards, some odd forms) and
    // does not take paths past MAX_PATH; the file system's own query answers
    // for them.
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(platform_path.c_str(), GetFileExInfoStandard, &d)) return;
    size_ = (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    atime_ = seconds_of(d.ftLastAccessTime);
    mtime_ = seconds_of(d.ftLastWriteTime);
    ctime_ = seconds_of(d.ftCreationTime);
    mode_ = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0x4000 : 0x8000;
    error_ = 0;
}

file_attr::file_attr(const std::wstring& path)
    : path_(path_del_sep(path_normalize(path, L"\\"))),
      attributes_(path.empty() ? INVALID_FILE_ATTRIBUTES
                               : GetFileAttributesW(extended_path(path_).c_str())) {}

bool file_attr::clear(DWORD mask) {
    if (missing()) return false;
    return SetFileAttributesW(extended_path(path_).c_str(), attributes_ & ~mask) != FALSE;
}

bool file_attr::set(DWORD mask) {
    if (missing()) return false;
    return SetFileAttributesW(extended_path(path_).c_str(), attributes_ | mask) != FALSE;
}

bool file_attr::clear_if_set(DWORD mask) { return has(mask) ? clear(mask) : true; }

bool folder_exists(const std::wstring& path) {
    std::wstring p = path_del_sep(path);
    if (p.empty()) return false;
    if (is_network_path(p)) return unc_accessible(p);
    file_status st(p);
    return !st.failed() && st.is_folder();
}

bool path_exists(const std::wstring& path, bool folders_only) {
    if (path.empty()) return false;
    if (is_network_path(path)) return unc_accessible(path);
    file_status st(path);
    if (st.failed()) return false;
    return st.is_folder() || !folders_only;
}

bool path_exists_ini(const std::wstring& path, bool non_empty) {
    if (path.empty()) return false;
    if (is_network_path(path) && !non_empty) return unc_accessible(path);
    file_status st(path);
    if (st.failed()) return false;
    if (st.is_folder()) return true;
    return !non_empty || st.size() != 0;
}

bool same_file(const std::wstring& a, const std::wstring& b) {
    const file_identity ia = identity_of(a), ib = identity_of(b);
    if (ia.known && ib.known) return ia.same_as(ib);
    if (!ib.known) return false;  // b does not exist (yet)
    const std::wstring fa = full_path(a), fb = full_path(b);
    return to_lower(fa.empty() ? a : fa) == to_lower(fb.empty() ? b : fb);
}

}  // namespace quillet
