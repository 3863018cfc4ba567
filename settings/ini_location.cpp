#include "settings/ini_location.h"

#include <windows.h>

#include <vector>

#include "text/codepage.h"
#include "base/file_replace.h"
#include "base/log.h"
#include "base/paths.h"
#include "text/text_file.h"
#include "settings/registry_key.h"

namespace quillet {

namespace {

const wchar_t* const bench_name = L"n_Bench";
constexpr int csidl_common_documents = 0x2E;

bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring strip_seps(std::wstring text) {
    for (int round = 0; round < 10000; ++round) {
        std::wstring before = text;
        if (!text.empty() && is_sep(text.front())) text.erase(0, 1);
        if (!text.empty() && is_sep(text.back())) text.pop_back();
        if (text == before) break;
    }
    return text;
}

// Replaces path with text as UTF-16LE with byte-order mark, through a sibling
// file, so that a write that fails half-way leaves the old content in place
// (the failure is logged with its error code).
bool replace_with_utf16(const std::wstring& path, const std::wstring& text) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    const std::vector<uint8_t> units = wide_bytes(text);
    bytes.insert(bytes.end(), units.begin(), units.end());
    return replace_file_bytes(path, bytes);
}

}  // namespace

settings_guard& the_settings_guard() {
    static settings_guard guard;
    return guard;
}

std::wstring path_join(const std::wstring& a, const std::wstring& b) {
    std::wstring left = strip_seps(a);
    std::wstring right = strip_seps(b);
    if (!left.empty() && !right.empty()) return left + L"\\" + right;
    return left + right;
}

std::wstring read_registry_base() {
    std::wstring base = path_join(L"", bench_name);
    std::wstring key = L"Software\\" + base;
    registry_key reg;
    std::wstring redirect = reg.get_string(HKEY_CURRENT_USER, key.c_str(), nullptr, L"");
    std::wstring in_effect = redirect.empty() ? base : redirect;
    reg.set_string(HKEY_CURRENT_USER, key.c_str(), L"RegKey_Base は", in_effect.c_str());
    return in_effect;
}

std::wstring registry_base() {
    static bool known = false;
    static std::wstring base;
    if (!known) {
        base = read_registry_base();
        known = true;
    }
    return base;
}

std::wstring ini_folder() { return ini_folder_below(registry_base()); }

std::wstring ini_folder_below(const std::wstring& base) {
    std::wstring documents = special_folder(csidl_common_documents);
    std::wstring setting = path_join(path_join(L"", bench_name), L"_Setting");
    std::wstring folder = documents + L"\\" + setting;
    if (!folder_exists(folder)) {
        folder = documents + L"\\" + L"Temp\\" + setting;
        if (!folder_exists(folder)) make_folders_ini(folder);
    }
    std::wstring key = L"Software\\" + base + L"\\" + bench_name;
    registry_key reg;
    std::wstring redirect = reg.get_string(HKEY_CURRENT_USER, key.c_str(), L"IniFullBase", L"");
    if (!redirect.empty()) folder = redirect;
    reg.set_string(HKEY_CURRENT_USER, key.c_str(), L"IniFullBase は", folder.c_str());
    return folder;
}

bool prepare_unicode_ini(const std::wstring& path) {
    if (path.empty()) return false;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    // CREATE_NEW: a file that appeared meanwhile is never overwritten.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    const BYTE bom[2] = {0xFF, 0xFE};
    DWORD done = 0;
    WriteFile(file, bom, sizeof bom, &done, nullptr);
    CloseHandle(file);
    return true;
}

std::wstring read_profile_text(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                               const std::wstring& path) {
    // A value that does not fit is cut to size - 1 characters and the call
    // returns size - 1: try again with twice the room, up to 16M characters.
    constexpr DWORD largest = 1u << 24;
    for (DWORD size = 10001;; size *= 2) {
        std::vector<wchar_t> buffer(size + 1, L'\0');
        DWORD n = GetPrivateProfileStringW(section, key, def, buffer.data(), size, path.c_str());
        if (n > size) n = size;
        if (n + 1 < size || size >= largest) return std::wstring(buffer.data(), n);
    }
}

std::wstring ini_header(const std::wstring& time_text) {
    std::wstring rule = L";" + std::wstring(69, L'-') + L"\r\n";
    return rule + L";\t" + time_text + L"\r\n" + rule;
}

std::wstring ini_path(const std::wstring& name) {
    std::wstring path = name;
    if (path.find(L'\\') == std::wstring::npos) path = ini_folder() + L"\\" + name;
    if (path_ext_lower(path) != L"ini") path += L".ini";

    guard_scope guard;
    std::wstring folder = path_folder(path);
    if (!folder_exists(folder)) make_folders_ini(folder);

    file_status status(path);
    if (!status.failed() && status.is_file() && !has_utf16_bom(path)) {
        // An ANSI INI file: the platform's profile functions keep Unicode
        // values only in a UTF-16 file. A file that cannot be read (held by
        // another program, or empty) is left as it is; writing the header
        // alone would throw its content away.
        std::wstring text;
        if (read_text_file(path, text) &&
            !replace_with_utf16(path, ini_header(now_text(L"%Y/%m/%d %H:%M:%S")) + text))
            log_line(L"::ini_path   Can't convert to UTF-16   " + path);
    }
    return path;
}

}  // namespace quillet
