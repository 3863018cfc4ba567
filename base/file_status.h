// File status: what a path is (file, folder, missing), how big and how old,
// its attribute word, the network-path test, and whether two paths name one
// file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace quillet {

// The 64-bit status of a path, from the file system's attribute query. The
// times are read as the platform holds them (file times, 1601 to 30828); the
// runtime library's status query is not asked, since it returns another of
// the file's times for dates outside 1970-2106 instead of failing. Paths it
// refuses (a file or folder name with a separator after it, a bare drive
// letter) are refused here too.
class file_status {
public:
    explicit file_status(const std::wstring& path);
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }  // 0, or an errno value (ENOENT)
    int64_t size() const { return size_; }
    // Seconds since 1970 (UTC), negative before it: whole seconds, rounded
    // down, so that times compare as the status lines show them.
    int64_t atime() const { return seconds_since_1970(atime_); }
    int64_t mtime() const { return seconds_since_1970(mtime_); }
    int64_t ctime() const { return seconds_since_1970(ctime_); }
    // The modification time as the platform holds it: 100 ns units since
    // 1601 (UTC), what a copy of the file is stamped with.
    int64_t write_time() const { return mtime_; }
    unsigned mode() const { return mode_; }  // 16-bit type and permission bits
    bool is_file() const { return (mode_ & 0xF000) == 0x8000; }
    bool is_folder() const { return (mode_ & 0xF000) == 0x4000; }

private:
    int error_ = 0;
    unsigned mode_ = 0;
    int64_t size_ = 0;
    int64_t atime_ = kTime1970;  // file times; a missing file's read as 1970
    int64_t mtime_ = kTime1970;
    int64_t ctime_ = kTime1970;

public:
    // 1970-01-01 as a file time.
    static constexpr int64_t kTime1970 = 116444736000000000LL;
    static int64_t seconds_since_1970(int64_t file_time);
};

// A file time (100 ns units since 1601) as the platform's structure.
FILETIME file_time_from(int64_t file_time);
// ... and back.
int64_t file_time_value(const FILETIME& ft);

// The attribute word of a path (GetFileAttributesW). The word held is not
// refreshed after clear() or set().
class file_attr {
public:
    explicit file_attr(const std::wstring& path);
    bool missing() const { return attributes_ == INVALID_FILE_ATTRIBUTES; }
    DWORD attributes() const { return attributes_; }
    // The normalised path when the object was built from an existing path, else "".
    std::wstring path() const { return missing() ? std::wstring() : path_; }
    DWORD has(DWORD mask) const { return attributes_ & mask; }
    bool clear(DWORD mask);  // SetFileAttributesW(path, attributes & ~mask)
    bool set(DWORD mask);    // SetFileAttributesW(path, attributes | mask)
    bool make_plain() { return clear_if_set(7); }  // drops read-only, hidden, system
    bool clear_if_set(DWORD mask);  // clear(mask) when has(mask), else true

private:
    std::wstring path_;
    DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
};

// True for a network (UNC) path, one starting with two backslashes.
bool is_network_path(const std::wstring& path);

// Existence tests. A network path is tested with _waccess and makes no
// folder/file distinction.
bool folder_exists(const std::wstring& path);
// path_exists keeps a trailing separator, and the runtime's status query does
// not find "C:\\dir\\" (only roots such as "C:\\"): strip it or use folder_exists.
bool path_exists(const std::wstring& path, bool folders_only = false);
// The settings store's variant: with non_empty a plain file counts only when
// its size is not 0 (and a network path is tested with the status query).
bool path_exists_ini(const std::wstring& path, bool non_empty);

// True when a and b name the same file (same volume and file index), or, when
// that cannot be asked, the same full path in any letter case. False when b
// does not exist.
bool same_file(const std::wstring& a, const std::wstring& b);

}  // namespace quillet
