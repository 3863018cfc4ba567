// Decoders for the two Japanese source encodings that have no usable platform
// code page: EUC-JP and ISO-2022-JP (7-bit JIS). Both map JIS X 0208 rows and
// cells through code page 932's own table (read from the platform once), so a
// character decodes to exactly what its Shift_JIS form decodes to, and a text
// read from either converts to Shift_JIS and back without a difference.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/piece_decoder.h"

namespace quillet {

// The character of the code page 932 double-byte pair (lead, trail), or 0 when
// the platform maps the pair to nothing.
wchar_t cp932_pair(uint8_t lead, uint8_t trail);
// The character of JIS X 0208 row and cell (both 1 to 94) as code page 932
// holds it (rows 89 to 92 are its NEC-selected IBM extensions); 0 when none.
wchar_t jis0208_char(unsigned row, unsigned cell);
// The code page 932 double-byte code (lead << 8 | trail) of a character, 0 when
// the character has no double-byte form there.
unsigned cp932_code_of(wchar_t c);

// A decoder that also keeps the stream offsets of the first few invalid
// sequences (for a report of where a file does not decode).
class jis_family_decoder : public piece_decoder {
public:
    const std::vector<uint64_t>& invalid_offsets() const { return offsets_; }
    // Whether any JIS escape sequence (or SO) switched to a double-byte or
    // katakana set; always false for EUC-JP.
    bool saw_shift() const { return saw_shift_; }

protected:
    void invalid_at(uint64_t offset, std::wstring& out) {
        note_invalid(offset);
        if (offsets_.size() < kKeptOffsets) offsets_.push_back(offset);
        out += wchar_t(0xFFFD);
    }
    static constexpr size_t kKeptOffsets = 16;
    uint64_t position_ = 0;  // stream offset of the next byte fed
    bool saw_shift_ = false;

private:
    std::vector<uint64_t> offsets_;
};

// EUC-JP: ASCII, JIS X 0208 as two bytes A1-FE, half-width katakana as 8E
// A1-DF, JIS X 0212 as 8F and two bytes A1-FE where the platform maps it.
std::unique_ptr<piece_decoder> make_eucjp_decoder();
// ISO-2022-JP with its common extensions: ESC ( B ASCII, ESC ( J JIS X 0201
// Roman (read as ASCII, as code page 932 reads its single bytes), ESC ( I and
// SO/SI half-width katakana, ESC $ @ and ESC $ B (also after ESC & @) JIS X
// 0208, ESC $ ( D JIS X 0212 where the platform maps it.
std::unique_ptr<piece_decoder> make_iso2022jp_decoder();

// The same decoders over a whole buffer. invalid, when given, receives the
// number of invalid sequences (each became U+FFFD); offsets the first few of
// their offsets.
std::wstring decode_eucjp(const uint8_t* data, size_t size, uint64_t* invalid = nullptr,
                          std::vector<uint64_t>* offsets = nullptr);
std::wstring decode_iso2022jp(const uint8_t* data, size_t size, uint64_t* invalid = nullptr,
                              std::vector<uint64_t>* offsets = nullptr,
                              bool* saw_shift = nullptr);

}  // namespace quillet
