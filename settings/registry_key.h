// A small wrapper around one registry key (open, type check, read, write,
// delete, enumerate) that keeps the text of its last failure. Every operation
// opens the key and closes it again before it returns. Texts that may be
// absent (a null value name deletes a key, a null value deletes a value) are
// passed as wide character pointers.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/handles.h"

namespace quillet {

class registry_key {
public:
    registry_key() = default;
    registry_key(const registry_key&) = delete;
    registry_key& operator=(const registry_key&) = delete;

    // Reads of missing keys or values, or values of another type, give def.
    std::wstring get_string(HKEY root, const wchar_t* key_path, const wchar_t* value_name,
                            const wchar_t* def);
    int get_int(HKEY root, const wchar_t* key_path, const wchar_t* value_name, int def);
    // Writes create the key when missing; 1 on success, 0 on failure.
    // set_string with a null value name deletes the key itself; with a null
    // value it deletes the value.
    int set_string(HKEY root, const wchar_t* key_path, const wchar_t* value_name,
                   const wchar_t* value);
    int set_int(HKEY root, const wchar_t* key_path, const wchar_t* value_name, int value);

    // Typed forms (see value_forms.h).
    int64_t get_i64(HKEY root, const wchar_t* key_path, const wchar_t* name, int64_t def);
    int set_i64(HKEY root, const wchar_t* key_path, const wchar_t* name, int64_t value);
    double get_double(HKEY root, const wchar_t* key_path, const wchar_t* name, double def);
    int set_double(HKEY root, const wchar_t* key_path, const wchar_t* name, double value);
    RECT get_rect(HKEY root, const wchar_t* key_path, const wchar_t* name, const RECT& def);
    int set_rect(HKEY root, const wchar_t* key_path, const wchar_t* name, const RECT& value);
    POINT get_point(HKEY root, const wchar_t* key_path, const wchar_t* name, const POINT& def);
    int set_point(HKEY root, const wchar_t* key_path, const wchar_t* name, const POINT& value);
    int64_t get_i64_pair(HKEY root, const wchar_t* key_path, const wchar_t* name, int64_t def);
    int set_i64_pair(HKEY root, const wchar_t* key_path, const wchar_t* name, int64_t value);

    int delete_value(HKEY root, const wchar_t* key_path, const wchar_t* value_name);
    int delete_key(HKEY root, const wchar_t* key_path, const wchar_t* subkey);
    // Empty the list, then fill it with the names of the subkeys (values);
    // 0 when the key path is null or the key does not open.
    int enum_keys(HKEY root, const wchar_t* key_path, std::vector<std::wstring>& list);
    int enum_values(HKEY root, const wchar_t* key_path, std::vector<std::wstring>& list);

    std::wstring last_error_text() const { return last_error_; }

    // Opens key_path below root (creating it when create is set); null and a
    // failure text when it does not open.
    HKEY open(HKEY root, const wchar_t* key_path, REGSAM access, bool create);
    // Type of the value (0 when missing). The key stays open only when the type
    // matched or expected is 0.
    DWORD check_type(const wchar_t* value_name, DWORD expected);
    int close();

    // Type and byte size found by the last check_type.
    DWORD value_type() const { return type_; }
    DWORD data_size() const { return size_; }

private:
    std::wstring entry_text(const wchar_t* name) const;
    // Reads the open key's REG_SZ value within its stored size; false on failure.
    bool read_sz(const wchar_t* value_name, std::wstring& text);
    int enum_names(HKEY root, const wchar_t* key_path, bool keys, std::vector<std::wstring>& list);

    HKEY root_ = nullptr;
    std::wstring key_path_;
    unique_hkey key_;
    DWORD type_ = 0;
    DWORD size_ = 0;
    std::wstring last_error_;
};

}  // namespace quillet
