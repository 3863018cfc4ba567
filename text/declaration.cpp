#include "text/declaration.h"

#include <algorithm>
#include <cwchar>

#include "text/archive_text.h"
#include "base/paths.h"

namespace quillet {

namespace {

constexpr size_t npos = std::wstring::npos;

bool is_space(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// The characters an encoding's name is made of ("Shift_JIS", "x-euc-jp", "UTF-8").
bool is_name_char(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'_' || c == L'.' || c == L':';
}

bool starts_at(const std::wstring& text, size_t at, const wchar_t* part) {
    return text.compare(at, std::wcslen(part), part) == 0;
}

size_t name_length_at(const std::wstring& text, size_t at) {
    size_t end = at;
    while (end < text.size() && is_name_char(text[end])) ++end;
    return end - at;
}

// The value the declaration rule finds for `keyword` after `marker` in text,
// taken only where it is really an attribute: keyword a word of its own,
// nothing but spaces before its "=", then an optional quote (required with
// quoted) and a name. at and length locate the name.
bool attribute_value(const std::wstring& text, const wchar_t* marker, const wchar_t* keyword,
                     bool quoted, size_t& at, size_t& length) {
    const rule_hit hit = find_rule_hit(text, marker, keyword);
    if (hit.keyword_at == npos || hit.equals_at == npos) return false;
    if (hit.keyword_at > 0 && is_name_char(text[hit.keyword_at - 1])) return false;
    for (size_t k = hit.keyword_at + std::wcslen(keyword); k < hit.equals_at; ++k)
        if (!is_space(text[k])) return false;
    size_t p = hit.equals_at + 1;
    while (p < text.size() && is_space(text[p])) ++p;
    const wchar_t quote = p < text.size() && (text[p] == L'"' || text[p] == L'\'') ? text[p] : 0;
    if (quote) ++p;
    else if (quoted) return false;
    length = name_length_at(text, p);
    at = p;
    if (length == 0) return false;
    return !quoted || (p + length < text.size() && text[p + length] == quote);
}

// Elements a page or a page's fragment starts with: a text starting with
// one of them is HTML, never taken for an XML document.
bool is_html_name(const std::wstring& lowered) {
    static const wchar_t* const names[] = {
        L"html", L"head", L"body", L"div", L"span", L"p", L"a", L"table", L"tr", L"td", L"th",
        L"ul", L"ol", L"li", L"dl", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"form", L"br",
        L"hr", L"img", L"script", L"style", L"link", L"meta", L"title", L"section", L"article",
        L"header", L"footer", L"nav", L"main", L"template", L"iframe", L"center", L"font", L"b",
        L"i", L"pre", L"blockquote", L"noscript", L"input", L"button", L"select", L"textarea",
        L"label", L"frameset", L"frame", L"base"};
    for (const wchar_t* name : names)
        if (lowered == name) return true;
    return false;
}

// An XML document without a declaration: after white space, comments and
// style sheet instructions comes a document type or a root element that is
// not HTML. Anything else (a PHP or ASP page, an HTML fragment, plain text)
// is not taken for one.
bool looks_like_xml_document(const std::wstring& head, size_t p) {
    for (;;) {
        while (p < head.size() && is_space(head[p])) ++p;
        const wchar_t* close = starts_at(head, p, L"<!--")               ? L"-->"
                               : starts_at(head, p, L"<?xml-stylesheet") ? L"?>"
                                                                         : nullptr;
        if (!close) break;
        const size_t end = head.find(close, p + 2);
        if (end == npos) return false;
        p = end + std::wcslen(close);
    }
    size_t name_at = npos;
    if (starts_at(head, p, L"<!DOCTYPE")) {
        name_at = p + 9;
        while (name_at < head.size() && is_space(head[name_at])) ++name_at;
    } else if (p + 1 < head.size() && head[p] == L'<' &&
               ((head[p + 1] >= L'a' && head[p + 1] <= L'z') || (head[p + 1] >= L'A' && head[p + 1] <= L'Z') ||
                head[p + 1] == L'_')) {
        name_at = p + 1;
    }
    if (name_at == npos) return false;
    const size_t length = name_length_at(head, name_at);
    return length > 0 && !is_html_name(to_lower(head.substr(name_at, length)));
}

// The <meta> tags of a page's head (before its body) that declare a charset.
void find_meta_declarations(const std::wstring& head, std::vector<declaration>& found) {
    const std::wstring lowered = to_lower(head);
    const size_t end = std::min(lowered.find(L"<body"), lowered.size());
    for (size_t p = lowered.find(L"<meta"); p < end; p = lowered.find(L"<meta", p + 1)) {
        if (p + 5 >= lowered.size() || !(is_space(lowered[p + 5]) || lowered[p + 5] == L'/')) continue;
        const size_t close = lowered.find(L'>', p);
        if (close == npos) return;
        size_t at = 0, length = 0;
        if (attribute_value(lowered.substr(p, close - p), L"<meta", L"charset", false, at, length))
            found.push_back(declaration{declaration_kind::meta, p + at, length});
    }
}

bool has_name(const declaration& d) {
    return d.kind == declaration_kind::xml || d.kind == declaration_kind::meta ||
           d.kind == declaration_kind::css;
}

// The text's first line end, CR LF when it has none.
std::wstring line_end_of(const std::wstring& text) {
    const size_t at = text.find_first_of(L"\r\n");
    if (at == npos) return L"\r\n";
    if (text[at] == L'\r') return at + 1 < text.size() && text[at + 1] == L'\n' ? L"\r\n" : L"\r";
    return L"\n";
}

// The name already names target as it will be written.
bool names_target(const std::wstring& name, text_code target) {
    // "UTF-16BE" names UTF-16 too, but not the byte order written.
    if (target == code_utf16le) {
        const std::wstring lowered = to_lower(name);
        return lowered == L"utf-16" || lowered == L"utf-16le";
    }
    return declared_name_code(name) == target;
}

}  // namespace

std::vector<declaration> find_declarations(const std::wstring& text) {
    const std::wstring head = text.substr(0, std::min(text.size(), kDeclarationHeadChars));
    const size_t start = !head.empty() && head[0] == 0xFEFF ? 1 : 0;
    std::vector<declaration> found;
    size_t at = 0, length = 0;
    if (starts_at(head, start, L"<?xml") && start + 5 < head.size() && is_space(head[start + 5])) {
        const size_t close = head.find(L"?>", start);
        const std::wstring decl = close == npos ? std::wstring() : head.substr(0, close);
        if (attribute_value(decl, L"<?xml", L"encoding", true, at, length))
            found.push_back(declaration{declaration_kind::xml, at, length});
        else if (find_rule_hit(decl, L"<?xml", L"encoding").keyword_at == npos &&
                 attribute_value(decl, L"<?xml", L"version", true, at, length))
            found.push_back(declaration{declaration_kind::xml_no_name, at + length + 1, 0});
    } else if (starts_at(head, start, L"@charset \"")) {
        at = start + 10;
        length = name_length_at(head, at);
        if (length > 0 && starts_at(head, at + length, L"\";"))
            found.push_back(declaration{declaration_kind::css, at, length});
    } else if (looks_like_xml_document(head, start)) {
        found.push_back(declaration{declaration_kind::xml_none, start, 0});
    }
    find_meta_declarations(head, found);
    std::sort(found.begin(), found.end(),
              [](const declaration& a, const declaration& b) { return a.name_at < b.name_at; });
    return found;
}

text_code declared_name_code(const std::wstring& name) {
    const text_code code = declared_value_code(name);
    if (code != code_none) return code;
    static const struct {
        const wchar_t* name;
        text_code code;
    } aliases[] = {{L"shift-jis", code_sjis}, {L"sjis", code_sjis}, {L"x-sjis", code_sjis},
                   {L"windows-31j", code_sjis}, {L"cp932", code_sjis}, {L"ms_kanji", code_sjis},
                   {L"csshiftjis", code_sjis}, {L"euc-jp", code_eucjp}, {L"x-euc-jp", code_eucjp},
                   {L"iso-2022-jp", code_jis}, {L"csiso2022jp", code_jis}, {L"us-ascii", code_ascii}};
    const std::wstring lowered = to_lower(name);
    for (const auto& alias : aliases)
        if (lowered == alias.name) return alias.code;
    return code_none;
}

std::wstring declared_name_of(text_code target) {
    switch (target) {
        case code_utf8: return L"UTF-8";
        case code_utf16le: return L"UTF-16";
        case code_sjis: return L"Shift_JIS";
        default: return L"";
    }
}

bool rewrite_declarations(std::wstring& text, text_code target) {
    const std::wstring name = declared_name_of(target);
    if (name.empty()) return false;
    const std::vector<declaration> found = find_declarations(text);
    bool changed = false;
    // From the last to the first, so that the places found stay where they are.
    for (auto d = found.rbegin(); d != found.rend(); ++d) {
        if (has_name(*d)) {
            if (names_target(text.substr(d->name_at, d->name_length), target)) continue;
            text.replace(d->name_at, d->name_length, name);
        } else if (target != code_sjis) {
            continue;  // UTF-8 and UTF-16 with its mark are what XML reads without a name
        } else if (d->kind == declaration_kind::xml_no_name) {
            text.insert(d->name_at, L" encoding=\"Shift_JIS\"");
        } else {
            text.insert(d->name_at, L"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>" + line_end_of(text));
        }
        changed = true;
    }
    return changed;
}

text_code declared_target(const std::wstring& text) {
    for (const declaration& d : find_declarations(text)) {
        if (!has_name(d)) continue;
        const text_code code = declared_name_code(text.substr(d.name_at, d.name_length));
        if (code == code_utf8 || code == code_utf16le || code == code_sjis) return code;
    }
    return code_none;
}

std::wstring contradicting_name(const std::wstring& text, text_code detected) {
    if (detected == code_none) return L"";
    for (const declaration& d : find_declarations(text)) {
        if (!has_name(d)) continue;
        const std::wstring name = text.substr(d.name_at, d.name_length);
        const text_code declared = declared_name_code(name);
        if (declared == code_none || declared == detected) continue;
        const bool keeps_ascii = declared == code_utf8 || declared == code_sjis ||
                                 declared == code_eucjp || declared == code_jis;
        if (detected == code_ascii && keeps_ascii) continue;
        if (declared == code_utf16le && detected == code_utf16be) continue;
        return name;
    }
    return L"";
}

}  // namespace quillet
