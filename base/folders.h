// Folders: creating folder trees, the system's places (module, special,
// current and temporary folders, environment, user), folder listings, and the
// removal of aged files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// Creates every missing folder of path; logs "Can't create " + folder on failure.
bool make_folders(const std::wstring& path);
// The same without the log line (for the debug dump's own folder).
bool make_folders_silently(const std::wstring& path);
// The settings store's variant: creates the path and its parents (as
// path_folder gives them, without normalising) from the top with
// CreateDirectoryW and on failure logs "フォルダが作成できません" + folder (not
// when the running module is a dll).
bool make_folders_ini(const std::wstring& path);

// System places.
std::wstring module_path(HMODULE module = nullptr);
std::wstring special_folder(int csidl);  // "" on failure; 0x2E is common documents
std::wstring current_folder();
std::wstring temp_folder();
std::wstring get_env(const std::wstring& name);
std::wstring long_path(const std::wstring& path);
std::wstring user_name();

// Listings.
// Full paths of a folder's entries; folders end with "\\". When path is not a
// folder, its path_folder is listed.
std::vector<std::wstring> list_folder(const std::wstring& path);
std::vector<std::wstring> find_files(const std::wstring& path, const std::wstring& pattern);
bool folder_is_empty(const std::wstring& path);

// Queues for removal at exit the files title*.ext in the folder of path that are
// days old or older and not read-only; false when at least one was queued.
bool delete_aged(const std::wstring& path, int days);
// The age rule of delete_aged: true when now - mtime >= days * 86400.
bool is_aged(int64_t now, int64_t mtime, int days);

}  // namespace quillet
