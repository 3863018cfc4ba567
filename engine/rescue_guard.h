// Keeps a run's backups off the files it reads. A user restores a file by
// listing its Rescue copy as a source; the backup of that file's destination
// would then replace the very Rescue file the run is reading (the plain,
// latest backup). While a guard lives, no backup replaces a file that is one
// of the guarded sources, by identity: any spelling, any link.
#pragma once
#include <cstdint>
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
    // Guards the files of sources that exist (at most one guard at a time; a
    // nested guard adds to the outer one until it ends).
    explicit rescue_guard(const std::vector<std::wstring>& sources);
    ~rescue_guard();
    rescue_guard(const rescue_guard&) = delete;
    rescue_guard& operator=(const rescue_guard&) = delete;

private:
    std::vector<std::pair<unsigned long, uint64_t>> keys_;  // volume, file index
};

// True when a live guard holds the file path leads to: a backup must then
// leave path as it is.
bool rescue_keeps(const std::wstring& path);

}  // namespace quillet
