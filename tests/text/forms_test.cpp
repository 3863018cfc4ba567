// The bytes each target's writer puts on disk for a text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/encodings.h"
#include "support/japanese_sample.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::kJapanese;
using testing_support::kJapaneseSjis;
using testing_support::kJapaneseUtf8;
using testing_support::bytes_of;
using testing_support::utf16le_bytes;

namespace {

using bytes = std::vector<uint8_t>;

bytes concat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}


}  // namespace

TEST(Writers, ByteForms) {
    EXPECT_EQ(utf8_form(kJapanese, false), kJapaneseUtf8);
    EXPECT_EQ(utf8_form(kJapanese, true), concat({0xEF, 0xBB, 0xBF}, kJapaneseUtf8));
    EXPECT_EQ(utf16_form(L"A\u3042", false), (bytes{0x41, 0x00, 0x42, 0x30}));
    EXPECT_EQ(utf16_form(L"A\u3042", true), (bytes{0xFF, 0xFE, 0x41, 0x00, 0x42, 0x30}));
    EXPECT_EQ(sjis_form(kJapanese), kJapaneseSjis);
    EXPECT_EQ(utf16_text_form(L"A"), (bytes{0xFF, 0xFE, 0x41, 0x00}));
}

TEST(Writers, Utf16KeepsALeadingMarkButUtf16TextHasExactlyOne) {
    EXPECT_EQ(utf16_form(L"\uFEFFA", true), (bytes{0xFF, 0xFE, 0xFF, 0xFE, 0x41, 0x00}));
    EXPECT_EQ(utf16_text_form(L"\uFEFF\uFEFF\uFEFFA"), (bytes{0xFF, 0xFE, 0x41, 0x00}));
    EXPECT_EQ(utf16_text_form(L""), (bytes{0xFF, 0xFE}));
}

TEST(Writers, FormsEndAtTheFirstNulButUtf16TextKeepsIt) {
    const std::wstring text(L"ab\0cd", 5);
    EXPECT_EQ(utf8_form(text, false), bytes_of("ab"));
    EXPECT_EQ(utf16_form(text, false), (bytes{'a', 0, 'b', 0}));
    EXPECT_EQ(sjis_form(text), bytes_of("ab"));
    EXPECT_EQ(utf16_text_form(text), concat({0xFF, 0xFE}, utf16le_bytes(text, false)));
}

TEST(Writers, ShiftJisMarksCharactersOutsideCodePage932) {
    bool lossy = false;
    const bytes out = sjis_form(L"a\U0001F600b", &lossy);
    EXPECT_TRUE(lossy);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out.front(), 'a');
    EXPECT_EQ(out.back(), 'b');
    for (size_t i = 1; i + 1 < out.size(); ++i) EXPECT_EQ(out[i], '_') << i;
    sjis_form(kJapanese, &lossy);
    EXPECT_FALSE(lossy);
    // A character that code page 932 lacks, whatever the platform puts instead.
    sjis_form(L"caf\u00E9", &lossy);
    EXPECT_TRUE(lossy);
}

TEST(Writers, LineEndsAreWrittenAsTheyAre) {
    const std::wstring text = L"a\nb\r\nc\rd";
    EXPECT_EQ(utf8_form(text, false), bytes_of("a\nb\r\nc\rd"));
    EXPECT_EQ(sjis_form(text), bytes_of("a\nb\r\nc\rd"));
    EXPECT_EQ(utf16_text_form(text), utf16le_bytes(text, true));
}
