#include "engine/rescue.h"

#include <windows.h>

#include <vector>

#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "text/file_pieces.h"
#include "engine/place.h"
#include "engine/run_context.h"

namespace quillet {

namespace {

// Turns the mirror part of a backup folder into plain folder names: "." and
// "?" (of a \\?\ prefix) are dropped and ".." takes back the name before it,
// but never the first (the drive or server), so that no backup can land
// outside the Rescue tree and each lands where its real folder is mirrored.
std::wstring plain_mirror(const std::wstring& folder) {
    std::vector<std::wstring> kept;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find(L'\\', start);
        if (end == std::wstring::npos) end = folder.size();
        const std::wstring item = folder.substr(start, end - start);
        if (item == L"..") {
            if (kept.size() > 1) kept.pop_back();
        } else if (!item.empty() && item != L"." && item != L"?") {
            kept.push_back(item);
        }
        start = end + 1;
    }
    return join_text(kept, L'\\');
}

// A backup name is looked up only when the run's index of the mirror folder
// does not already know it is free.
bool backup_exists(run_context* run, const std::wstring& path) {
    return may_exist(run, path) && path_exists(path, false);
}

// True when both files can be read and hold the same bytes.
bool same_content(const std::wstring& a, const std::wstring& b) {
    const file_status sa(a), sb(b);
    if (sa.failed() || sb.failed() || !sa.is_file() || !sb.is_file() || sa.size() != sb.size())
        return false;
    return file_bytes_equal(a, b);
}

}  // namespace

std::wstring rescue_path(const std::wstring& path, bool create) {
    const file_status status(path);
    std::wstring folder = status.is_folder() ? path : path_folder(path);
    const std::wstring root = path_add_sep(path_add_sep(temp_folder(), L"\\") + L"Rescue", L"\\");
    folder = path_normalize(folder, L"\\");
    folder = join_text(split_text(folder, L"\\", false), L'\\');
    folder = join_text(split_text(folder, L"/:%", false), L'\\');
    folder = plain_mirror(folder);
    const std::wstring result = path_normalize(path_add_sep(root, L"\\") + folder, L"\\");
    // A failure shows when the copies into the folder fail.
    if (create && !folder_exists(result)) make_folders(result);
    return result;
}

std::wstring rescue_stamp(const std::wstring& path) {
    const file_status status(path);
    if (status.failed()) return L"";
    return time_text(status.mtime(), L"%Y%m%d_%H%M%S.");
}

std::wstring stamped_backup_name(const std::wstring& path, const std::wstring& folder,
                                 const std::wstring& stamp, const std::wstring& name,
                                 run_context* run) {
    // Without a stamp, stamp + name would be the plain backup's own name.
    if (!stamp.empty()) {
        const std::wstring first = folder + stamp + name;
        if (!backup_exists(run, first) || same_content(path, first)) return first;
    }
    std::wstring base = stamp;
    if (!base.empty() && base.back() == L'.') base.pop_back();
    if (!base.empty()) base += L'_';
    for (int n = stamp.empty() ? 1 : 2; n < 10000; ++n) {
        const std::wstring candidate = folder + base + std::to_wstring(n) + L"." + name;
        if (!backup_exists(run, candidate) || same_content(path, candidate)) return candidate;
    }
    return L"";
}

namespace {

// Makes the stamped backup of path in folder under a name no other backup
// holds: the copy is moved to its name only when no file has it, so that a
// backup another run (or process) made meanwhile under the chosen name is
// never replaced; that name is then looked at again. The backup's path, or
// "" when none could be made.
std::wstring new_stamped_backup(const std::wstring& path, const std::wstring& folder,
                                const std::wstring& name, int64_t write_time, run_context* run) {
    for (int attempt = 0; attempt < 100 && folder_exists(folder); ++attempt) {
        const std::wstring stamped = stamped_backup_name(path, folder, rescue_stamp(path), name, run);
        if (stamped.empty()) {
            log_line(L"::rescue_copy   No free name   " + path);
            return L"";
        }
        if (same_content(path, stamped) || copy_file_plain(run, path, stamped, write_time, false))
            return stamped;
        if (!path_exists(stamped, false)) break;
    }
    log_line(L"::rescue_copy   Can't copy   " + path + L"   " + folder);
    return L"";
}

}  // namespace

std::wstring rescue_copy(const std::wstring& path, run_context* run) {
    if (!path_exists(path, false)) return L"";
    const std::wstring plain = path_add_sep(rescue_path(path, true), L"\\") + path_name(path);
    // The stamped copy first: the plain (latest) backup is replaced only once
    // the version it may hold is kept under a stamped name of its own. Both
    // are plain, writable files with the file's own modification time.
    const int64_t write_time = file_status(path).write_time();
    const std::wstring stamped = new_stamped_backup(path, path_add_sep(path_folder(plain), L"\\"),
                                                    path_name(plain), write_time, run);
    if (stamped.empty()) return L"";
    // A run reading the plain backup (a restore) keeps it as it is; the
    // stamped copy holds this backup.
    if (rescue_keeps(run, plain)) {
        log_line(L"::rescue_copy   Kept, a source of the run   " + plain);
        return stamped;
    }
    // The latest copy is a convenience: the backup is made once the stamped
    // copy is there, also when an earlier version left a read-only latest
    // copy that cannot be replaced.
    if (plain != stamped && !copy_file_plain(run, path, plain, write_time))
        log_line(L"::rescue_copy   Can't copy   " + path + L"   " + plain);
    return stamped;
}

bool backup_if_exists(const std::wstring& path, run_context* run) {
    if (!path_exists(path, false)) return false;
    return !rescue_copy(path, run).empty();
}

bool backup_before_replace(const std::wstring& path, run_context* run) {
    if (!may_exist(run, path) || !path_exists(path, false)) return true;
    return backup_if_exists(path, run);
}

}  // namespace quillet
