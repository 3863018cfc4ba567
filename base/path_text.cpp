// The pure text half of the path helpers: taking paths apart, building them,
// splitting and joining lists, and the file-name wildcard.
#include <algorithm>

#include "base/path_text.h"

namespace quillet {

namespace {
bool is_sep(wchar_t c) { return c == L'\\' || c == L'/'; }

// Position of the last backslash, or of the last slash when there is no
// backslash at all (a backslash anywhere wins over a later slash).
size_t last_sep(const std::wstring& path) {
    size_t pos = path.rfind(L'\\');
    if (pos == std::wstring::npos) pos = path.rfind(L'/');
    return pos;
}

bool plain_name_unusable(const std::wstring& name) {
    return name.empty() || name == L" " || name.find(L'?') != std::wstring::npos;
}
}  // namespace

std::wstring to_lower(const std::wstring& text) {
    std::wstring out = text;
    for (wchar_t& c : out)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return out;
}

std::vector<std::wstring> split_text(const std::wstring& text, const std::wstring& delimiters,
                                     bool whole) {
    std::vector<std::wstring> items;
    if (delimiters.empty()) {
        if (!text.empty()) items.push_back(text);
        return items;
    }
    const size_t skip = whole ? delimiters.size() : 1;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t from = pos;
        const wchar_t first = text[pos];
        if (first == L'"' || first == L'\'') {
            // A quoted piece runs to its closing quote; delimiters inside it
            // do not count.
            size_t close = text.find(first, pos + 1);
            if (close == std::wstring::npos) break;
            from = close + 1;
        }
        // The whole delimiter string is looked for after a quoted start too,
        // so that the skip below never swallows text that is not a delimiter.
        size_t found = whole ? text.find(delimiters, from) : text.find_first_of(delimiters, from);
        if (found == std::wstring::npos) break;
        items.push_back(text.substr(pos, found - pos));
        pos = found + skip;
    }
    if (pos < text.size()) items.push_back(text.substr(pos));
    return items;
}

std::wstring join_text(const std::vector<std::wstring>& list, const std::wstring& sep) {
    std::wstring out;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) out += sep;
        out += list[i];
    }
    return out;
}

std::wstring join_text(const std::vector<std::wstring>& list, wchar_t sep) {
    return join_text(list, std::wstring(1, sep));
}

std::vector<std::wstring> drop_empty(const std::vector<std::wstring>& list) {
    std::vector<std::wstring> out;
    for (const auto& item : list)
        if (!item.empty()) out.push_back(item);
    return out;
}

std::vector<std::wstring> sorted_unique(const std::vector<std::wstring>& list) {
    std::vector<std::wstring> out = list;
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::vector<std::wstring> reversed(const std::vector<std::wstring>& list) {
    return std::vector<std::wstring>(list.rbegin(), list.rend());
}

std::wstring path_add_sep(const std::wstring& path, const std::wstring& sep) {
    if (path.empty() || is_sep(path.back())) return path;
    return path + sep;
}

std::wstring path_del_sep(const std::wstring& path) {
    if (!path.empty() && is_sep(path.back())) return path.substr(0, path.size() - 1);
    return path;
}

std::wstring path_name(const std::wstring& path) {
    size_t pos = last_sep(path);
    return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring path_name_ini(const std::wstring& path) {
    size_t pos = last_sep(path);
    return pos == std::wstring::npos ? std::wstring(L"????????.???") : path.substr(pos + 1);
}

std::wstring path_folder(const std::wstring& path) {
    size_t pos = last_sep(path);
    return pos == std::wstring::npos ? std::wstring(L"\\") : path.substr(0, pos);
}

std::wstring path_ext(const std::wstring& path) {
    std::wstring name = path_name(path);
    if (plain_name_unusable(name)) return L"";
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

std::wstring path_ext_lower(const std::wstring& path) { return to_lower(path_ext(path)); }

std::wstring path_title(const std::wstring& path) {
    std::wstring name = path_name(path);
    if (plain_name_unusable(name)) return L"";
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

std::wstring path_normalize(const std::wstring& path, const std::wstring& sep) {
    // Every slash becomes a backslash; then runs of separators collapse to one,
    // except that the first two items always survive: the "\\\\" of a UNC path
    // and the separator after a drive or a first name ("C:\\", "a\\").
    std::vector<std::wstring> items;
    std::wstring item;
    for (wchar_t c : path) {
        if (is_sep(c)) {
            items.push_back(item);
            item.clear();
        } else {
            item += c;
        }
    }
    items.push_back(item);
    std::vector<std::wstring> kept;
    for (size_t i = 0; i < items.size(); ++i)
        if (i < 2 || !items[i].empty()) kept.push_back(items[i]);
    return join_text(kept, sep);
}

bool match_wild(const std::wstring& name, const std::wstring& pattern) {
    const std::wstring n = to_lower(name);
    const std::wstring p = to_lower(pattern);
    if (p.empty() || p == L"*") return true;
    if (p == L"*.*") return n.find(L'.') != std::wstring::npos;
    // A pattern without any star names one file exactly.
    if (p.find(L'*') == std::wstring::npos) return n == p;
    std::vector<std::wstring> pieces;
    std::wstring piece;
    for (wchar_t c : p) {
        if (c != L'*') {
            piece += c;
        } else if (!piece.empty()) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty()) pieces.push_back(piece);
    if (pieces.empty()) return true;  // only stars
    size_t pos = 0;
    for (const auto& piece : pieces) {
        size_t found = n.find(piece, pos);
        if (found == std::wstring::npos) return false;
        pos = found + piece.size();
    }
    if (p.front() != L'*' && n.compare(0, pieces.front().size(), pieces.front()) != 0)
        return false;
    if (p.back() != L'*') {
        const std::wstring& last = pieces.back();
        if (n.size() < last.size() || n.compare(n.size() - last.size(), last.size(), last) != 0)
            return false;
    }
    return true;
}

}  // namespace quillet
