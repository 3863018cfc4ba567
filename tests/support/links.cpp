#include "support/links.h"

#include <windows.h>

namespace testing_support {

namespace {

// True when a directory entry of that name exists, even when it is a link
// that leads nowhere (the attribute query follows it, a listing does not).
bool entry_exists(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    FindClose(find);
    return true;
}

bool run_ln(const std::string& target, const std::string& link) {
    std::wstring command;
    for (char c : "Z:\\bin\\ln -s \"" + target + "\" \"" + link + "\"")
        command += static_cast<wchar_t>(static_cast<unsigned char>(c));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    // Wine starts a Unix program on its own: the handle may be signalled
    // before ln has run, so callers look for the link afterwards.
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace

std::string unix_path(const std::wstring& path) {
    using unix_name_fn = char*(CDECL*)(const wchar_t*);
    const auto unix_name = reinterpret_cast<unix_name_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unix_name) return "";
    char* name = unix_name(path.c_str());
    if (!name) return "";
    const std::string result = name;
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool make_symlink(const std::wstring& target, const std::wstring& link) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const DWORD folder = attributes != INVALID_FILE_ATTRIBUTES &&
                                 (attributes & FILE_ATTRIBUTE_DIRECTORY)
                             ? SYMBOLIC_LINK_FLAG_DIRECTORY
                             : 0;
    if (CreateSymbolicLinkW(link.c_str(), target.c_str(), folder) && entry_exists(link)) return true;
    const std::string unix_target = unix_path(target), unix_link = unix_path(link);
    if (unix_target.empty() || unix_link.empty() || !run_ln(unix_target, unix_link)) return false;
    // A link to a missing file shows in no Win32 query under Wine: the time
    // ln needs is all there is to go by.
    for (int i = 0; i < 100; ++i) {
        if (entry_exists(link)) return true;
        Sleep(50);
    }
    return attributes == INVALID_FILE_ATTRIBUTES;
}

}  // namespace testing_support
