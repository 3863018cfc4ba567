// Decoding a byte stream piece by piece, so that a file of any size can be
// tested and converted with bounded memory. A multi-byte sequence (or a shift
// state, for encodings that have one) cut at the end of a piece is carried
// over to the next piece; nothing is lost or invented at piece boundaries.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "text/codepage.h"

namespace quillet {

class piece_decoder {
public:
    virtual ~piece_decoder() = default;

    // Appends the text of the next size bytes to out. last is true for the
    // final piece: a sequence still open then is invalid.
    virtual void decode(const uint8_t* data, size_t size, bool last, std::wstring& out) = 0;

    // Invalid or undecodable byte sequences met so far (each became U+FFFD in
    // the text), and the stream offset of the first one (meaningful when the
    // count is not 0).
    uint64_t invalid_count() const { return invalid_count_; }
    uint64_t first_invalid_offset() const { return first_invalid_offset_; }

protected:
    void note_invalid(uint64_t offset) {
        if (invalid_count_++ == 0) first_invalid_offset_ = offset;
    }

private:
    uint64_t invalid_count_ = 0;
    uint64_t first_invalid_offset_ = 0;
};

// Appends the text of size bytes in code page cp (932 or CP_UTF8) to out,
// exactly as MultiByteToWideChar(cp, 0, ...) gives it; true when the bytes
// decode exactly, as MultiByteToWideChar with MB_ERR_INVALID_CHARS accepts
// them. Code page 932 is judged by tables taken from the platform (its lead
// bytes, refused bytes and refused pairs); UTF-8 needs the strict call only
// for text holding U+FFFD. Valid text is thus converted in one platform call.
bool decode_code_page(unsigned cp, const uint8_t* data, size_t size, std::wstring& out);

// A decoder for the source encoding code (a text_code); the byte-order mark,
// if any, is the caller's to skip.
std::unique_ptr<piece_decoder> make_piece_decoder(text_code code);

}  // namespace quillet
