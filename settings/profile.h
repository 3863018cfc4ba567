// The settings object of the user interface: integers and strings in one INI
// file, served through a process-wide cache that is flushed every 10 seconds,
// with the [Debug] switches "Write" (write back every value read) and "Log"
// (log every read), the typed value forms and the dialog's window placement.
// Section, key and value texts may be null, as in the platform's profile calls:
// reads with a null section or key give the default, a null key in a write
// deletes the section and a null value deletes the entry.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace quillet {

class profile {
public:
    // name "" is the program's own INI file (its file title + ".INI");
    // the file is located with ini_path.
    explicit profile(const std::wstring& name = L"");

    // Guarded reads and writes (the Write switch writes every value read back).
    int get_int(const wchar_t* section, const wchar_t* key, int def);
    int write_int(const wchar_t* section, const wchar_t* key, int value);
    std::wstring get_string(const wchar_t* section, const wchar_t* key, const wchar_t* def);
    int write_string(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    // Writes only when the entry is not in the file; the write's result, else 0.
    int write_string_if_absent(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    int write_int_if_absent(const wchar_t* section, const wchar_t* key, int value);

    // Typed forms: the getters read the suffixed text form (for the log and
    // the Write switch) and return the plain form; the writers write both.
    int64_t get_i64(const wchar_t* section, const wchar_t* key, int64_t def);
    int write_i64(const wchar_t* section, const wchar_t* key, int64_t value);
    double get_double(const wchar_t* section, const wchar_t* key, double def);
    int write_double(const wchar_t* section, const wchar_t* key, double value);
    RECT get_rect(const wchar_t* section, const wchar_t* key, const RECT& def);
    int write_rect(const wchar_t* section, const wchar_t* key, const RECT& value);
    POINT get_point(const wchar_t* section, const wchar_t* key, const POINT& def);
    int write_point(const wchar_t* section, const wchar_t* key, const POINT& value);
    int64_t get_i64_pair(const wchar_t* section, const wchar_t* key, int64_t def);
    int write_i64_pair(const wchar_t* section, const wchar_t* key, int64_t value);
    double get_double_short(const wchar_t* section, const wchar_t* key, double def);
    int write_double_short(const wchar_t* section, const wchar_t* key, double value);
    RECT get_rect_padded(const wchar_t* section, const wchar_t* key, const RECT& def);
    int write_rect_padded(const wchar_t* section, const wchar_t* key, const RECT& value);
    POINT get_point_padded(const wchar_t* section, const wchar_t* key, const POINT& def);
    int write_point_padded(const wchar_t* section, const wchar_t* key, const POINT& value);

    // Unguarded reads and writes through the cache.
    int get_int_raw(const wchar_t* section, const wchar_t* key, int def);
    int write_int_raw(const wchar_t* section, const wchar_t* key, int value);
    std::wstring get_string_raw(const wchar_t* section, const wchar_t* key, const wchar_t* def);
    int write_string_raw(const wchar_t* section, const wchar_t* key, const wchar_t* value);

    std::wstring path() const { return path_; }
    int write_switch() const { return write_switch_; }
    int log_switch() const { return log_switch_; }

    // Window placement of a dialog, under "Position\Dialog", key
    // "Position_" + name + "_" + class_name; "DPI_" under "Position".
    // Save: rect null takes the window's rectangle (nothing is written for a
    // minimised window); 1 when the rectangle was written.
    int save_dialog_placement(HWND window, const wchar_t* name, const RECT* rect = nullptr,
                              const wchar_t* class_name = L"CDialog");
    // Restore: moves the window to the stored rectangle fitted into the work
    // area of its monitor; leaves it alone when nothing usable is stored. 1.
    int restore_dialog_placement(HWND window, const wchar_t* name,
                                 const wchar_t* class_name = L"CDialog");
    // Writes rect under "Position\Dialog" with name as key.
    int save_dialog_rect(const wchar_t* name, const RECT& rect);

    // The cache (index or -1; 1 when stored, 0 with the cache switched off).
    int cache_find_int(const wchar_t* section, const wchar_t* key);
    int cache_find_string(const wchar_t* section, const wchar_t* key);
    int cache_put_int(const wchar_t* section, const wchar_t* key, int value);
    int cache_put_string(const wchar_t* section, const wchar_t* key, const std::wstring& value);
    void cache_tick();

private:
    // Drops cached entries that a write or deletion made stale.
    void cache_forget(const wchar_t* section, const wchar_t* key, bool ints, bool strings);

    std::wstring path_;
    int write_switch_ = 0;
    int log_switch_ = 0;
};

// Process-wide state of the profile cache, for tests and diagnostics.
// The clock of the periodic flush in whole seconds; an empty function restores
// the default, GetTickCount() / 1000.
void set_cache_clock(std::function<uint32_t()> clock);
int use_cache_switch();
size_t cached_int_count();
size_t cached_string_count();
// Hit count of the entry of the integer (string) cache at index, -1 when none.
int cached_int_hits(int index);
int cached_string_hits(int index);
// Empties both caches now (with the "Cache " log lines when log is set).
void flush_profile_cache(bool log);

}  // namespace quillet
