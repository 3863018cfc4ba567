// Encoding declarations written inside a text (an XML declaration, an HTML
// <meta> charset, a CSS @charset), read and rewritten: a converted file must
// declare the encoding it is written in, or a browser or an XML parser reads
// its bytes in the old one. Only the declared name ever changes; quotes,
// letter case, spacing and line ends stay as they are.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

// Declarations are looked for in this many first characters of a text only
// (an XML declaration and @charset stand at its very start, a <meta> in the
// head of a page): a text that long or longer is read and rewritten the same
// way whatever follows.
constexpr size_t kDeclarationHeadChars = 64 * 1024;

enum class declaration_kind {
    xml,          // <?xml ... encoding="name"?>
    xml_no_name,  // <?xml version="..."?> without an encoding
    xml_none,     // an XML document without a declaration
    meta,         // <meta charset="name"> or <meta ... content="text/html; charset=name">
    css,          // @charset "name"; at the start of a style sheet
};

// One declaration: where its name stands in the text (for xml_no_name and
// xml_none, where an encoding would go, with name_length 0).
struct declaration {
    declaration_kind kind = declaration_kind::xml;
    size_t name_at = 0;
    size_t name_length = 0;
};

// The declarations in the head of text, in text order.
std::vector<declaration> find_declarations(const std::wstring& text);

// The code of a declared name: 8, 16 or 74 as the text test reads a declared
// value, 51 for EUC-JP, 50 for ISO-2022-JP, 65 for US-ASCII; 0 for any other.
text_code declared_name_code(const std::wstring& name);

// The name a target is declared by: "UTF-8", "UTF-16", "Shift_JIS"; "" for any
// other code.
std::wstring declared_name_of(text_code target);

// Rewrites the declarations in the head of text so that they name target (8,
// 16 or 74; any other code changes nothing): a name that already names the
// target stays as it is. For Shift_JIS, an XML declaration without an
// encoding gets encoding="Shift_JIS", and an XML document without a
// declaration gets one in front, followed by the text's own line end: without
// them an XML parser would read the bytes as UTF-8. True when text changed.
bool rewrite_declarations(std::wstring& text, text_code target);

// The target (8, 16 or 74) the first declaration of text that names one of
// them names; 0 when none does.
text_code declared_target(const std::wstring& text);

// When a declaration of text names an encoding other than the code detection
// found for its bytes (detected), the name as written; "" when every
// declaration agrees or cannot be judged (an unknown name, an undecided code).
// Bytes detected as ASCII agree with any encoding that keeps ASCII.
std::wstring contradicting_name(const std::wstring& text, text_code detected);

}  // namespace quillet
