// Putting a file in place: written beside its name, read back, stamped,
// the old file backed up, then moved over it.
#include "engine/place.h"

#include <windows.h>

#include "base/file_replace.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/rescue.h"
#include "engine/run_context.h"
#include "text/file_pieces.h"

namespace quillet {

entry_outcome put_in_place(run_context* run, sibling_file& sibling, int64_t write_time, bool backup,
                           const std::function<entry_outcome()>& check, const entry_outcome& done) {
    const FILETIME ft = file_time_from(write_time);
    if (!SetFileTime(sibling.handle(), nullptr, nullptr, &ft) || !sibling.flush())
        return make_outcome(entry_result::destination_unwritable, L"cannot write the new file");
    // Read back through the handle that wrote it, now that its data is on disk.
    if (run) run->files.lend(sibling.path(), sibling.handle());
    const entry_outcome checked = check();
    // The entry's files are read no more through the handles kept open for
    // it: none stands in the way of the replacement.
    if (run) run->files.release();
    if (checked.result != done.result) return checked;
    // A destination the run knows is missing needs neither test nor backup.
    const int moved = commit_if_new(run, sibling);
    if (moved > 0) return done;
    if (moved < 0)
        return make_outcome(entry_result::destination_unwritable, L"cannot create the destination");
    const std::wstring& dest = sibling.target();
    // A read-only file is never replaced, also where the platform would let
    // a privileged user do it.
    if (is_read_only(dest))
        return make_outcome(entry_result::destination_unwritable, L"destination is read-only");
    // A folder standing at the destination's name cannot be replaced (nor
    // backed up as a file): the destination is unwritable.
    if (file_status(dest).is_folder())
        return make_outcome(entry_result::destination_unwritable, L"destination is a folder");
    if (backup && !backup_before_replace(dest, run))
        return make_outcome(entry_result::backup_failed, L"no backup could be made");
    if (!sibling.commit())
        return make_outcome(entry_result::destination_unwritable, L"cannot replace the destination");
    return done;
}

bool open_sibling(run_context* run, std::unique_ptr<sibling_file>& sibling, const std::wstring& dest) {
    const std::wstring folder = path_folder(dest);
    if (!folder_exists(folder) && !make_folders(folder)) return false;
    sibling = std::make_unique<sibling_file>(dest, staging_folder_for(run, dest));
    return sibling->ok();
}

entry_outcome copy_unchanged(run_context* run, const std::wstring& src, const std::wstring& dest,
                             const file_status& src_status, bool backup, const std::wstring& reason) {
    // A destination holding the source's bytes under the source's time (to
    // the second, as every up-to-date test compares) is what the copy would
    // leave: it is neither backed up nor written again.
    if (may_exist(run, dest)) {
        const file_status dest_status(dest);
        if (dest_status.is_file() && dest_status.mtime() == src_status.mtime() &&
            dest_status.size() == src_status.size() && file_bytes_equal(src, dest, kept_files(run)))
            return make_outcome(entry_result::up_to_date, L"up to date");
    }
    std::unique_ptr<sibling_file> sibling;
    if (!open_sibling(run, sibling, dest))
        return make_outcome(entry_result::destination_unwritable, L"cannot create the new file");
    DWORD read_error = 0;
    if (!copy_pieces(src, sibling->handle(), &read_error, kept_files(run))) {
        if (read_error != 0)
            return make_outcome(entry_result::source_unreadable,
                              L"source cannot be read" + win32_error_text(read_error));
        return make_outcome(entry_result::destination_unwritable, L"cannot write the new file");
    }
    const auto check = [&] {
        if (file_bytes_equal(src, sibling->path(), kept_files(run)))
            return make_outcome(entry_result::copied, reason);
        return make_outcome(entry_result::destination_unwritable, L"the copy reads back differently");
    };
    return put_in_place(run, *sibling, src_status.write_time(), backup, check,
                        make_outcome(entry_result::copied, reason));
}

bool copy_file_plain(run_context* run, const std::wstring& src, const std::wstring& dest,
                     int64_t write_time, bool replace) {
    if (may_exist(run, dest) && is_read_only(dest)) {
        log_line(L"Can't replace  " + dest + L"  (read-only)");
        return false;
    }
    sibling_file sibling(dest, staging_folder_for(run, dest));
    const FILETIME ft = file_time_from(write_time);
    if (!sibling.ok() || !copy_pieces(src, sibling.handle()) ||
        !SetFileTime(sibling.handle(), nullptr, nullptr, &ft) || !sibling.close())
        return false;
    if (!file_bytes_equal(src, sibling.path())) {
        log_line(L"Can't write wb  " + sibling.path() + L"  (read back differs)");
        return false;
    }
    if (!replace) {
        // A name another program took after the run listed the folder: the
        // run's index learns it, so the next name is tried, not this one again.
        bool existed = false;
        const bool moved = sibling.commit_new(existed);
        if (moved || existed) note_created(run, dest);
        return moved;
    }
    // A name the run knows is free is taken without replacing anything: a
    // file that appeared there meanwhile is left as it is (and this copy fails).
    if (!may_exist(run, dest)) return commit_if_new(run, sibling) > 0;
    return sibling.commit();
}

}  // namespace quillet
