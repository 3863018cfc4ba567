// Where the settings INI files are: the registry base name "RegKey_Base" and the
// INI folder "IniFullBase", both redirectable through HKEY_CURRENT_USER, and the
// INI path of a file name (an ANSI INI file found there is turned into UTF-16LE).
#pragma once
#include <string>

namespace quillet {

// a + "\\" + b after stripping leading and trailing "\\" and "/" from each part;
// a + b when either part is then empty.
std::wstring path_join(const std::wstring& a, const std::wstring& b);

// The registry base name ("n_Bench" unless the default value of
// HKCU\Software\n_Bench names another), looked up once per process.
std::wstring registry_base();
// The lookup itself, at every call: reads the redirection and records the base
// in effect as "RegKey_Base は" under HKCU\Software\n_Bench.
std::wstring read_registry_base();

// The INI folder (public documents\n_Bench\_Setting, or ...\Temp\n_Bench\_Setting
// when the first does not exist), unless "IniFullBase" under
// HKCU\Software\<registry_base()>\n_Bench names another; the folder in effect is
// recorded there as "IniFullBase は".
std::wstring ini_folder();
// The same with the registry base given.
std::wstring ini_folder_below(const std::wstring& base);

// The INI file for name: in ini_folder() when name has no "\\", ".ini" appended
// unless the extension already is ini (any case). Creates the file's folder;
// an existing file without UTF-16 byte-order mark gets a three-line header and
// is rewritten as UTF-16LE with byte-order mark.
std::wstring ini_path(const std::wstring& name);

// Creates a missing INI file as an empty UTF-16LE file (only the byte-order
// mark), so that the platform's profile functions keep it in UTF-16 and store
// every character; a file created by them is ANSI and loses what the ANSI code
// page cannot hold. True when the file exists afterwards.
bool prepare_unicode_ini(const std::wstring& path);

// GetPrivateProfileStringW of path with a buffer that grows until the whole
// value fits (the call cuts a value that does not fit to the buffer).
std::wstring read_profile_text(const wchar_t* section, const wchar_t* key, const wchar_t* def,
                               const std::wstring& path);

// The three header lines put in front of a converted ANSI INI file, for the
// local time text given ("%Y/%m/%d %H:%M:%S").
std::wstring ini_header(const std::wstring& time_text);

// The settings guard: a flag set while a settings file operation runs. All
// callers are on the user-interface thread; it gives no mutual exclusion.
class settings_guard {
public:
    void lock() { locked_ = true; }
    void unlock() { locked_ = false; }
    bool locked() const { return locked_; }

private:
    bool locked_ = false;
};
settings_guard& the_settings_guard();

// Locks the guard for the lifetime of the object.
class guard_scope {
public:
    guard_scope() { the_settings_guard().lock(); }
    ~guard_scope() { the_settings_guard().unlock(); }
    guard_scope(const guard_scope&) = delete;
    guard_scope& operator=(const guard_scope&) = delete;
};

}  // namespace quillet
