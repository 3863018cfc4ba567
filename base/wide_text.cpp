// The platform's code page conversions over buffers of any length, and the
// UTF-16LE encoder. Every conversion takes the buffer's whole length: a zero
// byte or unit is text (U+0000), never the end of the text, so nothing after
// it is lost.
#include "base/wide_text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <exception>

namespace quillet {

namespace {
// The platform conversions take int lengths; longer buffers go in pieces of
// this size, cut where no character can be split.
constexpr size_t kPiece = size_t(1) << 30;

// Large buffers are converted in pieces of about this many bytes, each with a
// single call into a buffer that cannot be too small (never more units than
// bytes), so the platform walks every byte once instead of twice (once to
// count, once to convert), and no more than one piece of spare room is held.
constexpr size_t kStep = size_t(1) << 20;

// A cut point at or after `from` in data[0, size) (see clean_cut); size when
// there is none.
size_t cut_at_or_after(const uint8_t* data, size_t from, size_t size) {
    for (size_t cut = std::max<size_t>(from, 2); cut < size; ++cut) {
        if (clean_cut(data, cut)) return cut;
    }
    return size;
}

// Converts data[0, size) with one call into out's end; false when the
// platform refused (the caller then counts first).
bool convert_into(const uint8_t* data, size_t size, unsigned cp, std::wstring& out) {
    const char* in = reinterpret_cast<const char*>(data);
    const size_t old = out.size();
    out.resize(old + size);
    const int n = MultiByteToWideChar(cp, 0, in, static_cast<int>(size), &out[old],
                                      static_cast<int>(size));
    out.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
    return n > 0;
}

std::wstring convert_piece(const uint8_t* data, size_t size, unsigned cp) {
    std::wstring out;
    if (size == 0) return out;
    if (size <= kPiece && convert_into(data, size, cp, out)) return out;
    const char* in = reinterpret_cast<const char*>(data);
    int n = MultiByteToWideChar(cp, 0, in, static_cast<int>(size), nullptr, 0);
    if (n <= 0) return L"";
    out.assign(static_cast<size_t>(n), L'\0');
    n = MultiByteToWideChar(cp, 0, in, static_cast<int>(size), &out[0], n);
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return out;
}

// Calls take(piece) for the conversion of data[0, size) piece by piece, in
// order; the pieces joined are the conversion of the whole buffer, since no
// cut splits a character. Stops early when take returns false.
template <typename Take>
bool for_each_piece(const uint8_t* data, size_t size, unsigned cp, Take take) {
    size_t start = 0;
    while (start < size) {
        size_t end = size - start > kStep ? cut_at_or_after(data, start + kStep, size) : size;
        // A piece too long for one call (no cut point for a long way): the
        // platform's own limit, at a point that splits no UTF-8 character.
        if (end - start > kPiece) {
            end = start + kPiece;
            while (cp == CP_UTF8 && end > start + 8 && (data[end] & 0xC0) == 0x80) --end;
        }
        if (!take(convert_piece(data + start, end - start, cp))) return false;
        start = end;
    }
    return true;
}

void convert_units(const wchar_t* text, size_t size, unsigned cp, bool* lossy,
                   std::vector<uint8_t>& out) {
    if (size == 0) return;
    DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* used = cp == CP_UTF8 ? nullptr : &used_default;
    const int len = static_cast<int>(size);
    // One call into room for the longest form (3 bytes a unit in UTF-8, 2 in
    // code page 932); counting first would walk the text twice.
    const size_t old = out.size();
    const size_t room = size * (cp == CP_UTF8 ? 3 : 2);
    out.resize(old + room);
    int n = WideCharToMultiByte(cp, flags, text, len, reinterpret_cast<char*>(out.data() + old),
                                static_cast<int>(room), nullptr, used);
    out.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
    if (n > 0) {
        if (used_default && lossy) *lossy = true;
        return;
    }
    n = WideCharToMultiByte(cp, flags, text, len, nullptr, 0, nullptr, used);
    if (n <= 0 && cp == CP_UTF8) {
        // An unpaired surrogate: convert anyway (it becomes U+FFFD) and say so.
        if (lossy) *lossy = true;
        flags = 0;
        n = WideCharToMultiByte(cp, flags, text, len, nullptr, 0, nullptr, nullptr);
    }
    if (n <= 0) return;
    out.resize(old + static_cast<size_t>(n));
    used_default = FALSE;
    n = WideCharToMultiByte(cp, flags, text, len, reinterpret_cast<char*>(out.data() + old), n,
                            nullptr, used);
    out.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
    if (used_default && lossy) *lossy = true;
}

}  // namespace

// After a byte below 0x40 (a single-byte character in code page 932, never a
// trail byte of it, and plain ASCII in UTF-8) that follows a byte below 0x80
// (which no multi-byte character can have started), and not two bytes after
// a lead byte of a four-byte UTF-8 character: given such a lead byte with
// fewer than three bytes after it, Wine's conversion takes those bytes, ASCII
// or not, into the one replacement character of the broken sequence, which a
// cut there would change.
bool clean_cut(const uint8_t* data, size_t cut) {
    if (cut < 2 || data[cut - 1] >= 0x40 || data[cut - 2] >= 0x80) return false;
    return cut < 3 || data[cut - 3] < 0xF0 || data[cut - 3] > 0xF4;
}

std::wstring bytes_to_wide(const uint8_t* data, size_t size, unsigned code_page) {
    std::wstring out;
    // Room for the most the text can take (one unit per byte); the pages that
    // stay unused are never touched.
    // (Without that room the text simply grows as it is appended.)
    try {
        out.reserve(size);
    } catch (const std::exception&) {
    }
    for_each_piece(data, size, code_page, [&](const std::wstring& piece) {
        out += piece;
        return true;
    });
    return out;
}

std::vector<uint8_t> wide_to_bytes(const std::wstring& text, unsigned code_page, bool* lossy) {
    std::vector<uint8_t> out;
    // Room for the longest form; the pages left unused are never touched.
    try {
        out.reserve(text.size() * (code_page == CP_UTF8 ? 3 : 2));
    } catch (const std::exception&) {
    }
    wide_to_bytes_into(text, code_page, lossy, out);
    return out;
}

void wide_to_bytes_into(const std::wstring& text, unsigned code_page, bool* lossy,
                        std::vector<uint8_t>& out) {
    if (lossy) *lossy = false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.size(), start + kStep / 2);
        // Never cut between the two halves of a surrogate pair.
        if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
        convert_units(text.data() + start, end - start, code_page, lossy, out);
        start = end;
    }
}

std::wstring sjis_to_wide(const std::vector<uint8_t>& bytes) {
    return bytes_to_wide(bytes.data(), bytes.size(), 932);
}

std::wstring sjis_to_wide(const std::string& bytes) {
    return bytes_to_wide(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 932);
}

std::wstring utf8_to_wide(const std::vector<uint8_t>& bytes) {
    return bytes_to_wide(bytes.data(), bytes.size(), CP_UTF8);
}

std::wstring utf8_to_wide(const std::string& bytes) {
    return bytes_to_wide(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), CP_UTF8);
}

std::vector<uint8_t> wide_to_sjis(const std::wstring& text, bool* lossy) {
    return wide_to_bytes(text, 932, lossy);
}

std::vector<uint8_t> wide_to_utf8(const std::wstring& text, bool* lossy) {
    return wide_to_bytes(text, CP_UTF8, lossy);
}

std::wstring utf32_to_wide(const std::vector<uint32_t>& units) {
    std::wstring out;
    out.reserve(units.size());
    for (uint32_t u : units) {
        if (u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
            out += wchar_t(0xFFFD);
        } else if (u > 0xFFFF) {
            u -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (u >> 10));
            out += static_cast<wchar_t>(0xDC00 + (u & 0x3FF));
        } else {
            out += static_cast<wchar_t>(u);
        }
    }
    return out;
}

void append_wide_bytes(const std::wstring& text, std::vector<uint8_t>& out) {
    const size_t old = out.size();
    out.resize(old + 2 * text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        out[old + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        out[old + 2 * i + 1] = static_cast<uint8_t>((text[i] >> 8) & 0xFF);
    }
}

std::vector<uint8_t> wide_bytes(const std::wstring& text) {
    std::vector<uint8_t> out;
    append_wide_bytes(text, out);
    return out;
}

std::vector<uint8_t> narrow_bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace quillet
