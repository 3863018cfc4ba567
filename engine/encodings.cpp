// The table of encodings and the look-ups over it.
#include "engine/encodings.h"

#include "engine/convert.h"
#include "engine/file_io.h"

namespace quillet {

namespace {

std::vector<uint8_t> utf8_plain(const std::wstring& text) { return utf8_form(text, false); }
std::vector<uint8_t> utf16_marked(const std::wstring& text) { return utf16_form(text, true); }
std::vector<uint8_t> sjis_plain(const std::wstring& text) { return sjis_form(text); }

// Codes without a row of their own: copy targets write marked UTF-16LE and
// record their list as "copy_.ilc".
const encoding_row unlisted = {code_none, L"-----", L"copy_", nullptr, utf16_text_form};

}  // namespace

const std::vector<encoding_row>& encoding_table() {
    static const std::vector<encoding_row> rows = {
        {code_none, L"-----", L"copy_", L"  0 : Copy", utf16_text_form},
        {code_utf8, L"UTF_8", L"UTF_8", L"  8 : UTF-8", utf8_plain},
        {code_utf16le, L"UTF16", L"UTF16", L" 16 : UTF-16", utf16_marked},
        {code_sjis, L"S_JIS", L"S_JIS", L" 74 : SJIS", sjis_plain},
        {code_ascii, L"ASCII", nullptr, nullptr, utf16_text_form},
        {code_eucjp, L"EUCJP", nullptr, nullptr, utf16_text_form},
        {code_jis, L"JIS_7", nullptr, nullptr, utf16_text_form},
    };
    return rows;
}

const encoding_row& encoding_of(text_code code) {
    for (const encoding_row& row : encoding_table())
        if (row.code == code) return row;
    return unlisted;
}

std::wstring encoding_label(text_code code) { return encoding_of(code).label; }

std::wstring list_stem_of_code(text_code code) {
    const encoding_row& row = encoding_of(code);
    return row.list_stem ? row.list_stem : unlisted.list_stem;
}

text_code code_of_list_stem(const std::wstring& title) {
    for (const encoding_row& row : encoding_table())
        if (row.list_stem && title == row.list_stem) return row.code;
    return code_none;
}

int drop_down_index(text_code code) {
    int index = 0;
    for (const encoding_row& row : encoding_table()) {
        if (!row.item) continue;
        if (row.code == code) return index;
        ++index;
    }
    return 0;
}

std::vector<uint8_t> encoded_form(text_code code, const std::wstring& text) {
    return encoding_of(code).form(text);
}

bool write_encoded(text_code code, const std::wstring& path, const std::wstring& text) {
    return write_file_bytes(path, encoded_form(code, text), 0);
}

}  // namespace quillet
