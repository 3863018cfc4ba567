// Drop intake shared by the main window and the console front end.
#include "engine/intake.h"

#include <windows.h>
#include <winnetwk.h>

#include "base/paths.h"
#include "text/detect.h"
#include "text/encodings.h"

namespace quillet {

drop_result take_drop(const std::vector<std::wstring>& dropped, const drop_options& options) {
    drop_result result;
    copy_list_store& s = store();
    // The dialog points the store at the recent-lists file when it opens; a
    // store that was never pointed anywhere compares with the usual place.
    const std::wstring ido = s.get_recent_path().empty() ? recent_list_path() : s.get_recent_path();
    for (const std::wstring& dropped_path : dropped) {
        const std::wstring path = to_unc_path(dropped_path);
        const std::wstring ext = path_ext_lower(path);
        // The runtime's status query refuses a folder written with a trailing
        // separator ("D:\work\"), as typed paths often are.
        if (file_status(path).is_folder() || file_status(path_del_sep(path)).is_folder()) {
            const std::wstring list = folder_list_path(path);
            s.open_list(list);
            result.code = code_for_list(list);
            result.opened.push_back(list);
            continue;
        }
        if (ext == L"ilc") {
            // Paths dropped after a folder list file are not looked at.
            s.open_list(path);
            result.code = code_for_list(path);
            result.opened.push_back(path);
            break;
        }
        if (path == ido || to_lower(path) == to_lower(ido)) {
            s.load_recent();
            result.recent_reloaded = true;
            continue;
        }
        if (is_text_file(path))
            s.add_file(path);
        else
            result.not_text.push_back(path);
    }
    s.dedupe_files();
    if (!result.opened.empty() && options.record_recent) s.add_recent(result.opened);
    return result;
}

std::wstring not_text_message(const std::vector<std::wstring>& not_text,
                              const text_translator& translate) {
    std::wstring message = translated(translate, L"Not a text file.\r\n");
    for (const std::wstring& entry : not_text) message += path_name(entry) + L"\r\n";
    return message;
}

int code_for_list(const std::wstring& list_path) {
    return code_of_list_stem(path_title(list_path));
}

std::wstring to_unc_path(const std::wstring& path) {
    if (path.size() < 2) return path;
    const std::wstring drive = path.substr(0, 2);
    const std::wstring rest = path.substr(2);
    // GetDriveTypeW wants the root folder with its trailing separator; the bare
    // "Z:" would name the drive's current folder instead.
    if (path[1] != L':' || GetDriveTypeW((drive + L"\\").c_str()) != DRIVE_REMOTE) return path;
    wchar_t name[261] = {};
    DWORD length = 260;
    if (WNetGetConnectionW(drive.c_str(), name, &length) != NO_ERROR || name[0] == L'\0')
        return path;
    return name + rest;
}

}  // namespace quillet
