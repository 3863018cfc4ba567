// A folder tree mirrored into another: the walk over the source tree (links
// never followed, folders in name order, one folder at a time), the include
// and exclude patterns that choose its files, the check that the two trees
// do not lie in each other, and the destination folders made on the way.
// Every name met in the source tree is as hostile as a list entry: the walk
// only ever hands out plain names, and a destination folder is written into
// only when no link stands anywhere between it and the destination root.
#pragma once
#include <string>
#include <vector>

namespace quillet {

// True when name matches pattern: "*" any run of characters, "?" one
// character, letter case aside (as name_key compares names).
bool name_matches(const std::wstring& pattern, const std::wstring& name);

// The patterns of a tree run. A pattern without a separator matches a file or
// folder name at any depth; one with "\\" or "/" matches the whole path
// relative to the source root, part by part ("*" and "?" stay within a part).
// Relative paths join their parts with "\\" and have no leading separator.
class tree_filter {
public:
    // False (and the pattern not taken) for a pattern with no name in it.
    bool include(const std::wstring& pattern);
    bool exclude(const std::wstring& pattern);
    // The file or folder at rel matches an exclude: a folder is left out with
    // everything below it.
    bool excluded(const std::wstring& rel) const;
    // The file at rel is taken by the includes: no include was given, or one
    // matches the file or a folder it lies in (so "--include docs" takes the
    // docs folders whole, "--include *.html" the files so named).
    bool included(const std::wstring& rel) const;

private:
    std::vector<std::vector<std::wstring>> includes_, excludes_;  // patterns split into parts
};

// Why source and dest cannot be the two ends of a tree run ("" when they can):
// the same folder, or one inside the other, by their full paths (letter case
// aside) and by the identities of the folders on the way up from each, so
// that a link or another spelling cannot hide one in the other. dest need not
// exist yet.
std::wstring tree_overlap(const std::wstring& source, const std::wstring& dest);

// Something below the source root the walk did not take.
struct tree_skip {
    std::wstring path;    // full path
    std::wstring reason;  // a few English words
    bool failed = false;  // could not be read (a folder that cannot be listed)
};

// One folder of the walk: its path relative to the root ("" for the root) and
// the names of its files that the filter takes, in name order.
struct tree_folder {
    std::wstring rel;
    std::vector<std::wstring> files;
};

// The walk over a source tree, depth first: each folder's files, then its
// folders one by one in name order. Links (symbolic links, junctions, any
// reparse point) are reported as skipped and never opened; excluded folders
// are not entered. Only the folders still to be visited are held, never the
// files of more than one folder.
class tree_walk {
public:
    tree_walk(const std::wstring& root, const tree_filter& filter);
    // The next folder (possibly with no files); what the walk skipped while
    // listing it is appended to skipped. False when the walk is over.
    bool next(tree_folder& folder, std::vector<tree_skip>& skipped);
    const std::wstring& root() const { return root_; }

private:
    std::wstring root_;  // full path, no trailing separator
    const tree_filter& filter_;
    std::vector<std::wstring> pending_;  // relative paths; the next folder is at the back
};

// root + "\\" + rel (root alone for an empty rel).
std::wstring tree_path(const std::wstring& root, const std::wstring& rel);

// Makes the destination folder root\rel ready to be written into: every folder
// between root and it made when missing (with create) and none of them a link.
// Returns why it cannot be written into ("" when it can); without create, a
// missing folder is no reason.
std::wstring mirror_folder_refusal(const std::wstring& root, const std::wstring& rel, bool create);

}  // namespace quillet
