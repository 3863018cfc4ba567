// Path and file-system helpers: taking paths apart and building them, existence
// tests, folder creation, special and temporary folders, folder listings with a
// simple wildcard, file copies, and removals deferred to the end of the process.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/handles.h"

namespace quillet {

// The 64-bit status of a path (the runtime library's _wstati64, with the file
// system's own attribute query as a fallback for paths the runtime refuses).
// Times are seconds since 1970 (UTC), held in 64 bits so that dates after 2038
// compare correctly.
class file_status {
public:
    explicit file_status(const std::wstring& path);
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }  // 0, or the runtime's errno value
    int64_t size() const { return size_; }
    int64_t atime() const { return atime_; }
    int64_t mtime() const { return mtime_; }
    int64_t ctime() const { return ctime_; }
    unsigned mode() const { return mode_; }  // 16-bit type and permission bits
    bool is_file() const { return (mode_ & 0xF000) == 0x8000; }
    bool is_folder() const { return (mode_ & 0xF000) == 0x4000; }

private:
    int error_ = 0;
    unsigned mode_ = 0;
    int64_t size_ = 0;
    int64_t atime_ = 0;
    int64_t mtime_ = 0;
    int64_t ctime_ = 0;
};

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

// Removals and copies deferred until the object is destroyed (for the two
// process-wide instances: at process exit). The destructor copies first, then
// removes, deepest paths first; a folder is removed only when it is empty.
class exit_ops {
public:
    exit_ops() = default;
    ~exit_ops();
    exit_ops(const exit_ops&) = delete;
    exit_ops& operator=(const exit_ops&) = delete;
    void remove_later(const std::wstring& path);
    void remove_later(const wchar_t* path);
    void remove_later_all(const std::vector<std::wstring>& list);
    // Copies src to dst at work-off time, then removes src (a move); when the
    // copy fails, src is kept.
    void move_later(const std::wstring& src, const std::wstring& dst);
    void copy_now();
    void remove_now();
    const std::vector<std::wstring>& removals() const { return removals_; }
    const std::vector<std::wstring>& destinations() const { return destinations_; }

private:
    void copy_step(bool through_copy_file);
    std::vector<std::wstring> removals_;
    std::vector<std::wstring> destinations_;
};

// The two process-wide instances, each created on first use and worked off when
// the process exits: one for delete_aged, one for the batch runner's files.
exit_ops& aged_exit_ops();
exit_ops& batch_exit_ops();

// Text and list helpers.
std::wstring to_lower(const std::wstring& text);  // only A-Z change
std::vector<std::wstring> split_text(const std::wstring& text, const std::wstring& delimiters,
                                     bool whole = false);
std::wstring join_text(const std::vector<std::wstring>& list, const std::wstring& sep);
std::wstring join_text(const std::vector<std::wstring>& list, wchar_t sep);
std::vector<std::wstring> drop_empty(const std::vector<std::wstring>& list);
std::vector<std::wstring> sorted_unique(const std::vector<std::wstring>& list);
std::vector<std::wstring> reversed(const std::vector<std::wstring>& list);

// Taking paths apart and building them; "\\" and "/" are both separators.
std::wstring path_add_sep(const std::wstring& path, const std::wstring& sep = L"\\");
std::wstring path_del_sep(const std::wstring& path);
std::wstring path_name(const std::wstring& path);    // "abc" for "abc"
std::wstring path_folder(const std::wstring& path);  // "\\" when there is no separator
std::wstring path_ext(const std::wstring& path);
std::wstring path_ext_lower(const std::wstring& path);
std::wstring path_title(const std::wstring& path);
std::wstring path_normalize(const std::wstring& path, const std::wstring& sep = L"\\");

// Existence tests. A path starting with "\\\\" (UNC) is tested with _waccess and
// makes no folder/file distinction.
bool folder_exists(const std::wstring& path);
// path_exists keeps a trailing separator, and the runtime's status query does
// not find "C:\\dir\\" (only roots such as "C:\\"): strip it or use folder_exists.
bool path_exists(const std::wstring& path, bool folders_only = false);
// Creates every missing folder of path; logs "Can't create " + folder on failure.
bool make_folders(const std::wstring& path);
// The same without the log line (for the debug dump's own folder).
bool make_folders_silently(const std::wstring& path);

// The variants the settings store uses for its INI folders:
// path_name_ini gives "????????.???" for a path without separator;
// path_exists_ini with non_empty counts a plain file only when its size is not 0
// (and tests a UNC path with the status query);
// make_folders_ini creates the path and its parents (as path_folder gives them,
// without normalising) from the top with CreateDirectoryW and on failure logs
// "フォルダが作成できません" + folder (not when the running module is a dll).
std::wstring path_name_ini(const std::wstring& path);
bool path_exists_ini(const std::wstring& path, bool non_empty);
bool make_folders_ini(const std::wstring& path);

// System places.
std::wstring module_path(HMODULE module = nullptr);
std::wstring special_folder(int csidl);  // "" on failure; 0x2E is common documents
std::wstring current_folder();
std::wstring temp_folder();
std::wstring get_env(const std::wstring& name);
std::wstring long_path(const std::wstring& path);
std::wstring user_name();

// Listings and copies.
// Full paths of a folder's entries; folders end with "\\". When path is not a
// folder, its path_folder is listed.
std::vector<std::wstring> list_folder(const std::wstring& path);
bool match_wild(const std::wstring& name, const std::wstring& pattern);  // only '*' is wild
std::vector<std::wstring> find_files(const std::wstring& path, const std::wstring& pattern);
bool folder_is_empty(const std::wstring& path);
bool copy_file(const std::wstring& src, const std::wstring& dst, bool fail_if_exists);
// Queues for removal at exit the files title*.ext in the folder of path that are
// days old or older and not read-only; false when at least one was queued.
bool delete_aged(const std::wstring& path, int days);
// Opens path with CreateFileW. An open that fails for a passing reason (a
// sharing or lock violation, or access denied on a plain writable file, as when
// a scanner or a pending removal holds it) is retried up to `attempts` times,
// wait_ms apart; other failures (missing file, folder, read-only file opened
// for writing) end at once. last_error, when given, receives the final error.
unique_hfile open_file_retrying(const std::wstring& path, DWORD access, DWORD share,
                                DWORD disposition, int attempts = 100, DWORD wait_ms = 100,
                                DWORD* last_error = nullptr);
// Writes all bytes to an open file, in pieces WriteFile can take; false when a
// write fails or stops short.
bool write_open_file(HANDLE file, const std::vector<uint8_t>& bytes);
// True when an open of path that failed with error may succeed on a later try.
bool open_error_is_passing(DWORD error, const std::wstring& path, bool for_writing);
// The age rule of delete_aged: true when now - mtime >= days * 86400.
bool is_aged(int64_t now, int64_t mtime, int days);

}  // namespace quillet
