// What a path is on disk beyond its status: whether it is a link (a symbolic
// link or a junction, shown as a reparse point), how many names its file has
// (hard links), and whether two paths are one file, judged by volume and file
// index, so that any spelling of a path and any link to a file count as that
// file.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "base/file_access.h"  // full_path

namespace quillet {

// The identity of the file a path leads to (links followed).
struct file_identity {
    bool known = false;   // false when the path could not be opened
    DWORD volume = 0;     // volume serial number
    uint64_t index = 0;   // file index on that volume
    DWORD names = 0;      // how many names (hard links) the file has
    bool same_as(const file_identity& other) const {
        return known && other.known && volume == other.volume && index == other.index;
    }
};

// Opens path for no access (folders too) and asks for its identity; two paths
// lead to one file when identity_of(a).same_as(identity_of(b)).
file_identity identity_of(const std::wstring& path);

// True when path itself is a reparse point: a symbolic link or a junction
// (not followed). A missing path is no link.
bool is_link(const std::wstring& path);


}  // namespace quillet
