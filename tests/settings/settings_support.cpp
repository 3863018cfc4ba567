#include "settings_support.h"

#include <memory>

#include "base/log.h"
#include "settings/ini_location.h"
#include "settings/profile.h"

namespace settings_test {

uint32_t fake_seconds = 100000;

std::wstring test_key(const std::wstring& leaf) {
    return L"Software\\quillet_settings_test_" + std::to_wstring(GetCurrentProcessId()) + L"\\" +
           leaf;
}

bool reg_read_sz(const std::wstring& key, const wchar_t* name, std::wstring& out) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, bytes = 0;
    bool ok = RegQueryValueExW(h, name, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
              type == REG_SZ;
    if (ok) {
        std::vector<wchar_t> buf(bytes / 2 + 2, 0);
        ok = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                              &bytes) == ERROR_SUCCESS;
        if (ok) out = buf.data();
    }
    RegCloseKey(h);
    return ok;
}

bool reg_read_dword(const std::wstring& key, const wchar_t* name, DWORD& out) {
    DWORD bytes = sizeof out;
    return RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &out,
                        &bytes) == ERROR_SUCCESS;
}

bool reg_write_raw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                   DWORD bytes) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &h, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), bytes) ==
              ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

bool reg_write_sz(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return reg_write_raw(key, name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool reg_key_exists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

void reg_delete_value(const std::wstring& key, const wchar_t* name) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(h, name);
    RegCloseKey(h);
}

void reg_delete_tree(const std::wstring& key) { RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str()); }

saved_value::saved_value(std::wstring key, std::wstring name)
    : key_(std::move(key)), name_(std::move(name)) {
    existed_ = reg_read_sz(key_, name_.empty() ? nullptr : name_.c_str(), text_);
}

saved_value::~saved_value() {
    const wchar_t* name = name_.empty() ? nullptr : name_.c_str();
    if (existed_)
        reg_write_sz(key_, name, text_);
    else
        reg_delete_value(key_, name);
}

std::wstring ini_text(const std::wstring& path) {
    std::vector<uint8_t> b = testing_support::get_bytes(path);
    std::wstring text;
    if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        for (size_t i = 2; i + 1 < b.size(); i += 2)
            text += static_cast<wchar_t>(b[i] | (b[i + 1] << 8));
    } else {
        for (uint8_t c : b) text += static_cast<wchar_t>(c);
    }
    return text;
}

std::vector<std::wstring> log_lines_with(const std::wstring& needle) {
    std::vector<std::wstring> lines;
    std::wstring folder = quillet::dump_folder();
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*.txt").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return lines;
    do {
        std::wstring text = ini_text(folder + L"\\" + fd.cFileName);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L"\r\n", start);
            if (end == std::wstring::npos) end = text.size();
            std::wstring line = text.substr(start, end - start);
            if (line.find(needle) != std::wstring::npos) lines.push_back(line);
            start = end + 2;
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return lines;
}

void use_fake_clock() {
    quillet::set_cache_clock([] { return fake_seconds; });
}

void use_real_clock() { quillet::set_cache_clock(nullptr); }

void reset_use_cache(const std::wstring& folder) {
    std::wstring path = folder + L"\\reset_cache.ini";
    WritePrivateProfileStringW(L"Debug\\2009_09", L"UseProfileCache", L"1", path.c_str());
    quillet::flush_profile_cache(false);
    quillet::profile p(path);
    quillet::flush_profile_cache(false);
    DeleteFileW(path.c_str());
}

void SettingsTest::SetUp() {
    ini_key_ = L"Software\\" + quillet::registry_base() + L"\\n_Bench";
    saved_ini_base_ = std::make_unique<saved_value>(ini_key_, L"IniFullBase");
    ASSERT_TRUE(reg_write_sz(ini_key_, L"IniFullBase", folder()));
    use_fake_clock();
    fake_seconds += 100;
    quillet::flush_profile_cache(false);
}

void SettingsTest::TearDown() {
    reset_use_cache(folder());
    quillet::flush_profile_cache(false);
    use_real_clock();
    saved_ini_base_.reset();
}

std::wstring SettingsTest::folder() const {
    std::wstring f = scratch_.path();
    if (!f.empty() && f.back() == L'\\') f.pop_back();
    return f;
}

}  // namespace settings_test
