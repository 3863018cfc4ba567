// Keeps a run's backups off the files it reads. A user restores a file by
// listing its Rescue copy as a source; the backup of that file's destination
// would then replace the very Rescue file the run is reading (the plain,
// latest backup). While a guard lives, no backup replaces a file that is one
// of the guarded sources, by identity: any spelling, any link.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

// The Rescue tree's root: temp folder\Rescue\ (full path, ending in "\\").
std::wstring rescue_root();

// True when path, made full, lies inside the Rescue tree.
bool in_rescue_tree(const std::wstring& path);

class rescue_guard {
public:
    // Guards the files of sources that exist. The sources are looked up only
    // when a backup is about to replace a file: a run that replaces nothing in
    // the Rescue tree never asks who its sources are.
    explicit rescue_guard(const std::vector<std::wstring>& sources);
    rescue_guard(const rescue_guard&) = delete;
    rescue_guard& operator=(const rescue_guard&) = delete;

    // True when one of the guarded sources is the file with this volume and index.
    bool holds(unsigned long volume, uint64_t index);

private:
    std::vector<std::wstring> sources_;
    bool resolved_ = false;
    std::vector<std::pair<unsigned long, uint64_t>> keys_;  // volume, file index; sorted
    std::mutex mutex_;  // the workers of a run ask at the same time
};


}  // namespace quillet
