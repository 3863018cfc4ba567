// The encodings of the program's files (Shift_JIS/code page 932, UTF-8,
// UTF-16 and UTF-32 in both byte orders, EUC-JP, ISO-2022-JP) by code, the
// one answer to which of them a file's head is in, and the decoder of a
// buffer of unnamed encoding.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/wide_text.h"

namespace quillet {

// Encoding codes; the same numbers are the copy targets (0: copy unchanged).
using text_code = int;
constexpr text_code code_none = 0;      // not recognised
constexpr text_code code_utf8 = 8;
constexpr text_code code_utf16le = 16;
constexpr text_code code_utf16be = 17;
constexpr text_code code_utf32le = 32;
constexpr text_code code_utf32be = 33;
constexpr text_code code_ascii = 65;    // no byte of 0x80 or above
constexpr text_code code_sjis = 74;     // Shift_JIS, code page 932
constexpr text_code code_eucjp = 51;    // EUC-JP (source only)
constexpr text_code code_jis = 50;      // ISO-2022-JP, 7-bit JIS (source only)

// Text of a buffer whose encoding is not given: by byte-order mark (UTF-8,
// UTF-16LE/BE, UTF-32LE/BE), else by guess_code (EUC-JP and ISO-2022-JP with
// their own decoders), else code page 932.
std::wstring decode_text(const std::vector<uint8_t>& bytes);
// How much of a file's start decides its encoding.
constexpr size_t kHeadBytes = size_t(4) << 20;
// The code of a file judged on its head (its first min(kHeadBytes, size)
// bytes): by byte-order mark (FF FE 00 00: 32, FF FE: 16, 00 00 FE FF: 33,
// EF BB BF: 8, FE FF: 17), else guess_code of the head, up to its last ASCII
// byte when the head is shorter than the file. The code decode_text decodes a
// whole buffer in.
text_code head_code(const std::vector<uint8_t>& head);
// 65, 50, 74, 51, 8 or 0 for a buffer without byte-order mark (see
// guess_encoding in text/guess.h). 0 means undecided or undecodable: such a
// buffer is decoded with code page 932 for looking at, but must never be
// converted. A buffer over 1 MB is judged by its head.
text_code guess_code(const std::vector<uint8_t>& bytes);

}  // namespace quillet
