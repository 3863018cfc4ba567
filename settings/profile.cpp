#include "settings/profile.h"

#include <vector>

#include "base/log.h"
#include "base/paths.h"
#include "settings/ini_location.h"
#include "settings/value_forms.h"

namespace quillet {

namespace {

struct cache_entry {
    std::wstring path;
    std::wstring section;
    std::wstring key;
    int int_value = 0;
    std::wstring string_value;
    int hits = 0;
};

// The profile cache and its switches: process-wide, used only from the
// user-interface thread.
std::vector<cache_entry> int_cache;
std::vector<cache_entry> string_cache;
int use_cache = 1;
uint32_t last_flush = 0;
std::function<uint32_t()> cache_clock;

uint32_t clock_seconds() {
    if (cache_clock) return cache_clock();
    return GetTickCount() / 1000;
}

bool same_name(const std::wstring& a, const wchar_t* b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) ==
           CSTR_EQUAL;
}

int find_entry(std::vector<cache_entry>& cache, const std::wstring& path,
               const wchar_t* section, const wchar_t* key) {
    for (size_t i = 0; i < cache.size(); ++i) {
        const cache_entry& e = cache[i];
        if (same_name(e.path, path.c_str()) && same_name(e.section, section) &&
            same_name(e.key, key))
            return static_cast<int>(i);
    }
    return -1;
}

// The entry of section and key in cache, added (with no value yet) when missing.
cache_entry& cache_slot(std::vector<cache_entry>& cache, const std::wstring& path,
                        const wchar_t* section, const wchar_t* key) {
    const int index = find_entry(cache, path, section, key);
    if (index >= 0) return cache[static_cast<size_t>(index)];
    cache_entry e;
    e.path = path;
    e.section = section;
    e.key = key;
    cache.push_back(e);
    return cache.back();
}

// The calling thread shows a window of its own (the program's main window).
bool thread_has_window() {
    bool found = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM seen) {
            if (!IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<bool*>(seen) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void flush_cache(std::vector<cache_entry>& cache, bool log) {
    if (log) {
        if (thread_has_window()) MessageBeep(MB_ICONASTERISK);
        for (const cache_entry& e : cache)
            log_line(L"Cache \t " + e.path + L"\t " + e.section + L"\t " + e.key + L"\t " +
                     int_text(e.int_value) + L"\t " + e.string_value + L"\t " +
                     int_text(e.hits));
    }
    cache.clear();
}

}  // namespace

profile::profile(const std::wstring& name) {
    std::wstring file = name.empty() ? path_title(module_path()) + L".INI" : name;
    path_ = ini_path(file);
    use_cache = get_int(L"Debug\\2009_09", L"UseProfileCache", use_cache);
    write_switch_ = get_int(L"Debug", L"Write", 0);
    log_switch_ = get_int(L"Debug", L"Log", 0);
}

int profile::get_int(const wchar_t* section, const wchar_t* key, int def) {
    if (!section || !key) return def;
    int result;
    {
        guard_scope guard;
        result = get_int_raw(section, key, def);
    }
    if (write_switch_) write_int(section, key, result);
    return result;
}

int profile::get_int_raw(const wchar_t* section, const wchar_t* key, int def) {
    if (!section || !key) return def;
    int index = cache_find_int(section, key);
    if (index >= 0) return int_cache[index].int_value;
    int result = static_cast<int>(GetPrivateProfileIntW(section, key, def, path_.c_str()));
    cache_put_int(section, key, result);
    if (log_switch_)
        log_line(L"GetInt\t " + path_ + L"\t " + section + L"\t " + key + L"\t " + int_text(def) +
                 L"\t " + int_text(result));
    return result;
}

std::wstring profile::get_string(const wchar_t* section, const wchar_t* key, const wchar_t* def) {
    if (!def) def = L"";
    if (!section || !key) return def;
    std::wstring result;
    {
        guard_scope guard;
        result = get_string_raw(section, key, def);
    }
    if (write_switch_) write_string(section, key, result.c_str());
    return result;
}

std::wstring profile::get_string_raw(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* def) {
    if (!def) def = L"";
    if (!section || !key) return def;
    int index = cache_find_string(section, key);
    if (index >= 0) return string_cache[index].string_value;
    std::wstring result = read_profile_text(section, key, def, path_);
    cache_put_string(section, key, result);
    if (log_switch_)
        log_line(L"GetStr\t " + path_ + L"\t " + section + L"\t " + key + L"\t " + def + L"\t " +
                 result);
    return result;
}

int profile::write_int(const wchar_t* section, const wchar_t* key, int value) {
    if (!section || !key) return 0;
    guard_scope guard;
    return write_int_raw(section, key, value);
}

int profile::write_int_raw(const wchar_t* section, const wchar_t* key, int value) {
    if (!section || !key) return 0;
    // The string cache may hold an older text of the same entry.
    cache_forget(section, key, false, true);
    prepare_unicode_ini(path_);
    BOOL ok = WritePrivateProfileStringW(section, key, int_text(value).c_str(), path_.c_str());
    // A value that did not reach the file is not served from memory either.
    if (ok)
        cache_put_int(section, key, value);
    else
        cache_forget(section, key, true, false);
    return ok ? 1 : 0;
}

int profile::write_string(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (!section) return 0;
    guard_scope guard;
    return write_string_raw(section, key, value);
}

int profile::write_string_raw(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (!section) return 0;
    // A deleted section or entry must read back as absent (the caller's
    // default), not as a remembered value: forget it in both caches.
    bool deletion = !key || !value;
    cache_forget(section, key, true, true);
    if (!deletion) prepare_unicode_ini(path_);
    BOOL ok = WritePrivateProfileStringW(section, key, value, path_.c_str());
    if (ok && !deletion) cache_put_string(section, key, value);
    return ok ? 1 : 0;
}

int profile::write_string_if_absent(const wchar_t* section, const wchar_t* key,
                                    const wchar_t* value) {
    // With a null key the write would delete the whole section.
    if (!section || !key) return 0;
    get_string(section, key, value);
    // The presence test asks the file itself: the cache holds the default of
    // an absent entry after the read above and would report it as present.
    std::wstring probe = read_profile_text(section, key, L"0", path_);
    if (probe == L"0") probe = read_profile_text(section, key, L"1", path_);
    if (probe != L"1") return 0;
    return write_string(section, key, value);
}

int profile::write_int_if_absent(const wchar_t* section, const wchar_t* key, int value) {
    if (!section || !key) return 0;
    get_int(section, key, value);
    UINT probe = GetPrivateProfileIntW(section, key, 0, path_.c_str());
    if (probe == 0) probe = GetPrivateProfileIntW(section, key, 1, path_.c_str());
    if (probe != 1) return 0;
    return write_int(section, key, value);
}

int profile::cache_find_int(const wchar_t* section, const wchar_t* key) {
    if (!use_cache || !section || !key) return -1;
    int index = find_entry(int_cache, path_, section, key);
    if (index >= 0) ++int_cache[index].hits;
    return index;
}

int profile::cache_find_string(const wchar_t* section, const wchar_t* key) {
    if (!use_cache || !section || !key) return -1;
    int index = find_entry(string_cache, path_, section, key);
    if (index >= 0) ++string_cache[index].hits;
    return index;
}

int profile::cache_put_int(const wchar_t* section, const wchar_t* key, int value) {
    if (!use_cache || !section || !key) return 0;
    cache_tick();
    cache_slot(int_cache, path_, section, key).int_value = value;
    return 1;
}

int profile::cache_put_string(const wchar_t* section, const wchar_t* key,
                              const std::wstring& value) {
    if (!use_cache || !section || !key) return 0;
    cache_tick();
    cache_slot(string_cache, path_, section, key).string_value = value;
    return 1;
}

void profile::cache_tick() {
    uint32_t now = clock_seconds();
    if (now - last_flush > 10) {
        last_flush = now;
        flush_cache(int_cache, log_switch_ != 0);
        flush_cache(string_cache, log_switch_ != 0);
    }
}

void profile::cache_forget(const wchar_t* section, const wchar_t* key, bool ints, bool strings) {
    auto forget = [&](std::vector<cache_entry>& cache) {
        for (size_t i = cache.size(); i-- > 0;) {
            const cache_entry& e = cache[i];
            if (same_name(e.path, path_.c_str()) && same_name(e.section, section) &&
                (!key || same_name(e.key, key)))
                cache.erase(cache.begin() + static_cast<std::ptrdiff_t>(i));
        }
    };
    if (ints) forget(int_cache);
    if (strings) forget(string_cache);
}

void set_cache_clock(std::function<uint32_t()> clock) { cache_clock = std::move(clock); }
int use_cache_switch() { return use_cache; }
size_t cached_int_count() { return int_cache.size(); }
size_t cached_string_count() { return string_cache.size(); }

int cached_int_hits(int index) {
    if (index < 0 || static_cast<size_t>(index) >= int_cache.size()) return -1;
    return int_cache[index].hits;
}

int cached_string_hits(int index) {
    if (index < 0 || static_cast<size_t>(index) >= string_cache.size()) return -1;
    return string_cache[index].hits;
}

void flush_profile_cache(bool log) {
    flush_cache(int_cache, log);
    flush_cache(string_cache, log);
}

}  // namespace quillet
