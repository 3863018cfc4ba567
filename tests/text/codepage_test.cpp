// Tests of the code page conversions and the decoder, each on the bytes it feeds.
#include <gtest/gtest.h>

#include <random>

#include "text/codepage.h"
#include "support/scratch.h"

using namespace quillet;
using bytes = std::vector<uint8_t>;

TEST(GuessCode, ShiftJisAsciiUtf8AndUnknown) {
    EXPECT_EQ(guess_code(bytes{0x82, 0xA0}), code_sjis);
    EXPECT_EQ(guess_code(bytes{0xE3, 0x81, 0x82}), code_utf8);
    // A lead byte cut by the end of the file is valid in no encoding.
    EXPECT_EQ(guess_code(bytes{'a', 'b', 0x82}), code_none);
    EXPECT_EQ(guess_code(bytes{0x41, 0xC3, 0xA9, 0x80, 0x41}), code_none);
    EXPECT_EQ(guess_code(bytes{}), code_ascii);
    EXPECT_EQ(guess_code(bytes{'p', 'l', 'a', 'i', 'n'}), code_ascii);
    EXPECT_EQ(guess_code(bytes{0xE0, 0x40}), code_sjis);
    EXPECT_EQ(guess_code(bytes{0xC3, 0xA9, 0x41}), code_utf8);     // é
    EXPECT_EQ(guess_code(bytes{0xFF, 0x41, 0x41}), code_none);     // 0xFF is never UTF-8
}

TEST(DecodeText, ByteOrderMarks) {
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE, 0x41, 0x00}), L"A");
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00}), L"A");
    EXPECT_EQ(decode_text(bytes{0x00, 0x00, 0xFE, 0xFF, 0x00, 0x00, 0x00, 0x41}), L"A");
    EXPECT_EQ(decode_text(bytes{0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), L"\u3042");
    EXPECT_EQ(decode_text(bytes{0xFE, 0xFF, 0x30, 0x42, 0x00, 0x41}), L"\u3042A");
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE}), L"");
    EXPECT_EQ(decode_text(bytes{}), L"");
}

TEST(DecodeText, HeuristicPaths) {
    EXPECT_EQ(decode_text(bytes{0x82, 0xA0, 0x41}), L"\u3042A");
    EXPECT_EQ(decode_text(bytes{0xE3, 0x81, 0x82}), L"\u3042");
    EXPECT_EQ(decode_text(bytes{'a', 'b', 'c'}), L"abc");
    // Classified 0 and decoded with code page 932: the ASCII letters survive.
    std::wstring unknown = decode_text(bytes{0x41, 0xC3, 0xA9, 0x80, 0x41});
    EXPECT_EQ(unknown.front(), L'A');
    EXPECT_EQ(unknown.back(), L'A');
}

TEST(DecodeText, NulCharactersAreKeptInEveryPath) {
    // UTF-16LE without mark: 'A' 'B' 'C' as six bytes is classified as ASCII
    // (the zero bytes are below 0x80) and every byte, zeros included, is a character.
    EXPECT_EQ(decode_text(bytes{0x41, 0x00, 0x42, 0x00, 0x43, 0x00}),
              std::wstring(L"A\0B\0C\0", 6));
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00}),
              std::wstring(L"A\0B", 3));
    EXPECT_EQ(decode_text(bytes{0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00, 0x00, 0x42}),
              std::wstring(L"A\0B", 3));
    EXPECT_EQ(decode_text(bytes{0xEF, 0xBB, 0xBF, 'a', 0x00, 'b'}), std::wstring(L"a\0b", 3));
    EXPECT_EQ(decode_text(bytes{0x82, 0xA0, 0x00, 0x82, 0xA2}), std::wstring(L"\u3042\0\u3044", 3));
    EXPECT_EQ(decode_text(bytes{0xE3, 0x81, 0x82, 0x00, 0x41}), std::wstring(L"\u3042\0A", 3));
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE, 0x00, 0x00, 0x41, 0, 0, 0, 0, 0, 0, 0, 0x42, 0, 0, 0}),
              std::wstring(L"A\0B", 3));
}

TEST(DecodeText, Utf32AboveBmpBecomesSurrogatePairs) {
    // U+10000 and U+1F600 in UTF-32LE and UTF-32BE.
    bytes le = {0xFF, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0xF6, 0x01, 0x00, 0x41, 0, 0, 0};
    EXPECT_EQ(decode_text(le), L"\xD800\xDC00\xD83D\xDE00" L"A");
    bytes be = {0x00, 0x00, 0xFE, 0xFF, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0xF6, 0x00};
    EXPECT_EQ(decode_text(be), L"\xD800\xDC00\xD83D\xDE00");
    // Values no UTF-32 text can hold become U+FFFD, one per unit.
    bytes bad = {0xFF, 0xFE, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0xD8, 0x00, 0x00};
    EXPECT_EQ(decode_text(bad), L"\xFFFD\xFFFD");
}

TEST(DecodeText, TrailingPartialUnitsAreNotDropped) {
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE, 0x41, 0x00, 0x42}), L"AB");
    EXPECT_EQ(decode_text(bytes{0xFE, 0xFF, 0x00, 0x41, 0x30}), L"A\x3000");
    EXPECT_EQ(decode_text(bytes{0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00, 0x42}), L"AB");
}

TEST(DecodeText, RandomBytesNeverCrash) {
    std::mt19937 gen(12345);
    for (int round = 0; round < 300; ++round) {
        bytes b(gen() % 64);
        for (auto& x : b) x = static_cast<uint8_t>(gen());
        if (round % 3 == 0 && b.size() >= 2) b[0] = 0xFF, b[1] = 0xFE;
        if (round % 5 == 0 && b.size() >= 4) b[0] = 0, b[1] = 0, b[2] = 0xFE, b[3] = 0xFF;
        std::wstring text = decode_text(b);
        text_code code = head_code(b);
        if (code == code_utf16le) {
            EXPECT_EQ(text.size(), (b.size() - 1) / 2);
        }
        if (code == code_utf32le || code == code_utf32be) {
            EXPECT_GE(text.size(), (b.size() - 1) / 4);
        }
        if (code == code_ascii) {
            EXPECT_EQ(text.size(), b.size());
        }
    }
}

TEST(Conversions, ShiftJisBothWays) {
    EXPECT_EQ(sjis_to_wide(bytes{0x82, 0xA0, 0x93, 0xFA}), L"\u3042\u65E5");
    EXPECT_EQ(sjis_to_wide(std::string("\x82\xA0\0A", 4)), std::wstring(L"\u3042\0A", 3));
    bool lossy = true;
    EXPECT_EQ(wide_to_sjis(L"\u3042A", &lossy), (bytes{0x82, 0xA0, 0x41}));
    EXPECT_FALSE(lossy);
    wide_to_sjis(L"caf\u00E9", &lossy);  // é has no form in code page 932
    EXPECT_TRUE(lossy);
    EXPECT_EQ(wide_to_sjis(std::wstring(L"a\0b", 3)), (bytes{'a', 0, 'b'}));
    EXPECT_TRUE(wide_to_sjis(L"").empty());
    EXPECT_EQ(sjis_to_wide(bytes{}), L"");
}

TEST(Conversions, Utf8BothWays) {
    EXPECT_EQ(utf8_to_wide(bytes{0xF0, 0x9F, 0x98, 0x80}), L"\xD83D\xDE00");
    EXPECT_EQ(utf8_to_wide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    bool lossy = true;
    EXPECT_EQ(wide_to_utf8(L"\u3042", &lossy), (bytes{0xE3, 0x81, 0x82}));
    EXPECT_FALSE(lossy);
    wide_to_utf8(L"a\xD800" L"b", &lossy);  // an unpaired surrogate
    EXPECT_TRUE(lossy);
    EXPECT_EQ(bytes_to_wide(reinterpret_cast<const uint8_t*>("\xE9"), 1, 1252), L"\u00E9");
}

TEST(Conversions, RawBytes) {
    EXPECT_EQ(wide_bytes(L"A\u3042"), (bytes{0x41, 0x00, 0x42, 0x30}));
    EXPECT_EQ(wide_bytes(std::wstring(L"\0", 1)), (bytes{0, 0}));
    EXPECT_TRUE(wide_bytes(L"").empty());
    EXPECT_EQ(narrow_bytes(std::string("a\0\xFF", 3)), (bytes{'a', 0, 0xFF}));
}

TEST(Conversions, Utf32Units) {
    EXPECT_EQ(utf32_to_wide({0x41, 0x10FFFF, 0x110000, 0xDC00}), L"A\xDBFF\xDFFF\xFFFD\xFFFD");
}
