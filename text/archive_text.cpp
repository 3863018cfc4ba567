#include "text/archive_text.h"

#include <algorithm>

#include "base/paths.h"

namespace quillet {

namespace {

constexpr size_t kDeclarationLines = 10;   // lines looked at for a declaration
constexpr size_t kDeclarationValue = 20;   // characters of a declared value

bool contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

// True when value names `name` as written, or when both are lower-cased.
bool names(const std::wstring& value, const std::wstring& name) {
    return contains(value, name) || contains(to_lower(value), to_lower(name));
}

// UTF-16 units from bytes[from..], two bytes each; an odd last byte becomes a
// unit of its own (as if followed by a zero byte).
std::wstring utf16_units(const std::vector<uint8_t>& bytes, size_t from, bool big_endian) {
    std::wstring text;
    if (from >= bytes.size()) return text;
    const size_t count = bytes.size() - from;
    text.reserve(count / 2 + 1);
    size_t i = from;
    for (; i + 1 < bytes.size(); i += 2) {
        const unsigned lo = big_endian ? bytes[i + 1] : bytes[i];
        const unsigned hi = big_endian ? bytes[i] : bytes[i + 1];
        text.push_back(static_cast<wchar_t>(lo | (hi << 8)));
    }
    if (i < bytes.size()) text.push_back(static_cast<wchar_t>(bytes[i]));
    return text;
}

}  // namespace

rule_hit find_rule_hit(const std::wstring& line, const std::wstring& marker, const std::wstring& keyword) {
    rule_hit hit;
    const size_t x = line.find(marker);
    if (x == std::wstring::npos) return hit;
    hit.keyword_at = line.find(keyword, x + 1);
    if (hit.keyword_at != std::wstring::npos) hit.equals_at = line.find(L'=', hit.keyword_at + 1);
    return hit;
}

bool declaration_in_line(const std::wstring& line, const std::wstring& marker,
                         const std::wstring& keyword, text_code& code) {
    code = code_none;
    const rule_hit hit = find_rule_hit(line, marker, keyword);
    if (hit.keyword_at == std::wstring::npos) return false;
    const size_t eq = hit.equals_at;
    const std::wstring value = eq == std::wstring::npos ? line.substr(0, kDeclarationValue)
                                                        : line.substr(eq + 1, kDeclarationValue);
    code = declared_value_code(value);
    return true;
}

text_code declared_value_code(const std::wstring& value) {
    if (names(value, L"UTF-8")) return code_utf8;
    if (names(value, L"UTF-16")) return code_utf16le;
    if (names(value, L"Shift_JIS")) return code_sjis;
    return code_none;
}

text_code declaration_rule_code(const std::vector<std::wstring>& lines, const std::wstring& marker,
                                const std::wstring& keyword) {
    const size_t n = std::min(lines.size(), kDeclarationLines);
    text_code code = code_none;
    for (size_t k = 0; k < n; ++k) {
        // Only the first line that has both words is used.
        if (declaration_in_line(lines[k], marker, keyword, code)) return code;
    }
    return code_none;
}

std::vector<std::wstring> first_lines(const std::wstring& text, size_t count) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (lines.size() < count) {
        const size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) {
            if (start < text.size()) lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

text_code xml_declared_code(const std::wstring& text) {
    return declaration_rule_code(first_lines(text, kDeclarationLines), L"xml", L"encoding");
}

std::wstring decode_archive_text(const std::vector<uint8_t>& bytes, bool unicode) {
    if (unicode) {
        std::wstring text;
        text.reserve(bytes.size() / 2);
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
        return text;
    }
    const auto at = [&](size_t i) -> unsigned { return i < bytes.size() ? bytes[i] : 0; };
    if (at(0) == 0xFE && at(1) == 0xFF) return utf16_units(bytes, 2, true);
    if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
        return utf8_to_wide(std::vector<uint8_t>(bytes.begin() + 3, bytes.end()));
    if (at(0) == 0xFF && at(1) == 0xFE) return utf16_units(bytes, 2, false);
    // No mark: a first reading as code page 932 is enough to find an XML
    // declaration written in ASCII.
    if (xml_declared_code(sjis_to_wide(bytes)) == code_utf8) return utf8_to_wide(bytes);
    return decode_text(bytes);
}

}  // namespace quillet
