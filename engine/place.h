// Putting a file in place, the last steps of every file quillet writes: the
// new content is written to a sibling of the destination (or into the run's
// staging folder), stamped with its modification time, flushed and read
// back; only then is the old destination backed up in Rescue and the sibling
// moved over it, so a replaced file is always whole and recoverable.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/file_status.h"
#include "engine/entries.h"

namespace quillet {

struct run_context;
class sibling_file;

// A sibling of dest to write the new content to, dest's folder made first;
// false when that fails.
bool open_sibling(run_context* run, std::unique_ptr<sibling_file>& sibling, const std::wstring& dest);

// The last steps of every replacement: the sibling, written whole, gets the
// file time write_time and is flushed; check() reads it back (an outcome
// other than done's result is returned as it is); then the old destination is
// backed up (with backup) and the sibling moved over it. done, or
// destination_unwritable or backup_failed with the reason.
entry_outcome put_in_place(run_context* run, sibling_file& sibling, int64_t write_time, bool backup,
                           const std::function<entry_outcome()>& check, const entry_outcome& done);

// Copies src (whose status is src_status) over dest as a plain, writable
// file with src's file time, through a sibling file that is checked before it
// replaces dest; with backup, an existing dest is kept in Rescue first. A dest
// that already holds src's bytes under src's time (to the second) is left as
// it is. The outcome is copied, up_to_date, source_unreadable, backup_failed
// or destination_unwritable.
entry_outcome copy_unchanged(run_context* run, const std::wstring& src, const std::wstring& dest,
                             const file_status& src_status, bool backup, const std::wstring& reason);

// Copies src over dest as a plain, writable file with modification time
// write_time (a file time: 100 ns units since 1601): written to a sibling, read back, then moved over dest.
// A read-only dest is never replaced; without replace, no existing dest is
// (the copy is then made only under a name no file holds). False, with dest as
// it was, on failure.
bool copy_file_plain(run_context* run, const std::wstring& src, const std::wstring& dest,
                     int64_t write_time, bool replace = true);

}  // namespace quillet
