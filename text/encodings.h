// The one table of encodings: for each encoding code its five-character label,
// the stem of the per-encoding folder list file, the text of its item in the
// encoding drop-down and the form its writer puts on disk. Every place that
// maps between these asks here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

// The bytes each writer puts in the file. The UTF-8, UTF-16 and Shift_JIS
// forms end at the text's first U+0000; line ends are kept as they are.
// EF BB BF (with bom), then UTF-8.
std::vector<uint8_t> utf8_form(const std::wstring& text, bool bom);
// FF FE (with bom), then UTF-16LE; a leading U+FEFF in text is kept as well.
std::vector<uint8_t> utf16_form(const std::wstring& text, bool bom);
// Code page 932; characters it cannot represent become underscores (the
// default character "__") or a look-alike. lossy, when given, tells whether
// the bytes fail to give the text back.
std::vector<uint8_t> sjis_form(const std::wstring& text, bool* lossy = nullptr);
// UTF-16LE of with_bom(text): exactly one FF FE, the whole text after it.
std::vector<uint8_t> utf16_text_form(const std::wstring& text);

// text without its leading U+FEFF characters, with exactly one U+FEFF in front.
std::wstring with_bom(const std::wstring& text);
// The bytes a writer puts in a file for a text.
using text_form = std::vector<uint8_t> (*)(const std::wstring& text);

struct encoding_row {
    text_code code;
    const wchar_t* label;      // encoding_label of the code
    const wchar_t* list_stem;  // per-encoding folder list stem; null when the code writes none
    const wchar_t* item;       // drop-down item text; null when the code is not a target
    text_form form;            // what the writer writes for this target
};

// The rows, in drop-down order first (codes 0, 8, 16, 74), then the codes that
// are only ever detected in sources.
const std::vector<encoding_row>& encoding_table();
// The row of code, or the row every unlisted code shares: label "-----", list
// stem "copy_", no drop-down item, marked UTF-16LE.
const encoding_row& encoding_of(text_code code);

// The label of code: "UTF_8", "UTF16", "ASCII", "S_JIS", "EUCJP", "JIS_7", else "-----".
std::wstring encoding_label(text_code code);
// The per-encoding list file stem: "UTF_8", "UTF16", "S_JIS", else "copy_".
std::wstring list_stem_of_code(text_code code);
// The code whose list stem is title (exact, case-sensitive); 0 when none is.
text_code code_of_list_stem(const std::wstring& title);
// The index of a target code's drop-down item, the items in table order (the
// "  0 : Copy" item for every code that has none).
int drop_down_index(text_code code);
// The bytes the writer of target code writes for text.
std::vector<uint8_t> encoded_form(text_code code, const std::wstring& text);
}  // namespace quillet
