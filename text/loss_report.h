// What a conversion would lose: why a text file is kept unchanged instead of
// converted, and where. A pure function over the source's bytes and the
// target code, and the text the console and the log show for it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

enum class loss_kind {
    none,          // the conversion loses nothing
    undecided,     // more than one encoding reads the file; none was chosen
    not_japanese,  // one reading stands but does not read as Japanese text
    cut_short,     // the file ends inside a character of its encoding
    undecodable,   // the source's bytes do not decode cleanly
    unencodable,   // the target cannot hold some of the source's characters
};

// One thing that stands in the way. For undecodable bytes: offset and the
// bytes themselves (up to 4); for a character: its code point. Line and
// column (from 1, in characters) tell where it is in the decoded text.
struct loss_item {
    uint32_t code_point = 0;
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    uint64_t line = 0;
    uint64_t column = 0;
};

struct loss_report {
    loss_kind kind = loss_kind::none;
    text_code source = code_none;       // the encoding the source was read in
    // Undecodable bytes that no encoding reads; source is then the reading
    // with the fewest invalid sequences.
    bool no_encoding = false;
    std::vector<text_code> candidates;  // for undecided: the encodings that read it
    std::vector<bool> cut;              // ... and which of them end inside a character
    std::vector<loss_item> items;       // the first few
    uint64_t count = 0;                 // how many in all
};

// The items a report keeps.
constexpr size_t kLossItems = 5;

// Why converting bytes (a source file's whole content) to target (8, 16, 74;
// 0 loses nothing) would lose something, or kind none.
loss_report conversion_loss(const std::vector<uint8_t>& bytes, text_code target);

// The report as text for a user: a first line with the file's path and the
// reason, then one line per item, each ending in "\n"; "" for kind none.
std::wstring loss_report_text(const std::wstring& path, const loss_report& report,
                              text_code target);

}  // namespace quillet
