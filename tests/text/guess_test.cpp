// Tests of how detection weighs the readings of bytes that are valid in more
// than one of Shift_JIS, EUC-JP and UTF-8, each on the bytes it feeds.
#include <gtest/gtest.h>

#include <string>

#include "text/guess.h"

using namespace quillet;

namespace {

code_guess guess(const std::string& b) {
    return guess_encoding(reinterpret_cast<const uint8_t*>(b.data()), b.size(), false);
}

}  // namespace

TEST(GuessWeighing, TextValidInSeveralCodesTakesTheNaturalReading) {
    const struct {
        const char* bytes;
        text_code code;
    } cases[] = {
        // " /etc に": not Shift_JIS " /etc ､ﾋ", a comma that follows a space.
        {" /etc \xA4\xCB", code_eucjp},
        // "。\n-h se" and "ll、sh": not Shift_JIS "｡｣\n-h se" and "ll｡｢sh".
        {"\xA1\xA3\n-h se", code_eucjp},
        {" ll\xA1\xA2sh", code_eucjp},
        // ｵﾌ)\nﾊ in EUC-JP, not Shift_JIS 七捨)\n写, kanji all of lead 8E.
        {"\x8E\xB5\x8E\xCC)\n\x8E\xCA", code_eucjp},
        // 著者 Jon Masters\n開発者 Lucas De Marchi: common kanji without kana.
        {"\xC3\xF8\xBC\xD4 Jon Masters\n\xB3\xAB\xC8\xAF\xBC\xD4 Lucas De Marchi\n", code_eucjp},
        // 文字変換: common kanji without kana that form words.
        {"\xCA\xB8\xBB\xFA\xCA\xD1\xB4\xB9", code_eucjp},
        // Half-width katakana that spell words, sound and long-vowel marks
        // where katakana put them: ﾃﾞｰﾀﾍﾞｰｽ, not EUC-JP 筑粟抑綾; ｻﾑ､ｽﾍﾟｰｽ, not
        // 姿そ欲綾; ｽｽｹｼﾞｭｰﾘ (a long-vowel mark after a small kana), not 十梗洵椅.
        {"\xC3\xDE\xB0\xC0\xCD\xDE\xB0\xBD", code_sjis},
        {"\xBB\xD1\xA4\xBD\xCD\xDF\xB0\xBD", code_sjis},
        {"\xBD\xBD\xB9\xBC\xDE\xAD\xB0\xD8", code_sjis},
        // Chinese GB2312 is no Japanese: 参见 SEE ALSO 的说明 (EUC-JP
        // 歌需 SEE ALSO 議傍苧 its only valid reading), and 页计划：https,
        // invalid in EUC-JP, eight half-width signs in Shift_JIS.
        {"\xB2\xCE\xBC\xFB SEE ALSO \xB5\xC4\xCB\xB5\xC3\xF7", code_none},
        {"\xD2\xB3\xBC\xC6\xBB\xAE\xA3\xBAhttps", code_none},
        // 的进程标: EUC-JP 議序殻炎, kanji in common use of which no two
        // side by side form a word. So do 前職 and 令和 for the dictionary of
        // kanji pairs: left undecided too, never Shift_JIS ﾁｰｿｦ or ﾎ睹ﾂ.
        {"\xB5\xC4\xBD\xF8\xB3\xCC\xB1\xEA", code_none},
        {"\xC1\xB0\xBF\xA6\n", code_none},
        {"\xCE\xE1\xCF\xC2" "6\xC7\xAF\n", code_none},
    };
    for (const auto& c : cases) EXPECT_EQ(guess(c.bytes).code, c.code) << c.bytes;
}

TEST(GuessWeighing, ReadingsOfEqualWeightStayUndecided) {
    // 中文手册页: EUC-JP 嶄猟返過匈 (kanji without kana, not the common ones),
    // Shift_JIS ﾖﾐﾎﾄﾊﾖｲ瞑ｳ.
    const code_guess chinese = guess("\xD6\xD0\xCE\xC4\xCA\xD6\xB2\xE1\xD2\xB3");
    EXPECT_EQ(chinese.code, code_none);
    EXPECT_TRUE(chinese.undecided);
    // 治 in Shift_JIS or the half-width full stop ｡ in EUC-JP: both natural
    // before " I/O ".
    EXPECT_TRUE(guess("\x8E\xA1 I/O ").undecided);
    // One kanji of EUC-JP or two half-width katakana of Shift_JIS: 番 or ﾈﾖ.
    const code_guess tie = guess("(IANA \xC8\xD6");
    EXPECT_EQ(tie.code, code_none);
    EXPECT_TRUE(tie.undecided);
    EXPECT_EQ(tie.candidates.size(), 2u);
}
