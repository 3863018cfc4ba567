// Conversions between wide text and the byte encodings of the program's files
// (Shift_JIS/code page 932, UTF-8, UTF-16 and UTF-32 in both byte orders), and
// the decoder that recognises an unnamed buffer's encoding. Every conversion
// takes the whole buffer: a NUL byte or unit is kept as U+0000, never an end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// Whether bytes may be converted in two pieces cut before data[cut] (data
// holds at least cut bytes) and give the text of one conversion over both, in
// code page 932 and in UTF-8 alike. See codepage.cpp.
bool clean_cut(const uint8_t* data, size_t cut);

// Bytes to text with an explicit code page (MultiByteToWideChar over the whole
// buffer) and back (WideCharToMultiByte). lossy, when given, is set when a
// character had no form in the code page (a default character was used, or for
// UTF-8 an unpaired surrogate).
std::wstring bytes_to_wide(const uint8_t* data, size_t size, unsigned code_page);
std::vector<uint8_t> wide_to_bytes(const std::wstring& text, unsigned code_page,
                                   bool* lossy = nullptr);
// The same, appended to out (whose room is used again from piece to piece).
void wide_to_bytes_into(const std::wstring& text, unsigned code_page, bool* lossy,
                        std::vector<uint8_t>& out);

std::wstring sjis_to_wide(const std::vector<uint8_t>& bytes);
std::wstring sjis_to_wide(const std::string& bytes);
std::wstring utf8_to_wide(const std::vector<uint8_t>& bytes);
std::wstring utf8_to_wide(const std::string& bytes);
std::vector<uint8_t> wide_to_sjis(const std::wstring& text, bool* lossy = nullptr);
std::vector<uint8_t> wide_to_utf8(const std::wstring& text, bool* lossy = nullptr);

// UTF-16 to UTF-32 text units and back; characters above U+FFFF become
// surrogate pairs, invalid units (above U+10FFFF or surrogates) U+FFFD.
std::wstring utf32_to_wide(const std::vector<uint32_t>& units);

// The UTF-16LE bytes of text (two per unit, low byte first, no terminator).
std::vector<uint8_t> wide_bytes(const std::wstring& text);
// The same, appended to out (the one UTF-16LE encoder).
void append_wide_bytes(const std::wstring& text, std::vector<uint8_t>& out);
// The bytes of a byte string, no terminator.
std::vector<uint8_t> narrow_bytes(const std::string& text);

// Text of a buffer whose encoding is not given: by byte-order mark (UTF-8,
// UTF-16LE/BE, UTF-32LE/BE), else by guess_code (EUC-JP and ISO-2022-JP with
// their own decoders), else code page 932.
std::wstring decode_text(const std::vector<uint8_t>& bytes);
// decode_text(bytes) == text, found without holding the whole decoded text
// (decoded piece by piece and compared as it goes).
bool decodes_to(const std::vector<uint8_t>& bytes, const std::wstring& text);
// The code decode_text chose for bytes (16, 17, 32, 33, 8, or guess_code).
text_code decode_text_code(const std::vector<uint8_t>& bytes);
// 65, 50, 74, 51, 8 or 0 for a buffer without byte-order mark (see
// guess_encoding in base/guess.h). 0 means undecided or undecodable: such a
// buffer is decoded with code page 932 for looking at, but must never be
// converted. A buffer over 1 MB is judged by its head.
text_code guess_code(const std::vector<uint8_t>& bytes);

}  // namespace quillet
