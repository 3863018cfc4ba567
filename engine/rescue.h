// Rescue backups: before the copy engine replaces an existing file it keeps a
// copy in the "Rescue" tree under the temporary folder, which mirrors the
// file's own folder. Each backup is stored under the file's plain name (the
// latest backup) and under a name stamped with the file's modification time.
// Backups are never deleted.
#pragma once
#include <string>

namespace quillet {

// The run whose index, guard and kept files a backup made inside a copy run
// uses (null outside a run: the file system is asked).
struct run_context;

// The mirror folder of path's folder (of path itself when it is a folder):
// temp folder\Rescue\ + the folder with ":", "/" and "%" turned into
// separators, e.g. D:\work\site -> ...\Rescue\D\work\site. With create, the
// folder tree is made when missing.
std::wstring rescue_path(const std::wstring& path, bool create);

// The stamp in front of a stamped backup's name: the file's modification time
// as local "%Y%m%d_%H%M%S." ("" when the time cannot be formatted).
std::wstring rescue_stamp(const std::wstring& path);

// Copies path into its mirror folder, stamped and plain; the stamped backup's
// path, or "" when path is missing or no backup could be made. A stamped name
// already holding different content (another version with the same time) is
// never overwritten: that backup then gets a numbered name
// (20240131_235959_2.readme.txt). Without a stamp the backups are numbered
// from the start (1.readme.txt, 2.readme.txt), never stored only under the
// plain name that the next backup replaces.
std::wstring rescue_copy(const std::wstring& path, run_context* run = nullptr);

// The name rescue_copy stores path's stamped backup under in folder (which ends
// in a separator): folder + stamp + name, unless that file already holds
// another version (same time, other content); then the first free or
// identical folder + stamp_N + name (the stamp's final dot moved behind N).
// Without a stamp: the first free or identical folder + N + "." + name, N
// from 1, as folder + name is the plain backup. "" when no name is found.
std::wstring stamped_backup_name(const std::wstring& path, const std::wstring& folder,
                                 const std::wstring& stamp, const std::wstring& name,
                                 run_context* run = nullptr);

// False when path does not exist; otherwise whether rescue_copy made a backup.
bool backup_if_exists(const std::wstring& path, run_context* run = nullptr);

// True when path may be replaced: it does not exist (as a file), or its backup
// was made. Writers call this before they replace a file.
bool backup_before_replace(const std::wstring& path, run_context* run = nullptr);

}  // namespace quillet
