// Reads the string values of an executable file's version resource (its own
// "OriginalFilename", "FileVersion" and so on) in the first language listed in
// the resource's translation table.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

class version_info {
public:
    version_info() = default;

    // Stores path; false when it is empty or does not exist, else load().
    bool set_file(const std::wstring& path);
    bool set_file(const wchar_t* path);
    // The value of the named string, "" when there is none (loads on first use).
    std::wstring query(const std::wstring& name);
    // Loads the resource and finds its first translation; false (and one line on
    // the standard error stream) when the file has none.
    bool load();

    std::wstring comments() { return query(L"Comments"); }
    std::wstring company_name() { return query(L"CompanyName"); }
    std::wstring file_description() { return query(L"FileDescription"); }
    std::wstring file_version() { return query(L"FileVersion"); }
    std::wstring internal_name() { return query(L"InternalName"); }
    std::wstring legal_copyright() { return query(L"LegalCopyright"); }
    std::wstring legal_trademarks() { return query(L"LegalTrademarks"); }
    std::wstring original_filename() { return query(L"OriginalFilename"); }
    std::wstring private_build() { return query(L"PrivateBuild"); }
    std::wstring product_name() { return query(L"ProductName"); }
    std::wstring product_version() { return query(L"ProductVersion"); }
    std::wstring special_build() { return query(L"SpecialBuild"); }

    const std::wstring& file() const { return path_; }
    // "\StringFileInfo\" + language + code page (lowercase hex) + "\"; "" until loaded.
    const std::wstring& table_prefix() const { return prefix_; }

private:
    std::wstring path_;
    DWORD handle_ = 0;
    DWORD size_ = 0;
    std::vector<uint8_t> block_;
    std::wstring prefix_;
};

}  // namespace quillet
