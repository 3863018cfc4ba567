#include "engine/folder_index.h"

#include <windows.h>

#include "base/file_replace.h"
#include "base/handles.h"

namespace quillet {

namespace {

// Names compare as the file system compares them: in any letter case.
std::wstring upper(const std::wstring& text) {
    std::wstring out = text;
    if (!out.empty()) CharUpperBuffW(&out[0], static_cast<DWORD>(out.size()));
    return out;
}

// Every name in folder, upper-cased; false when the folder cannot be listed
// (a missing folder is listed as empty).
bool list_names(const std::wstring& folder, std::unordered_set<std::wstring>& names) {
    WIN32_FIND_DATAW data;
    // The basic information (no short names) in large batches: one pass over
    // the folder, however many names it holds.
    unique_hfind find(FindFirstFileExW((path_add_sep(folder, L"\\") + L"*").c_str(), FindExInfoBasic,
                                       &data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH));
    if (!find) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.insert(upper(name));
    } while (FindNextFileW(find.get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

folder_index::listing& folder_index::folder_of(const std::wstring& path, std::wstring& name_key) {
    const std::wstring full = path_normalize(path, L"\\");
    name_key = upper(path_name(full));
    const std::wstring folder = path_del_sep(path_folder(full));
    const std::wstring key = upper(folder);
    auto found = folders_.find(key);
    if (found != folders_.end()) return found->second;
    listing& entry = folders_[key];
    ++listings_;
    entry.complete = list_names(folder, entry.names);
    if (!entry.complete) entry.names.clear();
    return entry;
}

bool folder_index::may_exist(const std::wstring& path) {
    // A path that names no file in a folder (empty, a root, a bare name
    // relative to the current folder) is left to the file system.
    if (path.empty() || path_name(path).empty() || path.find_first_of(L"\\/") == std::wstring::npos)
        return true;
    const std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::wstring name;
    const listing& entry = folder_of(path, name);
    return !entry.complete || entry.names.count(name) != 0;
}

void folder_index::note_created(const std::wstring& path) {
    const std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::wstring name;
    listing& entry = folder_of(path, name);
    if (entry.complete) entry.names.insert(name);
}

void folder_index::note_removed(const std::wstring& path) {
    const std::lock_guard<std::recursive_mutex> hold(mutex_);
    std::wstring name;
    listing& entry = folder_of(path, name);
    if (entry.complete) entry.names.erase(name);
}

folder_index::~folder_index() {
    for (auto& entry : staging_) {
        entry.second.hold.reset();
        if (!entry.second.path.empty()) RemoveDirectoryW(extended_path(entry.second.path).c_str());
    }
}

std::wstring folder_index::staging_folder(const std::wstring& target) {
    const std::wstring folder = path_del_sep(path_folder(path_normalize(target, L"\\")));
    if (folder.empty()) return L"";
    const std::lock_guard<std::recursive_mutex> hold(mutex_);
    staging& entry = staging_[upper(folder)];
    if (entry.tried) return entry.path;
    if (!folder_exists(folder)) return L"";
    entry.tried = true;
    const std::wstring path =
        path_add_sep(folder, L"\\") + L"quillet.~" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    // A new folder only: whatever stands at the name (a leftover, a link) is
    // not written into.
    if (!CreateDirectoryW(extended_path(path).c_str(), nullptr)) return L"";
    note_created(path);
    SetFileAttributesW(extended_path(path).c_str(), FILE_ATTRIBUTE_HIDDEN);
    entry.hold.reset(CreateFileW(extended_path(path).c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!entry.hold) {
        RemoveDirectoryW(extended_path(path).c_str());
        return L"";
    }
    entry.path = path;
    return path;
}

}  // namespace quillet
