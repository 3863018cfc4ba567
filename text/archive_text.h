// The decoder behind the INI text reader: a whole file's bytes to text by
// byte-order mark, then by an XML encoding declaration, then by the generic
// decoder; and the encoding-declaration rules that the copy engine's text test
// shares with it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

// The encoding named by a declaration in the first 10 of lines: the first line
// holding `marker` and, after it, `keyword` gives a value of at most 20
// characters after the next "=" (or from the line's start when there is no
// "="); 8, 16 or 74 when it names "UTF-8", "UTF-16" or "Shift_JIS" (as written,
// or both lower-cased), else 0. Case-sensitive searches.
text_code declaration_rule_code(const std::vector<std::wstring>& lines, const std::wstring& marker,
                                const std::wstring& keyword);

// Where the rule finds its keyword and the "=" after it in line (npos when
// the line lacks marker, keyword, or the "=" after them); keyword_at is
// searched from just after the marker.
struct rule_hit {
    size_t keyword_at = std::wstring::npos;
    size_t equals_at = std::wstring::npos;
};
rule_hit find_rule_hit(const std::wstring& line, const std::wstring& marker, const std::wstring& keyword);

// The same rule applied to one line: true when line holds `marker` and, after
// it, `keyword` (code then tells what the value names, 0 for none of the
// three); false, with code 0, when it does not.
bool declaration_in_line(const std::wstring& line, const std::wstring& marker,
                         const std::wstring& keyword, text_code& code);

// What a declared value names: 8, 16 or 74 when it holds "UTF-8", "UTF-16"
// or "Shift_JIS" (as written, or both lower-cased), else 0.
text_code declared_value_code(const std::wstring& value);

// The first `count` lines of text, cut at each CR LF (the separator is not part
// of a line; text after the last separator counts only when it is not empty).
std::vector<std::wstring> first_lines(const std::wstring& text, size_t count);

// The code of an XML encoding declaration ("xml" ... "encoding") in the first
// 10 CR LF lines of text: 8, 16, 74, or 0 for none or another encoding.
text_code xml_declared_code(const std::wstring& text);

// The text of a whole file's bytes. With unicode the bytes are taken as
// UTF-16LE without looking for a mark. Otherwise: FE FF is UTF-16BE, EF BB BF
// UTF-8, FF FE UTF-16LE (also when followed by 00 00); without a mark the bytes
// are UTF-8 when they declare so in an XML declaration, else decode_text
// decides. Every unit of the data is kept, NUL characters included.
std::wstring decode_archive_text(const std::vector<uint8_t>& bytes, bool unicode = false);

}  // namespace quillet
