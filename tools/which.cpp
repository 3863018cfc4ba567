#include "tools/which.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <mutex>

#include "base/diagnostic.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/version_info.h"
#include "text/encodings.h"
#include "engine/file_io.h"
#include "engine/store.h"
#include "tools/http_fetch.h"

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

// Runs the system's "where name" with its output and error output going to the files chk
// and err, and waits for it to end: at most about 10 seconds. The command is
// started directly, with wide paths throughout, so any character of the
// temporary folder's path works, and an answer that cannot come is not
// waited for.
void run_where(const std::wstring& name, const std::wstring& chk, const std::wstring& err) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    unique_hfile out(CreateFileW(chk.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    unique_hfile error(CreateFileW(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    unique_hfile input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, 0, nullptr));
    if (!out || !error) {
        error_note(L"get_which   Can't open wb  " + chk);
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.get();
    startup.hStdOutput = out.get();
    startup.hStdError = error.get();
    // The system's own "where", named in full: a "where.exe" in the folder
    // quillet was started from is never run instead.
    const std::wstring program = special_folder(CSIDL_SYSTEM) + L"\\where.exe";
    std::wstring line = L"where \"" + name + L"\"";
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, path_folder(chk).c_str(), &startup, &process)) {
        error_note(L"get_which   Can't start   where   " + std::to_wstring(GetLastError()));
        return;
    }
    unique_handle process_handle(process.hProcess);
    unique_handle thread_handle(process.hThread);
    out.reset();
    error.reset();

    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_TIMEOUT) return;
    TerminateProcess(process.hProcess, 1);
    error_note(L"get_which   no answer   " + name);
}

}  // namespace

std::mutex& batch_exit_ops_guard() {
    static std::mutex guard;
    return guard;
}

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

std::wstring write_batch(const std::wstring& command) {
    const std::wstring path = bat_path(command);
    if (!write_file_bytes(path, sjis_form(command + L"\r\n"))) error_note(L"write_batch   Can't write   " + path);
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

    // The batch file stays as the record of the lookup, to be run again by
    // hand in the working folder; the lookup itself starts "where" directly.
    write_batch(which_command(base));
    {
        std::lock_guard<std::mutex> lock(batch_exit_ops_guard());
        exit_ops& later = batch_exit_ops();
        later.remove_later(chk);
        later.remove_later(err);
        later.remove_later(folder);
    }
    run_where(base, chk, err);
    std::vector<std::wstring> lines = read_list_file(chk);
    if (lines.empty()) return L"";
    return trimmed(lines[0]);
}

std::wstring windows_version() {
    // The system's own library carries the system's version; reading its
    // version resource starts no program and asks no command.
    version_info info;
    info.set_file(path_add_sep(special_folder(CSIDL_SYSTEM), L"\\") + L"kernel32.dll");
    std::wstring version;
    for (wchar_t c : info.product_version()) {
        if (c == L' ') continue;
        version.push_back(c == L',' ? L'.' : c);
    }
    return version;
}

}  // namespace quillet
