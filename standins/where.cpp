// where: prints the full path of every file that matches the given names in
// the current folder and then in each folder of PATH, trying the extensions of
// PATHEXT too, one path per line. When nothing matches, one line goes to the
// error output and the exit code is 1.
//
//   where [/Q] name...     (names may hold the wildcards * and ?)
#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

namespace {

std::wstring env(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return L"";
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name, &value[0], n);
    value.resize(n);
    return value;
}

std::vector<std::wstring> split(const std::wstring& text, wchar_t sep) {
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(sep, start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring item = text.substr(start, end - start);
        // PATH entries may be quoted when they hold a semicolon or spaces.
        if (item.size() >= 2 && item.front() == L'"' && item.back() == L'"')
            item = item.substr(1, item.size() - 2);
        if (!item.empty()) items.push_back(item);
        start = end + 1;
    }
    return items;
}

std::wstring lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring with_sep(const std::wstring& folder) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder;
    return folder + L"\\";
}

std::wstring full_path(const std::wstring& path) {
    wchar_t buffer[32768];
    DWORD n = GetFullPathNameW(path.c_str(), 32768, buffer, nullptr);
    if (n == 0 || n >= 32768) return path;
    return std::wstring(buffer, n);
}

// The plain files in folder whose names match pattern (wildcards allowed).
void match_in(const std::wstring& folder, const std::wstring& pattern,
              std::vector<std::wstring>& found) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((with_sep(folder) + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring path = full_path(with_sep(folder) + data.cFileName);
        bool known = false;
        for (const auto& f : found) known = known || lower(f) == lower(path);
        if (!known) found.push_back(path);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

void write_out(HANDLE out, const std::wstring& text) {
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Redirected to a file or pipe: UTF-8, so that no path is lost to a code page.
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                            nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool quiet = false;
    std::vector<std::wstring> names;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"/?") {
            write_out(out, L"WHERE [/Q] pattern...\r\n");
            return 0;
        }
        if (lower(arg) == L"/q") {
            quiet = true;
        } else if (!arg.empty() && arg[0] == L'/') {
            write_out(err, L"ERROR: Invalid argument or option - '" + arg + L"'.\r\n");
            return 2;
        } else if (!arg.empty()) {
            names.push_back(arg);
        }
    }
    if (names.empty()) {
        write_out(err, L"ERROR: A search pattern must be specified.\r\n");
        return 2;
    }

    std::vector<std::wstring> folders{L"."};
    for (const auto& f : split(env(L"PATH"), L';')) folders.push_back(f);
    std::wstring pathext = env(L"PATHEXT");
    if (pathext.empty()) pathext = L".COM;.EXE;.BAT;.CMD";
    std::vector<std::wstring> exts = split(pathext, L';');

    std::vector<std::wstring> found;
    bool all_found = true;
    for (const auto& name : names) {
        size_t before = found.size();
        for (const auto& folder : folders) {
            match_in(folder, name, found);
            for (const auto& ext : exts) match_in(folder, name + ext, found);
        }
        all_found = all_found && found.size() > before;
    }
    if (!quiet) {
        std::wstring text;
        for (const auto& f : found) text += f + L"\r\n";
        if (!text.empty()) write_out(out, text);  // one write: readers see whole lines
    }
    if (found.empty()) {
        if (!quiet) write_out(err, L"INFO: Could not find files for the given pattern(s).\r\n");
        return 1;
    }
    return all_found ? 0 : 1;
}
