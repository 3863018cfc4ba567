#include "tools/shell_launcher.h"

#include <io.h>
#include <wininet.h>
#include <shlobj.h>

#include <cwchar>
#include <utility>

#include "base/paths.h"
#include "base/log.h"
#include "base/diagnostic.h"

namespace quillet {

namespace {

shell_execute_hook& the_hook() {
    static shell_execute_hook hook;
    return hook;
}

// The launcher's own existence test: a UNC path by the access test, any other
// path by its file status.
bool launcher_exists(const std::wstring& file) {
    if (file.empty()) return false;
    if (file.compare(0, 2, L"\\\\") == 0) return _waccess(file.c_str(), 0) == 0;
    return !file_status(file).failed();
}

const wchar_t* shell_reason(intptr_t code) {
    switch (code) {
    case 0: return L"The operating system is out of memory or resources.";
    case 2: return L"The specified file was not found.";
    case 3: return L"The specified path was not found.";
    case 5: return L"The operating system denied access to the specified file.";
    case 8: return L"There was not enough memory to complete the operation.";
    case 11: return L"The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).";
    case 26: return L"A sharing violation occurred.";
    case 27: return L"The filename association is incomplete or invalid.";
    case 28: return L"The DDE transaction could not be completed because the request timed out.";
    case 29: return L"The DDE transaction failed.";
    case 30:
        return L"The DDE transaction could not be completed because other DDE transactions "
               L"were being processed.";
    case 31: return L"There is no application associated with the given file name extension.";
    case 32: return L"The specified dynamic-link library was not found.";
    default: return nullptr;
    }
}

}  // namespace

void set_shell_execute_hook(shell_execute_hook hook) { the_hook() = std::move(hook); }

shell_launcher::shell_launcher(HWND owner) : owner_(owner) {}

bool shell_launcher::set_show(int command) {
    show_ = command;
    return true;
}

bool shell_launcher::set_verb(const std::wstring& verb) {
    verb_ = verb;
    has_verb_ = true;
    return true;
}

bool shell_launcher::set_file(const std::wstring& file) {
    file_ = launcher_exists(file) ? file : find_program(file);
    has_file_ = true;
    return true;
}

bool shell_launcher::set_address(const std::wstring& address) {
    file_ = address;
    has_file_ = true;
    return true;
}

bool shell_launcher::set_params(const std::wstring& params) {
    params_ = params;
    has_params_ = true;
    return true;
}

bool shell_launcher::execute() {
    const wchar_t* verb = has_verb_ ? verb_.c_str() : nullptr;
    const wchar_t* file = has_file_ ? file_.c_str() : nullptr;
    const wchar_t* params = has_params_ ? params_.c_str() : nullptr;
    if (!file) {
        file = params;
        params = nullptr;
    }
    intptr_t result;
    if (the_hook())
        result = the_hook()(owner_, verb, file, params, nullptr, show_);
    else
        result = reinterpret_cast<intptr_t>(
            ShellExecuteW(owner_, verb, file, params, nullptr, show_));
    if (result > 32) return true;
    refusal_ = shell_refusal_message(result, verb ? verb : L"", file ? file : L"",
                                     params ? params : L"");
    log_line(L"::shell_launcher   " + refusal_);
    return false;
}

bool shell_launcher::explore(const std::wstring& folder) {
    set_file(L"explorer.exe");
    set_params(explorer_argument(folder));
    return execute();
}

std::wstring explorer_argument(const std::wstring& folder) {
    // A folder name cannot hold a double quote; one that does is not passed on.
    std::wstring plain;
    for (wchar_t c : folder)
        if (c != L'"') plain.push_back(c);
    if (plain.find_first_of(L" \t,;=") == std::wstring::npos) return plain;
    return L"\"" + plain + L"\"";
}

bool is_web_address(const std::wstring& address) {
    if (address.size() <= 8 || to_lower(address.substr(0, 8)) != L"https://") return false;
    for (wchar_t c : address)
        if (c <= L' ' || c == L'"' || c == 0x7F) return false;
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = L"";
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    return InternetCrackUrlW(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts) &&
           parts.nScheme == INTERNET_SCHEME_HTTPS && host[0] != L'\0';
}

bool open_web_address(const std::wstring& address) {
    if (!is_web_address(address)) {
        error_note(L"open_web_address   not a web address   " + address);
        return false;
    }
    shell_launcher launcher;
    launcher.set_verb(L"open");
    launcher.set_address(address);
    return launcher.execute();
}

std::wstring shell_error_text(intptr_t code, const std::wstring& file, const std::wstring& params) {
    const wchar_t* reason = shell_reason(code);
    if (reason) return reason;
    return L"Error\n" + file + L"\n" + params;
}

std::wstring shell_refusal_message(intptr_t code, const std::wstring& verb,
                                   const std::wstring& file, const std::wstring& params) {
    return shell_error_text(code, file, params) + L"\nOperation=\"" + verb + L"\"" +
           L"\nFile=\"" + file + L"\"" + L"\nParamaters=\"" + params + L"\"";
}

std::wstring find_program(const std::wstring& name) {
    // An empty name would name the Program Files folder itself.
    if (name.empty()) return name;
    std::wstring candidate = special_folder(CSIDL_PROGRAM_FILES) + L"\\" + name;
    if (launcher_exists(name)) candidate = name;
    if (!path_exists(candidate, false)) {
        for (const wchar_t* folder : {L"C:\\Program Files\\", L"C:\\Program Files (x86)\\"}) {
            if (path_exists(folder + name, false)) {
                candidate = folder + name;
                break;
            }
        }
    }
    if (path_exists(candidate, false)) return candidate;
    if (path_ext_lower(name) == L"exe") {
        const std::wstring file_name = path_name(name);
        for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM}) {
            std::wstring in_folder = special_folder(csidl) + L"\\" + file_name;
            if (path_exists(in_folder, false)) return in_folder;
        }
    }
    return name;
}

}  // namespace quillet
