// Folders: folder creation, the system's places, listings and the removal
// of aged files.
#include "base/folders.h"

#include <io.h>
#include <shlobj.h>

#include <cstdio>
#include <ctime>

#include "base/exit_ops.h"
#include "base/file_access.h"
#include "base/file_status.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/path_text.h"

namespace quillet {

namespace {
// A UNC prefix that holds only the server, or the server and the share: these
// levels are never created.
bool server_or_share(const std::wstring& prefix) {
    if (prefix.compare(0, 2, L"\\\\") != 0 && prefix.compare(0, 2, L"//") != 0) return false;
    size_t seps = 0;
    for (size_t i = 2; i < prefix.size(); ++i)
        if (prefix[i] == L'\\' || prefix[i] == L'/') ++seps;
    return seps < 2;
}

bool make_folders_impl(const std::wstring& path, bool log_failure) {
    std::wstring target = path_del_sep(path);
    if (folder_exists(target)) return true;
    std::vector<std::wstring> items = split_text(path_del_sep(path_normalize(target, L"\\")), L"\\");
    std::wstring prefix;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) prefix += L"\\";
        prefix += items[i];
        if (prefix.empty() || prefix == L"/" || prefix == L"\\") continue;
        if (prefix.back() == L':') continue;
        if (server_or_share(prefix)) continue;
        if (folder_exists(prefix)) continue;
        if (!CreateDirectoryW(extended_path(prefix).c_str(), nullptr)) {
            const DWORD error = GetLastError();
            // Another process may have created it meanwhile; only a folder that
            // is still missing is a failure.
            if (folder_exists(prefix)) continue;
            if (log_failure) log_line(L"Can't create " + prefix + win32_error_text(error));
            return false;
        }
    }
    return true;
}

// The saved command-line argument list; this program never fills it. Its being
// empty is the normal state and is not reported: standard error belongs to the
// console front end's users. Never destroyed, so that work done at process exit
// may still ask.
const std::vector<std::wstring>& get_arv() {
    static const std::vector<std::wstring>* arv = new std::vector<std::wstring>();
    return *arv;
}

bool running_as_dll() { return path_ext_lower(module_path(nullptr)) == L"dll"; }
}  // namespace

bool make_folders(const std::wstring& path) { return make_folders_impl(path, true); }

// Used by the debug dump for its own folder: a failure there must not be logged
// (the log would try to create the same folder again).
bool make_folders_silently(const std::wstring& path) { return make_folders_impl(path, false); }

bool make_folders_ini(const std::wstring& path) {
    if (path.empty()) return false;
    std::vector<std::wstring> levels;
    for (std::wstring p = path; p != L"\\" && !p.empty(); p = path_folder(p)) levels.push_back(p);
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (path_exists(*it, true)) continue;
        if (it->back() == L':') continue;  // a drive is never created
        if (CreateDirectoryW(extended_path(*it).c_str(), nullptr)) continue;
        const DWORD error = GetLastError();
        if (folder_exists(*it)) continue;
        if (!running_as_dll()) log_line(L"フォルダが作成できません" + *it + win32_error_text(error));
        return false;
    }
    return true;
}

std::wstring module_path(HMODULE module) {
    get_arv();
    std::wstring buf(260, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) return L"";
        if (n < buf.size()) return buf.substr(0, n);
        buf.resize(buf.size() * 2);  // truncated: a longer path than 260 characters
    }
}

std::wstring special_folder(int csidl) {
    wchar_t buf[530] = {};
    if (SHGetSpecialFolderPathW(nullptr, buf, csidl, (csidl & 0x8000) != 0)) return buf;
    PIDLIST_ABSOLUTE items = nullptr;
    if (SHGetSpecialFolderLocation(nullptr, csidl, &items) != S_OK || !items) return L"";
    std::wstring out;
    if (SHGetPathFromIDListW(items, buf)) out = buf;
    CoTaskMemFree(items);
    return out;
}

std::wstring current_folder() {
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0) return L"";
    std::wstring buf(n, L'\0');
    n = GetCurrentDirectoryW(n, &buf[0]);
    buf.resize(n < buf.size() ? n : 0);
    return buf;
}

std::wstring get_env(const std::wstring& name) {
    if (name.empty()) return L"";
    DWORD n = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (n == 0) return L"";
    std::wstring buf(n, L'\0');
    n = GetEnvironmentVariableW(name.c_str(), &buf[0], n);
    buf.resize(n < buf.size() ? n : 0);
    return buf;
}

std::wstring long_path(const std::wstring& path) {
    if (path.empty()) return path;
    DWORD n = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring buf(n, L'\0');
    n = GetLongPathNameW(path.c_str(), &buf[0], n);
    if (n == 0 || n >= buf.size()) return path;
    buf.resize(n);
    return buf;
}

std::wstring user_name() {
    wchar_t buf[257] = {};
    DWORD n = 257;
    std::wstring name;
    if (GetUserNameW(buf, &n)) name = buf;
    if (name.empty()) name = get_env(L"USER");
    if (name.empty()) name = get_env(L"USERNAME");
    return name;
}

std::wstring temp_folder() {
    wchar_t buf[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    std::wstring result = (n > 0 && n <= MAX_PATH) ? long_path(std::wstring(buf, n)) : L"";
    if (to_lower(result).find(L"windows") != std::wstring::npos) {
        // A temporary folder inside the Windows folder is not ours to fill.
        result = path_add_sep(special_folder(0x2E), L"\\") + L"Temp";
        result = path_add_sep(result, L"\\") + L"Temp";
    }
    if (result.empty()) result = get_env(L"TMP");
    if (result.empty()) result = get_env(L"TMPDIR");
    if (result.empty()) result = get_env(L"TEMP");
    if (result.empty()) {
        std::wstring user = get_env(L"USER");
        if (user.empty()) user = get_env(L"USERNAME");
        if (user.empty()) user = L"___";
        std::wstring base = folder_exists(L"/tmp") ? L"/tmp/" : current_folder();
        result = path_add_sep(base, L"\\") + user;
        make_folders(result);
    }
    return result;
}

std::vector<std::wstring> list_folder(const std::wstring& path) {
    std::vector<std::wstring> out;
    if (path.empty()) return out;
    std::wstring folder = folder_exists(path) ? path : path_folder(path);
    std::wstring base = path_add_sep(folder, L"\\");
    WIN32_FIND_DATAW fd;
    unique_hfind find(FindFirstFileW(extended_path(base + L"*.*").c_str(), &fd));
    if (!find) return out;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring full = base + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) full += L"\\";
        out.push_back(full);
    } while (FindNextFileW(find.get(), &fd));
    return out;
}

std::vector<std::wstring> find_files(const std::wstring& path, const std::wstring& pattern) {
    std::vector<std::wstring> out;
    for (const auto& entry : list_folder(path)) {
        if (entry.back() == L'\\' || entry.back() == L'/') continue;
        if (match_wild(path_name(entry), pattern)) out.push_back(entry);
    }
    return out;
}

bool folder_is_empty(const std::wstring& path) {
    if (!folder_exists(path)) return false;
    WIN32_FIND_DATAW fd;
    unique_hfind find(FindFirstFileW(extended_path(path_add_sep(path, L"\\") + L"*").c_str(), &fd));
    if (!find) return true;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") return false;
    } while (FindNextFileW(find.get(), &fd));
    return true;
}

bool is_aged(int64_t now, int64_t mtime, int days) {
    return now - mtime >= static_cast<int64_t>(days) * 86400;
}

bool delete_aged(const std::wstring& path, int days) {
    const std::wstring pattern = path_title(path) + L"*." + path_ext(path);
    const int64_t now = _time64(nullptr);
    bool queued = false;
    for (const auto& file : find_files(path_folder(path), pattern)) {
        if (file_attr(file).has(FILE_ATTRIBUTE_READONLY)) continue;
        file_status st(file);
        if (st.failed() || !is_aged(now, st.mtime(), days)) continue;
        aged_exit_ops().remove_later(file);
        queued = true;
    }
    return !queued;
}

}  // namespace quillet
