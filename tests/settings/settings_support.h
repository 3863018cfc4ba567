// Shared helpers of the settings tests: raw registry access through the plain
// Win32 calls, raw INI text, the debug dump's text, a fake clock for the
// profile cache, and a fixture that points the INI folder at a scratch folder.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace settings_test {

// A registry key path below HKEY_CURRENT_USER\Software unique to this process.
std::wstring test_key(const std::wstring& leaf);

bool reg_read_sz(const std::wstring& key, const wchar_t* name, std::wstring& out);
bool reg_read_dword(const std::wstring& key, const wchar_t* name, DWORD& out);
bool reg_write_raw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                   DWORD bytes);
bool reg_write_sz(const std::wstring& key, const wchar_t* name, const std::wstring& value);
bool reg_key_exists(const std::wstring& key);
void reg_delete_value(const std::wstring& key, const wchar_t* name);
void reg_delete_tree(const std::wstring& key);

// Saves a REG_SZ value (or its absence) and puts it back on destruction.
class saved_value {
public:
    saved_value(std::wstring key, std::wstring name);
    ~saved_value();

private:
    std::wstring key_, name_, text_;
    bool existed_ = false;
};

// The text of an INI file: UTF-16LE after a byte-order mark, else the bytes
// taken as ASCII.
std::wstring ini_text(const std::wstring& path);
// Every line of every debug dump file that contains needle.
std::vector<std::wstring> log_lines_with(const std::wstring& needle);

// The fake cache clock: seconds, advanced by the tests.
extern uint32_t fake_seconds;
void use_fake_clock();
void use_real_clock();

// Makes the process-wide cache switch 1 again (a profile on a file whose
// [Debug\2009_09] "UseProfileCache" is 1).
void reset_use_cache(const std::wstring& folder);

// Points "IniFullBase" at a fresh scratch folder (restored afterwards), runs
// the profile cache on the fake clock and starts each test with empty caches.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The scratch folder without trailing separator, as the INI folder.
    std::wstring folder() const;
    std::wstring ini_file(const std::wstring& name) const { return folder() + L"\\" + name; }
    // Advances the fake clock past the flush period.
    void pass_flush_period() { fake_seconds += 11; }

    testing_support::scratch_folder scratch_;
    std::wstring ini_key_;
    std::unique_ptr<saved_value> saved_ini_base_;
};

}  // namespace settings_test
