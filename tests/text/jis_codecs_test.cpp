// Tests of the EUC-JP and ISO-2022-JP decoders and of encoding detection,
// each on the bytes it feeds.
#include <gtest/gtest.h>
#include <windows.h>

#include "text/codepage.h"
#include "text/guess.h"
#include "text/jis_codecs.h"

using namespace quillet;
using bytes = std::vector<uint8_t>;

namespace {

std::wstring euc(const bytes& b, uint64_t* invalid = nullptr) {
    return decode_eucjp(b.data(), b.size(), invalid);
}
std::wstring jis(const bytes& b, uint64_t* invalid = nullptr) {
    return decode_iso2022jp(b.data(), b.size(), invalid);
}
bytes of(const char* s) { return bytes(s, s + strlen(s)); }

// The platform's own code page 932 reading of one Shift_JIS pair, worked out
// here from row and cell; 0 when the platform refuses the pair.
wchar_t platform_sjis(unsigned row, unsigned cell) {
    const unsigned lead = row <= 62 ? 0x81 + (row - 1) / 2 : 0xE0 + (row - 63) / 2;
    const unsigned trail = row % 2 ? (cell <= 63 ? 0x3F + cell : 0x40 + cell) : 0x9E + cell;
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    wchar_t out[2] = {};
    return MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, pair, 2, out, 2) == 1 ? out[0] : 0;
}

// Decoding all in two pieces, cut at every offset, gives text and no
// invalid sequence: what is cut at a piece's end carries over.
void expect_every_cut(std::unique_ptr<piece_decoder> (*make)(), const bytes& all,
                      const std::wstring& text) {
    for (size_t cut = 0; cut <= all.size(); ++cut) {
        std::unique_ptr<piece_decoder> d = make();
        std::wstring out;
        d->decode(all.data(), cut, false, out);
        d->decode(all.data() + cut, all.size() - cut, true, out);
        EXPECT_EQ(out, text) << cut;
        EXPECT_EQ(d->invalid_count(), 0u) << cut;
    }
}

}  // namespace

TEST(JisDecoders, EveryRowAndCellAgreesWithCodePage932) {
    size_t mapped = 0;
    for (unsigned row = 1; row <= 94; ++row) {
        for (unsigned cell = 1; cell <= 94; ++cell) {
            const wchar_t want = platform_sjis(row, cell);
            uint64_t euc_invalid = 0, jis_invalid = 0;
            const std::wstring e = euc({uint8_t(row + 0xA0), uint8_t(cell + 0xA0)}, &euc_invalid);
            const std::wstring j = jis({0x1B, '$', 'B', uint8_t(row + 0x20), uint8_t(cell + 0x20)},
                                       &jis_invalid);
            if (want == 0 || want == 0xFFFD) {
                EXPECT_EQ(euc_invalid, 1u) << row << "-" << cell;
                EXPECT_EQ(jis_invalid, 1u) << row << "-" << cell;
                continue;
            }
            ++mapped;
            EXPECT_EQ(e, std::wstring(1, want)) << row << "-" << cell;
            EXPECT_EQ(j, std::wstring(1, want)) << row << "-" << cell;
        }
    }
    EXPECT_GT(mapped, 7000u);  // JIS X 0208 and the NEC rows of code page 932
}

TEST(EucJp, HalfWidthKanaBrokenAndCutSequences) {
    EXPECT_EQ(euc({'a', 0xC6, 0xFC, 0x8E, 0xB1, 0x8E, 0xDF}), L"a日\xFF71\xFF9F");  // SS2: ｱﾟ
    uint64_t invalid = 0;
    // SS3 (JIS X 0212): the platform maps none of it, so it stays invalid.
    EXPECT_EQ(euc({0x8F, 0xB0, 0xA1, 'x'}, &invalid), L"\xFFFD" L"x");
    EXPECT_EQ(invalid, 1u);
    EXPECT_EQ(euc({0xA4, 'x', 0xA4}, &invalid), L"\xFFFDx\xFFFD");  // leads without their trail
    EXPECT_EQ(invalid, 2u);
    EXPECT_EQ(euc({0x8E, 0xE0}, &invalid), L"\xFFFD\xFFFD");  // SS2 with no katakana
    expect_every_cut(make_eucjp_decoder, {0xC6, 0xFC, 0x8E, 0xB1, 0xA4, 0xA2}, L"日\xFF71あ");
}

TEST(Iso2022Jp, EscapeSequencesTheirExtensionsAndBrokenSequences) {
    EXPECT_EQ(jis(of("\x1B$@F|\x1B(Ja\\")), L"日a\\");        // 1978 set; Roman read as ASCII
    EXPECT_EQ(jis(of("\x1B&@\x1B$BF|\x1B(B")), L"日");       // 1990 announcer
    EXPECT_EQ(jis(of("\x1B(I1_\x1B(B")), L"\xFF71\xFF9F");   // JIS X 0201 katakana
    EXPECT_EQ(jis(of("a\x0E" "1\x0F" "b")), L"a\xFF71" L"b"); // SO/SI
    EXPECT_EQ(jis(of("\x1B$BF|\r\nF|\x1B(B")), L"日\r\n日");   // line ends inside a shift
    uint64_t invalid = 0;
    EXPECT_EQ(jis(of("a\x1Bz"), &invalid), L"a\xFFFDz");
    EXPECT_EQ(invalid, 1u);
    EXPECT_EQ(jis(of("\x1B$BF"), &invalid), L"\xFFFD");  // character cut by the end
    EXPECT_EQ(invalid, 1u);
    EXPECT_EQ(jis(bytes{'a', 0xA4}, &invalid), L"a\xFFFD");  // 8-bit bytes have no place
    expect_every_cut(make_iso2022jp_decoder, of("\x1B$BF|\x1B(Bx"), L"日x");
}

TEST(GuessCode, EucJpAndIso2022JpAreRecognisedAndDecoded) {
    const bytes euc_text = {0xA4, 0xAB, 0xA4, 0xE9, 0xA4, 0xCA, 0xA4, 0xA4};
    const bytes jis_text = of("\x1B$B$+$i$J$$\x1B(B");
    EXPECT_EQ(guess_code(euc_text), code_eucjp);
    EXPECT_EQ(guess_code(jis_text), code_jis);
    EXPECT_EQ(decode_text(euc_text), L"からない");
    EXPECT_EQ(decode_text(jis_text), L"からない");
    EXPECT_EQ(guess_code(of("colour \x1B[31mred\x1B[0m")), code_ascii);  // no Japanese set
    EXPECT_EQ(guess_code(of("a\x1B")), code_ascii);                     // a lone ESC
    // An escape sequence cut at the end of a head sample is no evidence against.
    EXPECT_EQ(guess_encoding(reinterpret_cast<const uint8_t*>("\x1B$BF|\x1B$"), 7, true).code,
              code_jis);
}

TEST(GuessCode, ShiftJisEvidenceIsWeighedWholeAndUtf8IsStrict) {
    EXPECT_EQ(guess_code(bytes{0x20, 0x66, 0x0A, 0xE5, 0xB3, 0x92, 0x42}), code_sjis);  // " f\n蟲達"
    EXPECT_EQ(guess_code(bytes{'a', 'b', 'c', 0xB1, '\n'}), code_sjis);    // abcｱ
    // ... but without the line end it may as well be EUC-JP cut inside a kanji.
    EXPECT_TRUE(guess_encoding(bytes{'a', 'b', 'c', 0xB1}.data(), 4, false).undecided);
    // UTF-8 is strict.
    EXPECT_EQ(guess_code(bytes{0xE3, 0x81, 0x8B, 0xE3, 0x82, 0x89}), code_utf8);  // から
    EXPECT_NE(guess_code(bytes{0xC0, 0xAF}), code_utf8);                          // overlong
    EXPECT_NE(guess_code(bytes{'a', 0xED, 0xB5, 0xAD}), code_utf8);               // surrogate
    EXPECT_EQ(guess_encoding(bytes{0xE3, 0x81, 0x8B, 0xE3, 0x81}.data(), 5, true).code, code_utf8);
}

TEST(GuessCode, NothingIsChosenWhenNoReadingDecodes) {
    const code_guess broken = guess_encoding(bytes{0x82, 0xA0, 0x80, 0xFF}.data(), 4, false);
    EXPECT_EQ(broken.code, code_none);
    EXPECT_FALSE(broken.undecided);
    EXPECT_TRUE(broken.candidates.empty());
}
