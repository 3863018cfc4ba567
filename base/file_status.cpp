// File status: the file system's status of a path, the attribute word, the network-path test and the
// existence tests.
#include "base/file_status.h"

#include <io.h>

#include <algorithm>
#include <cerrno>

#include "base/file_access.h"
#include "base/file_identity.h"
#include "base/handles.h"
#include "base/path_text.h"

namespace quillet {

namespace {

// The runtime's access test does not take the long form a network path past
// MAX_PATH needs; the file system's attribute query does.
bool unc_accessible(const std::wstring& path) {
    const std::wstring platform_path = extended_path(path);
    if (platform_path != path) return GetFileAttributesW(platform_path.c_str()) != INVALID_FILE_ATTRIBUTES;
    return _waccess(path.c_str(), 0) == 0;
}

// "\\server\share" or "\\?\UNC\server\share": the root of a share.
bool is_share_root(const std::wstring& path) {
    size_t start = 0;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) start = 8;
    else if (path.compare(0, 2, L"\\\\") == 0 && path.compare(0, 4, L"\\\\?\\") != 0) start = 2;
    else return false;
    const std::wstring rest = path.substr(start);
    const size_t sep = rest.find_first_of(L"\\/");
    return sep != std::wstring::npos && sep > 0 && sep + 1 < rest.size() &&
           rest.find_first_of(L"\\/", sep + 1) == std::wstring::npos;
}

}  // namespace

bool is_network_path(const std::wstring& path) { return path.compare(0, 2, L"\\\\") == 0; }

int64_t file_status::seconds_since_1970(int64_t file_time) {
    // File times are never negative; one that reads so is taken as 1601.
    const int64_t since = std::max<int64_t>(file_time, 0) - kTime1970;
    // Rounded down, also before 1970: 1969-12-31 23:59:59.5 is second -1.
    return since >= 0 ? since / 10000000 : -((-since + 9999999) / 10000000);
}

FILETIME file_time_from(int64_t file_time) {
    // 0 tells SetFileTime to leave a time as it is: the earliest time that can
    // be set is one tick later. (Negative values are no file time either.)
    file_time = std::max<int64_t>(file_time, 1);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(file_time));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(file_time) >> 32);
    return ft;
}

int64_t file_time_value(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

file_status::file_status(const std::wstring& path) {
    error_ = ENOENT;
    if (path.empty()) return;
    // Refused as the runtime's status query refuses them: "C:" (the current
    // folder of a drive) and a name followed by a separator ("C:\dir\");
    // roots ("C:\", "\\server\share\") are folders.
    if (path.size() == 2 && path[1] == L':') return;
    if (path.back() == L'\\' || path.back() == L'/') {
        size_t end = path.size();
        while (end > 0 && (path[end - 1] == L'\\' || path[end - 1] == L'/')) --end;
        if (end > 0 && path[end - 1] != L':' && !is_share_root(path.substr(0, end))) return;
    }
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(extended_path(path).c_str(), GetFileExInfoStandard, &d)) return;
    error_ = 0;
    size_ = (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    atime_ = file_time_value(d.ftLastAccessTime);
    mtime_ = file_time_value(d.ftLastWriteTime);
    ctime_ = file_time_value(d.ftCreationTime);
    const bool folder = (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool read_only = (d.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    mode_ = folder ? 0x41FF : read_only ? 0x8124 : 0x81B6;  // 040777, 0100444, 0100666
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
