// What the folders a copy run writes into hold, learnt with one listing per
// folder. Asking the file system about a name that is not there costs a scan
// of the whole folder on some platforms (Wine looks for the name in every
// letter case), so a run that asked for each missing destination, backup and
// temporary name paid in proportion to the folder's size for every file. With
// the index, a name the listing does not hold is known to be missing without
// asking; a name it holds is looked up as before.
//
// The index only ever answers "missing" for a name the listing (or the run
// itself) saw go: callers that rely on that answer to skip a backup must still
// create or move without replacing, so that a file another program made
// meanwhile is found and handled the careful way.
#pragma once
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/handles.h"
#include "base/paths.h"

namespace quillet {

class folder_index {
public:
    folder_index() = default;
    // Removes the staging folders (those left empty).
    ~folder_index();
    folder_index(const folder_index&) = delete;
    folder_index& operator=(const folder_index&) = delete;

    // False only when path's folder was listed (on this first question about
    // it, when not before) and neither the listing nor the run has a file of
    // path's name in any letter case. A folder that cannot be listed answers
    // true for every name: only the file system can tell.
    bool may_exist(const std::wstring& path);
    // The run made a file (or folder) at path, or removed one.
    void note_created(const std::wstring& path);
    void note_removed(const std::wstring& path);
    // How many folders have been listed (for tests).
    size_t listings() const {
        const std::lock_guard<std::recursive_mutex> hold(mutex_);
        return listings_;
    }
    // The run's staging folder in target's folder, made on first use: new
    // files are written there and then moved to their names, so that only
    // the move looks the new name up in the (possibly large) folder. A hidden
    // folder of a name no other process uses, held open so that it cannot be
    // moved or replaced while the run lasts. "" when it cannot be made (the
    // new files are then written beside their targets).
    std::wstring staging_folder(const std::wstring& target);

private:
    struct listing {
        bool complete = false;  // the names below are all the folder holds
        std::unordered_set<std::wstring> names;
    };
    listing& folder_of(const std::wstring& path, std::wstring& name_key);

    struct staging {
        bool tried = false;
        std::wstring path;  // "" when it could not be made
        unique_hfile hold;
    };

    std::unordered_map<std::wstring, listing> folders_;
    std::unordered_map<std::wstring, staging> staging_;
    size_t listings_ = 0;
    // The workers of a run ask and note at the same time.
    mutable std::recursive_mutex mutex_;
};

}  // namespace quillet
