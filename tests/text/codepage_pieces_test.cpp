// Large buffers are converted piece by piece: the result must be exactly what
// one platform call over the whole buffer gives, whatever falls on a cut.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "text/piece_decoder.h"
#include "support/scratch.h"

namespace {

using namespace quillet;

// One platform call over the whole buffer (count, then convert).
std::wstring whole_call(const std::vector<uint8_t>& bytes, unsigned cp) {
    const char* in = reinterpret_cast<const char*>(bytes.data());
    const int n = MultiByteToWideChar(cp, 0, in, static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, 0, in, static_cast<int>(bytes.size()), &out[0], n);
    return out;
}


// A deterministic mix of Shift_JIS pieces: double-byte characters, half-width
// kana, ASCII, CR LF, long runs without any byte below 0x40, and lead bytes
// followed by bytes that are no trail byte.
std::vector<uint8_t> sjis_mix(size_t size) {
    static const std::vector<std::vector<uint8_t>> parts = {
        {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA},  // 日本語
        {0xB6, 0xC0, 0xB6, 0xC5},              // ｶﾀｶﾅ
        {'a', 'b', 'c', ' '},
        {0x0D, 0x0A},
        {0x87, 0x40},  // ①
        {0x81, 0x0A},  // lead byte, then LF
        {0x82, 0xA0},
        {0xE0, 0x30},  // lead byte, then a digit
        {0xFD},        // no character
    };
    std::vector<uint8_t> out;
    uint32_t seed = 12345;
    while (out.size() < size) {
        seed = seed * 1103515245u + 12345u;
        // Now and then a long stretch of kanji with no cut point.
        const bool stretch = (seed >> 8) % 97 == 0;
        const auto& part = stretch ? parts[0] : parts[(seed >> 16) % parts.size()];
        for (size_t r = 0; r < (stretch ? 40000u : 1u); ++r)
            out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// UTF-8 with stray continuation bytes, cut sequences and four-byte characters.
std::vector<uint8_t> utf8_mix(size_t size) {
    static const std::vector<std::vector<uint8_t>> parts = {
        {0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC},  // 日本
        {0xF0, 0x9F, 0x98, 0x80},              // U+1F600
        {'x', 'y', ' '},
        {0x0D, 0x0A},
        {0x80},              // stray continuation byte
        {0xE3, 0x81, 'A'},   // cut sequence
        {0xC3, 0xA9},        // e acute
    };
    std::vector<uint8_t> out;
    uint32_t seed = 777;
    while (out.size() < size) {
        seed = seed * 1103515245u + 12345u;
        const auto& part = parts[(seed >> 16) % parts.size()];
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(CodepagePieces, ShiftJisOfSeveralPiecesIsTheWholeConversion) {
    const std::vector<uint8_t> bytes = sjis_mix(5 * 1024 * 1024 + 17);
    const std::wstring expected = whole_call(bytes, 932);
    EXPECT_EQ(bytes_to_wide(bytes.data(), bytes.size(), 932), expected);
    EXPECT_EQ(sjis_to_wide(bytes), expected);
}

TEST(CodepagePieces, Utf8OfSeveralPiecesIsTheWholeConversion) {
    const std::vector<uint8_t> bytes = utf8_mix(4 * 1024 * 1024 + 5);
    EXPECT_EQ(utf8_to_wide(bytes), whole_call(bytes, CP_UTF8));
}

TEST(CodepagePieces, EncodingInPiecesIsTheWholeConversion) {
    // More than one piece of units, with surrogate pairs wherever they fall.
    std::wstring text;
    uint32_t seed = 99;
    while (text.size() < 1500000) {
        seed = seed * 1103515245u + 12345u;
        switch ((seed >> 16) % 4) {
            case 0: text += L"日本語"; break;
            case 1: text += L"\U0001F600"; break;
            case 2: text += L"abc\r\n"; break;
            default: text += L"ｶﾅ"; break;
        }
    }
    bool lossy = true;
    EXPECT_EQ(wide_to_utf8(text, &lossy), testing_support::code_page_bytes(text, CP_UTF8));
    EXPECT_FALSE(lossy);
    // Code page 932 has no form for the emoji: lossy, every piece alike.
    const std::vector<uint8_t> sjis = wide_to_sjis(text, &lossy);
    EXPECT_TRUE(lossy);
    EXPECT_FALSE(sjis.empty());
    std::wstring plain;
    for (int i = 0; i < 300000; ++i) plain += L"漢字かな";
    EXPECT_EQ(wide_to_sjis(plain, &lossy), testing_support::code_page_bytes(plain, 932));
    EXPECT_FALSE(lossy);
}

TEST(CodepagePieces, BrokenFourByteUtf8NearACutDecodesAsInOneCall) {
    // F4 starts a four-byte character that 1B does not continue. Given fewer
    // than three bytes after such a lead byte, Wine's conversion swallows them
    // into its replacement character, so no piece may end there: neither in a
    // large buffer converted in pieces of a megabyte...
    const std::vector<uint8_t> broken = {0x0E, 0xF4, 0x1B, 0x26, 0x0A, 0xEF, 0x8F, 0xA1};
    std::vector<uint8_t> large;
    while (large.size() < (size_t(1) << 20) - 2) large.insert(large.end(), {0xE3, 0x81, 0x82});
    for (int i = 0; i < 3; ++i) large.insert(large.end(), broken.begin(), broken.end());
    EXPECT_TRUE(utf8_to_wide(large) == whole_call(large, CP_UTF8));  // no megabyte-long diff
    // ...nor where a piece decoder must cut a megabyte without a clean cut.
    large.resize((size_t(1) << 20) + 2);
    large.insert(large.end(), {0xF4, 0x41, 0x41});
    const std::vector<uint8_t> rest = {0x42, 0x0A};
    std::unique_ptr<piece_decoder> decoder = make_piece_decoder(code_utf8);
    std::wstring pieces;
    decoder->decode(large.data(), large.size(), false, pieces);
    decoder->decode(rest.data(), rest.size(), true, pieces);
    large.insert(large.end(), rest.begin(), rest.end());
    EXPECT_TRUE(pieces == whole_call(large, CP_UTF8));
}

}  // namespace
