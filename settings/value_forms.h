// Text forms of the typed setting values (64-bit integers, floating point,
// rectangles and points) that the registry key and the INI profile keep as
// strings, with their key suffixes, quoting and splitting.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// Key suffixes appended to the caller's key name.
extern const wchar_t* const suffix_i64;     // "_I64_"
extern const wchar_t* const suffix_high;    // "_H"
extern const wchar_t* const suffix_low;     // "_L"
extern const wchar_t* const suffix_double;  // "_Flt_"
extern const wchar_t* const suffix_rect;    // "_LTRB"
extern const wchar_t* const suffix_point;   // "_L_XY"

// Signed value in the given radix (clamped to 2..36), as _i64tow / _itow give it.
std::wstring i64_text(int64_t value, int radix = 10);
std::wstring int_text(int value, int radix = 10);

// "%.20g" (the exact text form) and "%g" (the short form, 6 significant digits).
std::wstring double_text(double value);
std::wstring double_short_text(double value);
// wcstod of the text; 0.0 when it does not parse.
double text_double(const std::wstring& text);

// The text forms: "%d %d %d %d" / "%d %d", quoted (see quote_text).
std::wstring rect_text(const RECT& rect);
std::wstring point_text(const POINT& point);
// The padded forms: "%09d %09d %09d %09d" / "%09d %09d", no quotes.
std::wstring rect_padded_text(const RECT& rect);
std::wstring point_padded_text(const POINT& point);

// Encloses text in double quotes when it holds a comma, a tab or a space.
std::wstring quote_text(const std::wstring& text);
// Removes one pair of enclosing double or single quotes (text of 2 or more
// characters whose first and last characters are the same quote).
std::wstring unquote_text(const std::wstring& text);
// Splits on single spaces: consecutive spaces give empty tokens, a trailing
// text without space is the last token.
std::vector<std::wstring> split_spaces(const std::wstring& text);
// The first four (two) tokens converted with _wtoi; missing tokens give 0.
RECT text_rect(const std::wstring& text);
POINT text_point(const std::wstring& text);

// The high/low halves of a 64-bit value and back (the low half as unsigned).
int32_t i64_high(int64_t value);
int32_t i64_low(int64_t value);
int64_t i64_from_halves(int32_t high, int32_t low);

bool rect_is_zero(const RECT& rect);
bool same_rect(const RECT& a, const RECT& b);

}  // namespace quillet
