#include "settings/tool_settings.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "text/codepage.h"
#include "base/diagnostic.h"
#include "base/paths.h"
#include "settings/ini_location.h"

namespace quillet {

namespace {

constexpr int csidl_common_documents = 0x2E;

void report_write_failure(const std::wstring& section, const std::wstring& key, DWORD error) {
    error_note(L"::WritePrivateProfileString " + section + L" " + key + L" " +
               std::to_wstring(error));
}

}  // namespace

std::wstring tool_settings_folder() {
    return special_folder(csidl_common_documents) + L"\\" + L"Temp" + L"\\" + L"Tool" + L"\\" +
           L"_setting";
}

tool_settings::tool_settings() {
    if (path_ext_lower(name_) == L"ini") use_registry_ = false;
    std::wstring folder = tool_settings_folder();
    if (!folder_exists(folder)) make_folders(folder);
    path_ = folder + L"\\" + path_title(name_) + L".ini";
}

tool_settings::tool_settings(const std::wstring& ini_file) : path_(ini_file) {}

bool tool_settings::open_section(const std::wstring&) {
    // Sections are registry keys only in the registry mode.
    return use_registry_;
}

uint32_t tool_settings::get_dword(const std::wstring& section, const std::wstring& key,
                                  uint32_t def) {
    std::wstring text = ini_get_text(section, key, std::to_wstring(def));
    return static_cast<uint32_t>(wcstoul(text.c_str(), nullptr, 10));
}

uint64_t tool_settings::get_qword(const std::wstring& section, const std::wstring& key,
                                  uint64_t def) {
    std::wstring text = ini_get_text(section, key, std::to_wstring(def));
    return static_cast<uint64_t>(wcstoull(text.c_str(), nullptr, 10));
}

std::wstring tool_settings::get_string(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& def) {
    return ini_get_text(section, key, def);
}

bool tool_settings::set_dword(const std::wstring& section, const std::wstring& key,
                              uint32_t value) {
    return ini_put_text(section, key, std::to_wstring(value));
}

bool tool_settings::set_qword(const std::wstring& section, const std::wstring& key,
                              uint64_t value) {
    return ini_put_text(section, key, std::to_wstring(value));
}

bool tool_settings::set_string(const std::wstring& section, const std::wstring& key,
                               const std::wstring& value) {
    return ini_put_text(section, key, value);
}

std::wstring tool_settings::ini_get_text(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& def) {
    if (path_.empty() || section.empty() || key.empty()) return def;
    return read_profile_text(section.c_str(), key.c_str(), def.c_str(), path_);
}

bool tool_settings::ini_put_text(const std::wstring& section, const std::wstring& key,
                                 const std::wstring& value) {
    if (path_.empty() || section.empty()) return false;
    // An empty key deletes the whole section.
    const wchar_t* key_arg = key.empty() ? nullptr : key.c_str();
    const wchar_t* value_arg = key.empty() ? nullptr : value.c_str();
    if (value_arg) prepare_unicode_ini(path_);
    BOOL ok = WritePrivateProfileStringW(section.c_str(), key_arg, value_arg, path_.c_str());
    if (ok) return true;
    report_write_failure(section, key, GetLastError());
    // Another program (an editor, a virus scanner) may hold the file for a
    // moment: try again a few times.
    for (int retry = 0; retry < 10; ++retry) {
        ok = WritePrivateProfileStringW(section.c_str(), key_arg, value_arg, path_.c_str());
        if (ok) break;
        Sleep(10);
    }
    return ok != 0;
}

}  // namespace quillet
