#include "engine/dest_name.h"

#include <windows.h>

#include "base/file_identity.h"
#include "base/paths.h"

namespace quillet {

namespace {

// The longest name one folder entry may have (NTFS and most Unix file systems).
constexpr size_t longest_name = 255;

bool is_forbidden_char(wchar_t c) {
    return c < 0x20 || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' || c == L'*';
}

}  // namespace

std::wstring entry_name(const std::wstring& entry) {
    const size_t last = entry.find_last_of(L"\\/");
    return last == std::wstring::npos ? entry : entry.substr(last + 1);
}

std::wstring name_key(const std::wstring& name) {
    std::wstring key = name;
    if (key.empty()) return key;
    // The invariant locale: no language's own rules (a Turkish dotless i).
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(),
                                static_cast<int>(name.size()), &key[0], static_cast<int>(key.size()),
                                nullptr, nullptr, 0);
    if (n == static_cast<int>(name.size())) return key;
    key = name;
    for (wchar_t& c : key)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    return key;
}

bool name_taken(const std::wstring& holder, const std::wstring& entry) {
    return name_key(path_normalize(holder)) != name_key(path_normalize(entry));
}

std::wstring stored_name(const std::wstring& name) {
    const size_t last = name.find_last_not_of(L". ");
    return last == std::wstring::npos ? std::wstring() : name.substr(0, last + 1);
}

bool is_device_name(const std::wstring& name) {
    // The device is the part before the first dot, spaces before the dot aside.
    std::wstring base = to_lower(name.substr(0, name.find(L'.')));
    base.erase(base.find_last_not_of(L' ') + 1);
    if (base == L"con" || base == L"prn" || base == L"aux" || base == L"nul" ||
        base == L"conin$" || base == L"conout$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, L"com") != 0 && base.compare(0, 3, L"lpt") != 0))
        return false;
    const wchar_t digit = base[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
           digit == L'\u00B3';
}

bool is_run_list_name(const std::wstring& name) {
    const std::wstring lower = to_lower(name);
    return lower == L"_copy_.ilc" || lower == L"copy_.ilc" || lower == L"utf_8.ilc" ||
           lower == L"utf16.ilc" || lower == L"s_jis.ilc";
}

std::wstring name_refusal(const std::wstring& raw) {
    if (raw == L"." || raw == L"..") return L"not a file name";
    const std::wstring name = stored_name(raw);
    if (name.empty()) return L"no file name";
    if (name.size() > longest_name) return L"a file name too long";
    if (name.find(L':') != std::wstring::npos) return L"a stream name";
    for (wchar_t c : name) {
        if (is_forbidden_char(c)) return L"a character no file name holds";
    }
    if (is_device_name(name)) return L"a device name";
    return L"";
}

bool lies_directly_in(const std::wstring& path, const std::wstring& folder) {
    const std::wstring full = full_path(path);
    const std::wstring full_folder = full_path(folder.empty() ? L"." : folder);
    if (full.empty() || full_folder.empty()) return false;
    const std::wstring prefix = to_lower(path_add_sep(full_folder));
    if (full.size() <= prefix.size() || to_lower(full.substr(0, prefix.size())) != prefix)
        return false;
    return full.find_first_of(L"\\/", prefix.size()) == std::wstring::npos;
}

dest_choice destination_of(const std::wstring& dest_folder, const std::wstring& entry) {
    dest_choice choice;
    const std::wstring raw = entry_name(entry);
    const std::wstring name = stored_name(raw);
    choice.refusal = name_refusal(raw);
    if (choice.refusal.empty() && is_run_list_name(name))
        choice.refusal = L"named like a list file of the run";
    if (!choice.refusal.empty()) return choice;
    const std::wstring path = path_add_sep(dest_folder) + name;
    if (!lies_directly_in(path, dest_folder)) {
        choice.refusal = L"outside the destination folder";
        return choice;
    }
    choice.path = path;
    return choice;
}

size_t name_holders::taken_by(const std::vector<std::wstring>& files, size_t i,
                              const dest_choice& choice) {
    if (!choice.ok()) return SIZE_MAX;
    const size_t holder = first_.emplace(name_key(path_name(choice.path)), i).first->second;
    return name_taken(files[holder], files[i]) ? holder : SIZE_MAX;
}

}  // namespace quillet
