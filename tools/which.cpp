#include "tools/which.h"

#include <windows.h>
#include <shlobj.h>

#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/progress.h"
#include "base/version_info.h"
#include "engine/convert.h"
#include "engine/file_io.h"
#include "engine/store.h"
#include "tools/error_note.h"
#include "tools/http_fetch.h"
#include "tools/shell_launcher.h"

namespace quillet {

namespace {

std::wstring trimmed(const std::wstring& text) {
    const wchar_t* space = L" \t\r\n";
    size_t first = text.find_first_not_of(space);
    if (first == std::wstring::npos) return L"";
    size_t last = text.find_last_not_of(space);
    return text.substr(first, last - first + 1);
}

// A path as one argument of a batch file line: in double quotes, with "%"
// doubled so that the command processor expands nothing in it.
std::wstring batch_quoted(const std::wstring& path) {
    return L"\"" + replace_all(path, L"%", L"%%") + L"\"";
}

// The answer is complete when "where" has written its error output, or its
// output holds a whole line or is no longer held open by the command.
bool answer_ready(const std::wstring& chk, const std::wstring& err) {
    if (file_status(err).size() > 0) return true;
    file_status st(chk);
    if (st.failed() || st.size() == 0) return false;
    unique_hfile alone(CreateFileW(chk.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (alone) return true;
    std::vector<uint8_t> bytes = read_file_bytes(chk);
    return !bytes.empty() && bytes.back() == '\n';
}

}  // namespace

std::wstring command_processor() {
    std::wstring comspec = get_env(L"ComSpec");
    if (!comspec.empty() && path_exists(comspec, false)) return comspec;
    return special_folder(CSIDL_SYSTEM) + L"\\cmd.exe";
}

std::wstring batch_folder() {
    std::wstring folder =
        path_add_sep(temp_folder(), L"\\") + L"n_Bench.tmp\\cmd_bat\\" + now_text(L"%Y%m%d");
    if (!folder_exists(folder)) make_folders(folder);
    return folder;
}

std::wstring bat_path(const std::wstring& command) {
    std::wstring name = command;
    for (const wchar_t* c : {L">", L":", L" "}) name = replace_all(name, c, L"/");
    name = path_normalize(name, L"\\");
    for (const wchar_t* c : {L"/", L"\\", L"\""}) name = replace_all(name, c, L"_");
    name = path_normalize(name, L"\\");
    name = name.substr(0, 50);
    return batch_folder() + L"\\" + name + L".bat";
}

std::wstring run_hidden_batch(const std::wstring& command, const std::wstring& folder) {
    std::wstring path = bat_path(command);
    std::wstring text;
    if (!folder.empty()) {
        // Plain lines rather than "||" or "&&" after pushd, whose exit status
        // Wine's command processor does not set.
        const std::wstring quoted = batch_quoted(path_del_sep(folder));
        text = L"@if not exist " + batch_quoted(path_add_sep(path_del_sep(folder), L"\\")) +
               L" exit /b 1\r\n@pushd " + quoted + L"\r\n";
    }
    text += command + L"\r\n";
    if (!write_sjis(path, text)) error_note(L"run_hidden_batch   Can't write   " + path);
    shell_launcher launcher;
    launcher.set_show(SW_HIDE);
    // The shell hands the batch to the command processor, which expands a
    // "%NAME%" of a defined variable even in the batch's own path; a temporary
    // folder with such a name cannot run batch files at all.
    launcher.set_file(path);
    launcher.execute();
    return path;
}

bool is_lookup_name(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    for (wchar_t c : name) {
        bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
                     (c >= L'0' && c <= L'9') || c == L'.' || c == L'_' || c == L'-' || c == L'+';
        if (!plain) return false;
    }
    return true;
}

std::wstring which_command(const std::wstring& name) {
    return L"where " + batch_quoted(name) + L" > " + name + L".chk" + L" 2> " + name + L".err";
}

std::wstring get_which(const std::wstring& name) {
    const std::wstring n = trimmed(name);
    if (n.empty()) return L"";
    const std::wstring base = path_name(n);
    if (base != n && path_exists(n, false)) return n;
    // The name becomes a command argument and the answer files' names: only
    // plain program names may, so that nothing in it can change the command.
    if (!is_lookup_name(base)) {
        error_note(L"get_which   not a program name   " + n);
        return L"";
    }
    const std::wstring folder = dated_work_folder();
    const std::wstring chk = path_add_sep(folder, L"\\") + base + L".chk";
    const std::wstring err = path_add_sep(folder, L"\\") + base + L".err";
    // Answers of an earlier lookup of the same name must not pass for this one.
    DeleteFileW(chk.c_str());
    DeleteFileW(err.c_str());

    // The command runs in the working folder with the answer files named
    // relative to it: no path appears in a redirection (Wine's command
    // processor does not accept quoted ones), and the folder itself is quoted.
    run_hidden_batch(which_command(base), folder);

    exit_ops& later = batch_exit_ops();
    later.remove_later(chk);
    later.remove_later(err);
    later.remove_later(folder);

    {
        progress_meter meter(L"get_which ...", 100);
        for (int i = 0; i < 100; ++i) {
            if (answer_ready(chk, err)) break;
            Sleep(100);
            meter.step();
        }
    }
    std::vector<std::wstring> lines = read_list_file(chk);
    if (lines.empty()) return L"";
    return trimmed(lines[0]);
}

std::wstring windows_version() {
    std::wstring file = module_path(nullptr);
    const std::wstring w = get_which(L"where");
    const std::wstring v = get_which(L"winver");
    const std::wstring e = get_which(L"explorer");
    const std::wstring candidates[] = {v, w, e, special_folder(CSIDL_SYSTEM) + L"\\winver.exe",
                                       special_folder(CSIDL_WINDOWS) + L"\\explorer.exe"};
    for (const auto& candidate : candidates) {
        if (!candidate.empty() && path_exists(candidate, false)) {
            file = candidate;
            break;
        }
    }
    version_info info;
    info.set_file(file);
    std::wstring version;
    for (wchar_t c : info.product_version()) {
        if (c == L' ') continue;
        version.push_back(c == L',' ? L'.' : c);
    }
    return version;
}

}  // namespace quillet
