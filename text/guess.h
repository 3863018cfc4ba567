// Recognising the encoding of a buffer without byte-order mark: ASCII,
// ISO-2022-JP (by its escape sequences), and among Shift_JIS, EUC-JP and
// UTF-8 the ones that decode the bytes without an invalid sequence, weighed
// by how Japanese each decoded text reads when more than one does.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

struct code_guess {
    // What guess_code answers: 65, 50, 74, 51, 8, or 0 when no encoding can
    // be chosen (see undecided and nearest).
    text_code code = code_ascii;
    // More than one encoding decodes the bytes to different texts and the
    // evidence between them is too weak: converting by a guess could write
    // mojibake, so the file must be copied unchanged.
    bool undecided = false;
    // One reading stands (or leads clearly) but does not read as Japanese
    // text: nearest names it.
    bool not_japanese = false;
    // The reading that stands (nearest) is valid up to a character cut short
    // by the end of the bytes, which starts at cut_offset: the file was cut,
    // and its last character cannot be converted.
    bool cut_short = false;
    uint64_t cut_offset = 0;
    // The encodings that decode the bytes without an invalid sequence (or
    // only with a character cut short at their very end, see cut), best
    // first.
    std::vector<text_code> candidates;
    // For each candidate: its reading ends inside a character.
    std::vector<bool> cut;
    // How Japanese each candidate's decoded text reads, in the same order
    // (for explaining a decision; ASCII and ISO-2022-JP are not scored).
    std::vector<double> scores;
    // When none does: the encoding with the fewest invalid sequences (0 when
    // the buffer has no byte of 0x80 or above), for telling where it breaks;
    // with not_japanese or cut_short, the reading that stands.
    text_code nearest = code_none;
};

// Looks at data[0, size). may_be_cut tells that the buffer may be the head
// of a longer file: a sequence cut at its very end then counts against no
// encoding. Without it the buffer is a whole file, and a reading that is
// valid up to a character cut at its very end still stands as a reading
// (of a file cut short): it is weighed against the others, and when it
// leads, or stands alone, no encoding is chosen.
code_guess guess_encoding(const uint8_t* data, size_t size, bool may_be_cut);

// An invalid sequence: its byte offset and the index of the U+FFFD that
// stands for it in the decoded text.
struct undecodable {
    uint64_t offset = 0;
    size_t index = 0;
};
constexpr size_t kKeptUndecodable = 16;

// The invalid sequences of data[0, size) read in code (74, 51, 50 or 8; none
// for other codes): their number, the first few in first, and the decoded
// text (U+FFFD for each) in text when given.
uint64_t find_undecodable(const uint8_t* data, size_t size, text_code code,
                          std::vector<undecodable>& first, std::wstring* text = nullptr);

// Where a whole buffer read in code (74, 51, 50 or 8) ends inside a
// character: the offset of that character's first byte, when that cut is the
// only thing that keeps the bytes from decoding; false otherwise.
bool ends_inside_character(const uint8_t* data, size_t size, text_code code, uint64_t& offset);

// The most of a buffer that detection looks at: longer buffers are judged by
// their first MB (as a buffer that may be cut).
constexpr size_t kGuessSample = size_t(1) << 20;

}  // namespace quillet
