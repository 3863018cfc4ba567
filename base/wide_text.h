// The platform's conversions between wide text and bytes in a code page
// (MultiByteToWideChar and WideCharToMultiByte over buffers of any length),
// and the UTF-16LE encoder. Every conversion takes the whole buffer: a NUL
// byte or unit is kept as U+0000, never an end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// Whether bytes may be converted in two pieces cut before data[cut] (data
// holds at least cut bytes) and give the text of one conversion over both, in
// code page 932 and in UTF-8 alike. See wide_text.cpp.
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

}  // namespace quillet
