// The source tree's walk, its patterns, and the two checks that keep a tree
// run inside its destination.
#include "engine/tree.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "base/file_identity.h"
#include "base/paths.h"
#include "engine/dest_name.h"

namespace quillet {
namespace {

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The parts of a relative path or pattern; empty parts and "." dropped.
std::vector<std::wstring> parts_of(const std::wstring& text) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || is_separator(text[i])) {
            if (!part.empty() && part != L".") parts.push_back(part);
            part.clear();
        } else {
            part.push_back(text[i]);
        }
    }
    return parts;
}

// Wildcard match over two upper-cased texts: on a mismatch after a "*", the
// "*" takes one more character and the rest is tried again.
bool keys_match(const std::wstring& pattern, const std::wstring& name) {
    size_t p = 0, n = 0;
    size_t star = std::wstring::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = n;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

// A pattern of one part matches the last part of path; a pattern of several
// parts matches the whole path, part by part.
bool pattern_matches(const std::vector<std::wstring>& pattern, const std::vector<std::wstring>& path) {
    if (pattern.size() == 1) return !path.empty() && name_matches(pattern[0], path.back());
    if (pattern.size() != path.size()) return false;
    for (size_t i = 0; i < path.size(); ++i) {
        if (!name_matches(pattern[i], path[i])) return false;
    }
    return true;
}

bool any_matches(const std::vector<std::vector<std::wstring>>& patterns,
                 const std::vector<std::wstring>& path) {
    for (const auto& pattern : patterns) {
        if (pattern_matches(pattern, path)) return true;
    }
    return false;
}

// The folder a path lies in, as a path the platform opens as that folder
// ("C:\\" for "C:\\a", not "C:", which is the drive's current folder); "" at
// the top.
std::wstring parent_of(const std::wstring& path) {
    const std::wstring trimmed = path_del_sep(path);
    const size_t pos = trimmed.find_last_of(L"\\/");
    if (pos == std::wstring::npos) return L"";
    std::wstring parent = trimmed.substr(0, pos);
    // Above "\\\\server\\share" there is nothing to open ("\\" alone
    // would be the current drive's root).
    if (parent.find_first_not_of(L"\\/") == std::wstring::npos) return L"";
    if (parent.size() == 2 && parent[1] == L':') parent += L"\\";
    return parent;
}

// The path the platform opened for path, links and short names resolved
// ("" when it cannot tell): "\\\\?\\C:\\a" becomes "C:\\a".
std::wstring final_path_of(const std::wstring& path) {
    unique_hfile file(CreateFileW(extended_path(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) return L"";
    std::wstring buffer(1024, L'\0');
    DWORD n = GetFinalPathNameByHandleW(file.get(), &buffer[0], static_cast<DWORD>(buffer.size()), 0);
    if (n >= buffer.size()) {
        buffer.resize(n + 1);
        n = GetFinalPathNameByHandleW(file.get(), &buffer[0], static_cast<DWORD>(buffer.size()), 0);
    }
    if (n == 0 || n >= buffer.size()) return L"";
    buffer.resize(n);
    if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + buffer.substr(7);
    if (buffer.rfind(L"\\\\?\\", 0) == 0) return buffer.substr(4);
    return buffer;
}

// The nearest folder of path, itself or one it lies in, that exists.
std::wstring nearest_existing(const std::wstring& path) {
    for (std::wstring p = path; !p.empty(); p = parent_of(p)) {
        if (folder_exists(p)) return p;
    }
    return L"";
}

// True when the folder of identity `folder` is path or one of the folders it
// lies in, climbing both the path as written and the path the platform
// resolves it to.
bool lies_in(const std::wstring& path, const file_identity& folder) {
    if (!folder.known) return false;
    const std::wstring existing = nearest_existing(path);
    for (const std::wstring& start : {existing, final_path_of(existing)}) {
        for (std::wstring p = start; !p.empty(); p = parent_of(p)) {
            if (identity_of(p).same_as(folder)) return true;
        }
    }
    return false;
}

// Full path, no trailing separator (a drive root keeps its own).
std::wstring full_folder(const std::wstring& path) {
    std::wstring full = full_path(path);
    if (full.empty()) full = path;
    while (full.size() > 3 && is_separator(full.back())) full.pop_back();
    return full;
}

bool text_inside(const std::wstring& inner, const std::wstring& outer) {
    const std::wstring prefix = path_add_sep(outer);
    return inner.size() > prefix.size() && inner.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool name_matches(const std::wstring& pattern, const std::wstring& name) {
    return keys_match(name_key(pattern), name_key(name));
}

bool tree_filter::include(const std::wstring& pattern) {
    std::vector<std::wstring> parts = parts_of(pattern);
    if (parts.empty()) return false;
    includes_.push_back(std::move(parts));
    return true;
}

bool tree_filter::exclude(const std::wstring& pattern) {
    std::vector<std::wstring> parts = parts_of(pattern);
    if (parts.empty()) return false;
    excludes_.push_back(std::move(parts));
    return true;
}

bool tree_filter::excluded(const std::wstring& rel) const {
    return !excludes_.empty() && any_matches(excludes_, parts_of(rel));
}

bool tree_filter::included(const std::wstring& rel) const {
    if (includes_.empty()) return true;
    std::vector<std::wstring> path = parts_of(rel);
    // The file itself, then each folder it lies in.
    for (; !path.empty(); path.pop_back()) {
        if (any_matches(includes_, path)) return true;
    }
    return false;
}

std::wstring tree_overlap(const std::wstring& source, const std::wstring& dest) {
    const std::wstring s = full_folder(source), d = full_folder(dest);
    const std::wstring ks = name_key(s), kd = name_key(d);
    if (ks == kd) return L"SOURCE and DEST are the same folder";
    if (text_inside(kd, ks)) return L"DEST lies inside SOURCE";
    if (text_inside(ks, kd)) return L"SOURCE lies inside DEST";
    const file_identity source_id = identity_of(s);
    const file_identity dest_id = identity_of(d);
    if (source_id.same_as(dest_id)) return L"SOURCE and DEST are the same folder";
    if (lies_in(d, source_id)) return L"DEST lies inside SOURCE";
    if (lies_in(s, dest_id)) return L"SOURCE lies inside DEST";
    return L"";
}

std::wstring tree_path(const std::wstring& root, const std::wstring& rel) {
    return rel.empty() ? root : path_add_sep(root) + rel;
}

tree_walk::tree_walk(const std::wstring& root, const tree_filter& filter)
    : root_(full_folder(root)), filter_(filter), pending_{L""} {}

bool tree_walk::next(tree_folder& folder, std::vector<tree_skip>& skipped) {
    if (pending_.empty()) return false;
    folder.rel = std::move(pending_.back());
    pending_.pop_back();
    folder.files.clear();
    const std::wstring path = tree_path(root_, folder.rel);
    // A folder seen as a plain folder when its parent was listed may have been
    // replaced by a link since: it is still not followed.
    if (!folder.rel.empty() && is_link(path)) {
        skipped.push_back({path, L"a link, not followed", false});
        return true;
    }
    WIN32_FIND_DATAW found{};
    unique_hfind find(FindFirstFileExW(extended_path(path_add_sep(path) + L"*").c_str(), FindExInfoBasic,
                                       &found, FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        // A drive's empty root has no "." entry: nothing is found, and that is no failure.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            skipped.push_back({path, L"cannot be listed" + win32_error_text(error), true});
        return true;
    }
    // Names with their sort keys: folders are visited, and files given, in
    // name order, letter case aside.
    std::vector<std::pair<std::wstring, std::wstring>> files, folders;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring rel = folder.rel.empty() ? name : folder.rel + L"\\" + name;
        // Every entry is asked before anything opens it: a symbolic link or a
        // junction shows its own reparse attribute here, not its target's.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            const bool wanted = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || filter_.included(rel);
            if (wanted && !filter_.excluded(rel))
                skipped.push_back({tree_path(root_, rel), L"a link, not followed", false});
            continue;
        }
        if (filter_.excluded(rel)) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            folders.emplace_back(name_key(name), rel);
        } else if (filter_.included(rel)) {
            files.emplace_back(name_key(name), name);
        }
    } while (FindNextFileW(find.get(), &found));
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    folder.files.reserve(files.size());
    for (auto& file : files) folder.files.push_back(std::move(file.second));
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) pending_.push_back(std::move(it->second));
    return true;
}

std::wstring mirror_folder_refusal(const std::wstring& root, const std::wstring& rel, bool create) {
    if (!folder_exists(root)) {
        if (!create) return L"";
        if (!make_folders(root)) return L"the destination folder cannot be made";
    }
    std::wstring path = root;
    for (const std::wstring& part : parts_of(rel)) {
        path = path_add_sep(path) + part;
        const DWORD attributes = GetFileAttributesW(extended_path(path).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!create) return L"";
            // A new folder only: whatever appeared at the name meanwhile is
            // looked at again, never written through.
            if (CreateDirectoryW(extended_path(path).c_str(), nullptr)) continue;
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS)
                return L"the destination folder cannot be made" + win32_error_text(error);
            if (is_link(path)) return L"a destination folder is a link: " + path;
            if (!folder_exists(path)) return L"a file stands where a destination folder goes: " + path;
            continue;
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return L"a destination folder is a link: " + path;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return L"a file stands where a destination folder goes: " + path;
    }
    return L"";
}

}  // namespace quillet
