// Tests of how detection weighs the readings of bytes that are valid in more
// than one of Shift_JIS, EUC-JP and UTF-8, each on the bytes it feeds.
#include <gtest/gtest.h>

#include "base/guess.h"

using namespace quillet;
using bytes = std::vector<uint8_t>;

namespace {

code_guess guess(const bytes& b) { return guess_encoding(b.data(), b.size(), false); }

}  // namespace

TEST(GuessWeighing, EucJpHiraganaAfterASpaceIsNotAShiftJisCommaAndKatakana) {
    // " /etc に": Shift_JIS would read " /etc ､ﾋ", a comma that follows a space.
    EXPECT_EQ(guess({0x20, 0x2F, 0x65, 0x74, 0x63, 0x20, 0xA4, 0xCB}).code, code_eucjp);
}

TEST(GuessWeighing, EucJpFullStopIsNotAShiftJisStopAndBracketAfterAscii) {
    // "。\n-h se": Shift_JIS would read "｡｣\n-h se"; "ll、sh" would be "ll｡｢sh".
    EXPECT_EQ(guess({0xA1, 0xA3, 0x0A, '-', 'h', ' ', 's', 'e'}).code, code_eucjp);
    EXPECT_EQ(guess({' ', 'l', 'l', 0xA1, 0xA2, 's', 'h'}).code, code_eucjp);
}

TEST(GuessWeighing, HalfWidthKatakanaThatSpellWordsAreShiftJis) {
    // ﾃﾞｰﾀﾍﾞｰｽ: sound marks and long-vowel marks where katakana put them;
    // EUC-JP would read four kanji 筑粟抑綾.
    EXPECT_EQ(guess({0xC3, 0xDE, 0xB0, 0xC0, 0xCD, 0xDE, 0xB0, 0xBD}).code, code_sjis);
    // ｻﾑ､ｽﾍﾟｰｽ against 姿そ欲綾.
    EXPECT_EQ(guess({0xBB, 0xD1, 0xA4, 0xBD, 0xCD, 0xDF, 0xB0, 0xBD}).code, code_sjis);
    // ｽｽｹｼﾞｭｰﾘ (a long-vowel mark after a small kana) against 十梗洵椅.
    EXPECT_EQ(guess({0xBD, 0xBD, 0xB9, 0xBC, 0xDE, 0xAD, 0xB0, 0xD8}).code, code_sjis);
}

TEST(GuessWeighing, EucJpHalfWidthKatakanaAreNotShiftJisKanjiOfOneLeadByte) {
    // ｵﾌ)\nﾊ in EUC-JP; Shift_JIS would read 七捨)\n写, kanji all of lead 8E.
    EXPECT_EQ(guess({0x8E, 0xB5, 0x8E, 0xCC, 0x29, 0x0A, 0x8E, 0xCA}).code, code_eucjp);
}

TEST(GuessWeighing, CommonKanjiWithoutKanaStayJapanese) {
    // "著者 Jon Masters\n開発者 Lucas De Marchi\n" in EUC-JP: a list of names
    // under headings of common kanji.
    const std::string text =
        "\xC3\xF8\xBC\xD4 Jon Masters\n\xB3\xAB\xC8\xAF\xBC\xD4 Lucas De Marchi\n";
    EXPECT_EQ(guess(bytes(text.begin(), text.end())).code, code_eucjp);
}

TEST(GuessWeighing, ChineseGb2312IsNotTakenForJapanese) {
    // 中文手册页: EUC-JP reads 嶄猟返過匈 (kanji without kana, not the common
    // ones), Shift_JIS ﾖﾐﾎﾄﾊﾖｲ瞑ｳ.
    const code_guess title = guess({0xD6, 0xD0, 0xCE, 0xC4, 0xCA, 0xD6, 0xB2, 0xE1, 0xD2, 0xB3});
    EXPECT_EQ(title.code, code_none);
    EXPECT_TRUE(title.undecided);
    // 参见 SEE ALSO 的说明: 歌需 SEE ALSO 議傍苧 in EUC-JP, the only valid reading.
    const std::string mixed = "\xB2\xCE\xBC\xFB SEE ALSO \xB5\xC4\xCB\xB5\xC3\xF7";
    EXPECT_EQ(guess(bytes(mixed.begin(), mixed.end())).code, code_none);
    // 页计划：https, invalid in EUC-JP (A3 BA): Shift_JIS reads ﾒｳｼﾆｻｮ｣ｺhttps,
    // eight half-width signs that score too little a character.
    EXPECT_EQ(guess({0xD2, 0xB3, 0xBC, 0xC6, 0xBB, 0xAE, 0xA3, 0xBA, 'h', 't', 't', 'p', 's'}).code,
              code_none);
}

TEST(GuessWeighing, OneCommonKanjiAgainstOneHalfWidthSignStaysUndecided) {
    // 治 in Shift_JIS or the half-width full stop ｡ in EUC-JP (8E A1): both
    // natural before " I/O ".
    EXPECT_TRUE(guess({0x8E, 0xA1, ' ', 'I', '/', 'O', ' '}).undecided);
}
