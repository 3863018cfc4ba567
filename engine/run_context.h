// What the entries of one copy run share, passed down to every step that
// needs it instead of kept in statics: the index of the folders the run
// writes into, the guard that keeps backups off the run's sources, and the
// files the entry in progress keeps open (one set per worker). Outside a run (a list record saved
// on its own, a status line) the steps are given no context and ask the file
// system.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "base/paths.h"
#include "engine/folder_index.h"
#include "engine/rescue_guard.h"
#include "text/file_pieces.h"

namespace quillet {

class sibling_file;

// What every worker of one run shares. Each part guards itself: the workers
// of a run use them at the same time.
struct run_shared {
    explicit run_shared(const std::vector<std::wstring>& sources) : guard(sources) {}
    run_shared(const run_shared&) = delete;
    run_shared& operator=(const run_shared&) = delete;

    folder_index index;
    // Guards the sources while the entries read them; let go once they are
    // done, so that the run's own record is backed up without asking who the
    // sources are.
    std::optional<rescue_guard> guard;
};

// One worker's view of the run: the shared parts, and the files of the entry
// it is working on.
struct run_context {
    explicit run_context(run_shared& shared) : index(shared.index), guard(shared.guard) {}
    run_context(const run_context&) = delete;
    run_context& operator=(const run_context&) = delete;

    folder_index& index;
    std::optional<rescue_guard>& guard;
    open_files files;
};

// The files the entry in progress keeps open; null outside a run.
inline open_files* kept_files(run_context* run) { return run ? &run->files : nullptr; }

// Whether path may exist: false only when the run's index knows it is missing.
bool may_exist(run_context* run, const std::wstring& path);
// The run made a file (or folder) at path.
void note_created(run_context* run, const std::wstring& path);
// Moves a sibling in at its target's name when the run's index knows that name
// is missing: without replacing anything, so a file that appeared meanwhile is
// never overwritten. 1 moved in; 0 the target is not known to be missing, or
// turned out to exist (the sibling is kept: replace it the careful way); -1
// the move failed otherwise (the sibling is gone, logged).
int commit_if_new(run_context* run, sibling_file& sibling);
// The run's staging folder for target (see folder_index::staging_folder); ""
// outside a run.
std::wstring staging_folder_for(run_context* run, const std::wstring& target);
// file_status(path), without asking the file system when the run's index
// knows path is missing (then the status of a missing file).
file_status indexed_status(run_context* run, const std::wstring& path);
// True when the run guards the file path leads to (one of its sources): a
// backup must then leave path as it is.
bool rescue_keeps(run_context* run, const std::wstring& path);

}  // namespace quillet
