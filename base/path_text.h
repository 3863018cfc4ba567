// Path text: taking paths apart and building them, splitting and joining
// lists, and the file-name wildcard. Pure text; nothing here asks the file
// system.
#pragma once
#include <string>
#include <vector>

namespace quillet {

// Text and list helpers.
std::wstring to_lower(const std::wstring& text);  // only A-Z change
std::vector<std::wstring> split_text(const std::wstring& text, const std::wstring& delimiters,
                                     bool whole = false);
std::wstring join_text(const std::vector<std::wstring>& list, const std::wstring& sep);
std::wstring join_text(const std::vector<std::wstring>& list, wchar_t sep);
std::vector<std::wstring> drop_empty(const std::vector<std::wstring>& list);
std::vector<std::wstring> sorted_unique(const std::vector<std::wstring>& list);
std::vector<std::wstring> reversed(const std::vector<std::wstring>& list);

// Taking paths apart and building them; "\\" and "/" are both separators.
std::wstring path_add_sep(const std::wstring& path, const std::wstring& sep = L"\\");
std::wstring path_del_sep(const std::wstring& path);
std::wstring path_name(const std::wstring& path);    // "abc" for "abc"
std::wstring path_folder(const std::wstring& path);  // "\\" when there is no separator
std::wstring path_ext(const std::wstring& path);
std::wstring path_ext_lower(const std::wstring& path);
std::wstring path_title(const std::wstring& path);
std::wstring path_normalize(const std::wstring& path, const std::wstring& sep = L"\\");
// The settings store's name operation: "????????.???" for a path without separator.
std::wstring path_name_ini(const std::wstring& path);

bool match_wild(const std::wstring& name, const std::wstring& pattern);  // only '*' is wild

}  // namespace quillet
