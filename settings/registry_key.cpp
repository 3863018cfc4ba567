#include "settings/registry_key.h"

namespace quillet {

namespace {

// Failure texts: 13 characters, padded with ideographic spaces.
const wchar_t* const text_cannot_open = L"指定セクションを開けない　";
const wchar_t* const text_missing = L"エントリが存在しない　　　";
const wchar_t* const text_not_dword = L"ＲＥＧ＿ＤＷＯＲＤでない　";
const wchar_t* const text_not_sz = L"ＲＥＧ＿ＳＺでない　　　　";
const wchar_t* const text_set_failed = L"登録に失敗　　　　　　　　";
const wchar_t* const text_delete_value_failed = L"削除に失敗　　値　　　　　";
const wchar_t* const text_delete_key_failed = L"削除に失敗　　キー　　　　";

std::wstring text_of(const wchar_t* p) { return p ? std::wstring(p) : std::wstring(); }

// Names longer than this are not legal registry names; the enumeration buffers
// grow up to it and no further.
constexpr DWORD max_name_chars = 32768;

}  // namespace

std::wstring registry_key::entry_text(const wchar_t* name) const {
    return key_path_ + L"\\[" + text_of(name) + L"]";
}

HKEY registry_key::open(HKEY root, const wchar_t* key_path, REGSAM access, bool create) {
    root_ = root;
    key_path_ = text_of(key_path);
    last_error_.clear();
    close();
    LSTATUS rc = RegOpenKeyExW(root, key_path_.c_str(), 0, access, key_.put());
    if (rc != ERROR_SUCCESS) {
        key_.reset();
        if (create) {
            rc = RegCreateKeyExW(root, key_path_.c_str(), 0, nullptr, 0,
                                 KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr,
                                 key_.put(), nullptr);
            if (rc != ERROR_SUCCESS) key_.reset();
        }
    }
    if (!key_) {
        last_error_ = text_cannot_open + key_path_;
        return nullptr;
    }
    return key_.get();
}

DWORD registry_key::check_type(const wchar_t* value_name, DWORD expected) {
    type_ = 0;
    size_ = 0;
    DWORD type = 0, size = 0;
    if (!key_ || RegQueryValueExW(key_.get(), value_name, nullptr, &type, nullptr, &size) !=
                     ERROR_SUCCESS) {
        last_error_ = text_missing + entry_text(value_name);
        close();
        return 0;
    }
    type_ = type;
    size_ = size;
    if (expected != 0 && type != expected) {
        if (expected == REG_DWORD) last_error_ = text_not_dword + entry_text(value_name);
        if (expected == REG_SZ) last_error_ = text_not_sz + entry_text(value_name);
        close();
    }
    return type;
}

int registry_key::close() {
    key_.reset();
    return 1;
}

int registry_key::get_int(HKEY root, const wchar_t* key_path, const wchar_t* value_name,
                          int def) {
    if (!key_path || !open(root, key_path, KEY_QUERY_VALUE, false)) return def;
    if (check_type(value_name, REG_DWORD) != REG_DWORD) return def;
    DWORD value = 0, size = sizeof value, type = 0;
    LSTATUS rc = RegQueryValueExW(key_.get(), value_name, nullptr, &type,
                                  reinterpret_cast<BYTE*>(&value), &size);
    close();
    // A REG_DWORD of another size than 4 bytes is not a usable value.
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) return def;
    return static_cast<int>(value);
}

bool registry_key::read_sz(const wchar_t* value_name, std::wstring& text) {
    DWORD size = size_;
    // The value may grow between the size query and the read: ask again a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        // Room for the stored bytes (an odd count included) and a terminator,
        // whether or not the stored data carries one.
        std::vector<wchar_t> buffer(size / 2 + 2, L'\0');
        DWORD bytes = size, type = 0;
        LSTATUS rc = RegQueryValueExW(key_.get(), value_name, nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (rc == ERROR_MORE_DATA) {
            size = bytes;
            continue;
        }
        if (rc != ERROR_SUCCESS || type != REG_SZ || bytes > size) return false;
        size_t chars = bytes / 2;
        size_t end = 0;
        while (end < chars && buffer[end] != L'\0') ++end;
        text.assign(buffer.data(), end);
        return true;
    }
    return false;
}

std::wstring registry_key::get_string(HKEY root, const wchar_t* key_path,
                                      const wchar_t* value_name, const wchar_t* def) {
    std::wstring fallback = text_of(def);
    if (!key_path || !open(root, key_path, KEY_QUERY_VALUE, false)) return fallback;
    if (check_type(value_name, REG_SZ) != REG_SZ) return fallback;
    std::wstring text;
    bool ok = read_sz(value_name, text);
    close();
    return ok ? text : fallback;
}

int registry_key::set_int(HKEY root, const wchar_t* key_path, const wchar_t* value_name,
                          int value) {
    if (!key_path || !open(root, key_path, KEY_SET_VALUE, true)) return 0;
    DWORD data = static_cast<DWORD>(value);
    LSTATUS rc = RegSetValueExW(key_.get(), value_name, 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), sizeof data);
    close();
    if (rc != ERROR_SUCCESS) {
        last_error_ = text_set_failed + entry_text(value_name);
        return 0;
    }
    return 1;
}

int registry_key::set_string(HKEY root, const wchar_t* key_path, const wchar_t* value_name,
                             const wchar_t* value) {
    if (!key_path) return 0;
    // Deletions do not create the key first: creating it (and its missing
    // parents) only to delete it would leave empty parent keys behind.
    if (!value_name) {
        std::wstring path = key_path;
        size_t cut = path.find_last_of(L'\\');
        std::wstring parent = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
        std::wstring last = cut == std::wstring::npos ? path : path.substr(cut + 1);
        return delete_key(root, parent.c_str(), last.c_str());
    }
    if (!value) return delete_value(root, key_path, value_name);
    if (!open(root, key_path, KEY_SET_VALUE, true)) return 0;
    std::wstring text = value;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    LSTATUS rc = RegSetValueExW(key_.get(), value_name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()), bytes);
    close();
    if (rc != ERROR_SUCCESS) {
        last_error_ = text_set_failed + entry_text(value_name);
        return 0;
    }
    return 1;
}

int registry_key::delete_value(HKEY root, const wchar_t* key_path, const wchar_t* value_name) {
    if (!key_path || !value_name) return 0;
    if (!open(root, key_path, KEY_SET_VALUE, false)) return 0;
    LSTATUS rc = RegDeleteValueW(key_.get(), value_name);
    close();
    if (rc != ERROR_SUCCESS) {
        last_error_ = text_delete_value_failed + entry_text(value_name);
        return 0;
    }
    return 1;
}

int registry_key::delete_key(HKEY root, const wchar_t* key_path, const wchar_t* subkey) {
    if (!key_path || !subkey) return 0;
    if (!open(root, key_path, KEY_SET_VALUE, false)) return 0;
    LSTATUS rc = RegDeleteKeyW(key_.get(), subkey);
    close();
    if (rc != ERROR_SUCCESS) {
        last_error_ = text_delete_key_failed + entry_text(subkey);
        return 0;
    }
    return 1;
}

int registry_key::enum_names(HKEY root, const wchar_t* key_path, bool keys,
                             std::vector<std::wstring>& list) {
    list.clear();
    if (!key_path || !open(root, key_path, KEY_READ, false)) return 0;
    std::vector<wchar_t> buffer(1024);
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LSTATUS rc = keys ? RegEnumKeyExW(key_.get(), index, buffer.data(), &length, nullptr,
                                          nullptr, nullptr, nullptr)
                          : RegEnumValueW(key_.get(), index, buffer.data(), &length, nullptr,
                                          nullptr, nullptr, nullptr);
        // A name longer than the buffer would otherwise end the listing early
        // and hide every later name: grow the buffer and ask again.
        if (rc == ERROR_MORE_DATA && buffer.size() < max_name_chars) {
            buffer.resize(max_name_chars);
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        list.emplace_back(buffer.data(), length);
        ++index;
    }
    close();
    return 1;
}

int registry_key::enum_keys(HKEY root, const wchar_t* key_path, std::vector<std::wstring>& list) {
    return enum_names(root, key_path, true, list);
}

int registry_key::enum_values(HKEY root, const wchar_t* key_path,
                              std::vector<std::wstring>& list) {
    return enum_names(root, key_path, false, list);
}

}  // namespace quillet
