// The table of encodings and the look-ups over it.
#include "text/encodings.h"

#include <windows.h>

namespace quillet {

namespace {

// The text up to its first U+0000: the UTF-8, UTF-16 and Shift_JIS forms end there.
std::wstring up_to_nul(const std::wstring& text) { return text.substr(0, text.find(L'\0')); }

}  // namespace

std::vector<uint8_t> utf8_form(const std::wstring& text, bool bom) {
    std::vector<uint8_t> bytes;
    if (bom) bytes = {0xEF, 0xBB, 0xBF};
    const std::vector<uint8_t> body = wide_to_utf8(up_to_nul(text));
    bytes.insert(bytes.end(), body.begin(), body.end());
    return bytes;
}

std::vector<uint8_t> utf16_form(const std::wstring& text, bool bom) {
    std::vector<uint8_t> bytes;
    if (bom) bytes = {0xFF, 0xFE};
    append_wide_bytes(up_to_nul(text), bytes);
    return bytes;
}

std::vector<uint8_t> sjis_form(const std::wstring& text, bool* lossy) {
    const std::wstring part = up_to_nul(text);
    if (lossy) *lossy = false;
    if (part.empty()) return {};
    if (part.size() > 0x1FFFFFFF) {  // beyond what one conversion call takes
        if (lossy) *lossy = true;
        return {};
    }
    // Up to 2 bytes per unit; 3 per unit plus 3 leaves room for any default form.
    std::vector<char> buf(3 * part.size() + 3, 0);
    BOOL used_default = FALSE;
    int n = WideCharToMultiByte(932, 0, part.data(), static_cast<int>(part.size()), buf.data(),
                                static_cast<int>(buf.size()), "__", &used_default);
    if (n <= 0) n = 0;
    std::vector<uint8_t> out(buf.begin(), buf.begin() + n);
    // Besides the default character, the platform may put a look-alike in
    // place of a character (e acute as e): only reading back tells.
    if (lossy) *lossy = used_default != FALSE || n == 0 || sjis_to_wide(out) != part;
    return out;
}

std::vector<uint8_t> utf16_text_form(const std::wstring& text) { return wide_bytes(with_bom(text)); }

std::wstring with_bom(const std::wstring& text) {
    size_t start = text.find_first_not_of(wchar_t(0xFEFF));
    if (start == std::wstring::npos) start = text.size();
    return std::wstring(1, wchar_t(0xFEFF)) + text.substr(start);
}

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

}  // namespace quillet
