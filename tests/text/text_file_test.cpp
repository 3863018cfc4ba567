// Tests of the INI text-file reader and writer on real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "text/codepage.h"
#include "text/text_file.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::scratch_folder;
namespace ts = testing_support;
using bytes = std::vector<uint8_t>;

using testing_support::held_file;

namespace {

bytes cat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace

TEST(ReadTextFile, DecodesEveryEncoding) {
    scratch_folder s;
    const std::wstring want = L"[Sec]\r\nKey=\u3042\u65E5";
    const std::vector<bytes> forms = {
        cat({0xEF, 0xBB, 0xBF}, wide_to_utf8(want)),
        wide_to_utf8(want),
        ts::utf16le_bytes(want, true),
        wide_to_sjis(want),
    };
    for (size_t i = 0; i < forms.size(); ++i) {
        const std::wstring f = s.file(L"f" + std::to_wstring(i) + L".ini");
        ASSERT_TRUE(ts::put_bytes(f, forms[i]));
        std::wstring text = L"junk";
        EXPECT_EQ(read_text_file(f, text), 1) << i;
        EXPECT_EQ(text, want) << i;
    }
}

TEST(ReadTextFile, RefusesEmptyMissingAndFolders) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"empty.ini"), ""));
    std::wstring text = L"junk";
    EXPECT_EQ(read_text_file(s.file(L"empty.ini"), text), 0);
    EXPECT_TRUE(text.empty());
    text = L"junk";
    EXPECT_EQ(read_text_file(s.file(L"missing.ini"), text), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(read_text_file(s.path(), text), 0);
    EXPECT_EQ(read_text_file(L"", text), 0);
}

TEST(ReadTextFile, KeepsNulCharacters) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_bytes(s.file(L"zero.ini"), bytes{0xFF, 0xFE, 'a', 0, 0, 0, 'b', 0}));
    std::wstring text;
    ASSERT_EQ(read_text_file(s.file(L"zero.ini"), text), 1);
    EXPECT_EQ(text, std::wstring(L"a\0b", 3));
}

TEST(ReadTextFile, WaitsForAFileHeldByAnotherHandle) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"held.ini"), "[a]\r\nb=c\r\n"));
    held_file hold(s.file(L"held.ini"), 300);
    ASSERT_TRUE(hold.held());
    std::wstring text;
    EXPECT_EQ(read_text_file(s.file(L"held.ini"), text), 1);
    EXPECT_EQ(text, L"[a]\r\nb=c\r\n");
}

TEST(SaveBytes, UnicodeAnsiAndFallback) {
    EXPECT_EQ(text_save_bytes(L"A\u3042", true, 932), (bytes{0x41, 0x00, 0x42, 0x30}));
    EXPECT_EQ(text_save_bytes(L"A\u3042", false, 932), (bytes{0x41, 0x82, 0xA0}));
    // A character without a Shift_JIS form: the whole text goes out as UTF-16LE.
    EXPECT_EQ(text_save_bytes(L"\u00E9", false, 932), (bytes{0xFF, 0xFE, 0xE9, 0x00}));
    // On a system whose ANSI code page is 1252 a non-Unicode save is UTF-16LE.
    EXPECT_EQ(text_save_bytes(L"abc", false, 1252), (bytes{0xFF, 0xFE, 'a', 0, 'b', 0, 'c', 0}));
    EXPECT_EQ(text_save_bytes(L"", true, 932), bytes{});
}

TEST(WriteTextFile, ReplacesContent) {
    scratch_folder s;
    const std::wstring f = s.file(L"w.ini");
    ASSERT_TRUE(ts::put_text(f, "a much longer old content that must disappear"));
    EXPECT_EQ(write_text_file(f, L"k=\u3042", true), 1);
    EXPECT_EQ(ts::get_bytes(f), (bytes{0xFF, 0xFE, 'k', 0, '=', 0, 0x42, 0x30}));

    EXPECT_EQ(write_text_file(f, L"x", false), 1);
    std::wstring text;
    ASSERT_EQ(read_text_file(f, text), 1);
    EXPECT_EQ(text, L"x");
    EXPECT_EQ(ts::get_bytes(f), text_save_bytes(L"x", false, GetACP()));

    EXPECT_EQ(write_text_file(s.path() + L"new.ini", L"n", true), 1);
    EXPECT_EQ(ts::get_bytes(s.path() + L"new.ini"), (bytes{0xFF, 0xFE, 'n', 0}));
}

TEST(WriteTextFile, RefusesBadTargets) {
    scratch_folder s;
    EXPECT_EQ(write_text_file(L"", L"x", true), 0);
    EXPECT_EQ(write_text_file(s.path(), L"x", true), 0);
    EXPECT_EQ(write_text_file(s.path() + L"no\\such\\dir\\a.ini", L"x", true), 0);
    const std::wstring ro = s.file(L"ro.ini");
    ASSERT_TRUE(ts::put_text(ro, "keep"));
    ASSERT_TRUE(SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(write_text_file(ro, L"x", true), 0);
    EXPECT_EQ(ts::get_bytes(ro), ts::bytes_of("keep"));
}

TEST(WriteTextFile, WaitsForAFileHeldByAnotherHandle) {
    scratch_folder s;
    const std::wstring f = s.file(L"held.ini");
    ASSERT_TRUE(ts::put_text(f, "old"));
    {
        held_file hold(f, 300);
        ASSERT_TRUE(hold.held());
        EXPECT_EQ(write_text_file(f, L"new", true), 1);
    }
    EXPECT_EQ(ts::get_bytes(f), (bytes{0xFF, 0xFE, 'n', 0, 'e', 0, 'w', 0}));
}

TEST(Utf16Files, MarkTestAndConversion) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_bytes(s.file(L"le.ini"), bytes{0xFF, 0xFE, 'a', 0}));
    ASSERT_TRUE(ts::put_bytes(s.file(L"be.ini"), bytes{0xFE, 0xFF, 0, 'a'}));
    ASSERT_TRUE(ts::put_bytes(s.file(L"u8.ini"), bytes{0xE3, 0x81, 0x82, 0x00, 'z'}));
    ASSERT_TRUE(ts::put_text(s.file(L"empty.ini"), ""));
    ASSERT_TRUE(ts::put_text(s.file(L"one.ini"), "a"));
    EXPECT_TRUE(has_utf16_bom(s.file(L"le.ini")));
    EXPECT_TRUE(has_utf16_bom(s.file(L"be.ini")));
    EXPECT_FALSE(has_utf16_bom(s.file(L"u8.ini")));
    EXPECT_FALSE(has_utf16_bom(s.file(L"empty.ini")));
    EXPECT_FALSE(has_utf16_bom(s.file(L"one.ini")));
    EXPECT_FALSE(has_utf16_bom(s.file(L"missing.ini")));
    EXPECT_FALSE(has_utf16_bom(s.path()));
    EXPECT_FALSE(has_utf16_bom(L""));

    EXPECT_EQ(make_utf16_file(s.file(L"be.ini")), 1);
    EXPECT_EQ(ts::get_bytes(s.file(L"be.ini")), (bytes{0xFE, 0xFF, 0, 'a'}));  // left as it is
    // The whole text is kept, also after a NUL character.
    EXPECT_EQ(make_utf16_file(s.file(L"u8.ini")), 1);
    EXPECT_EQ(ts::get_bytes(s.file(L"u8.ini")), (bytes{0xFF, 0xFE, 0x42, 0x30, 0, 0, 'z', 0}));
    EXPECT_EQ(make_utf16_file(s.file(L"empty.ini")), 1);
    EXPECT_EQ(ts::get_bytes(s.file(L"empty.ini")), (bytes{0xFF, 0xFE}));
    EXPECT_EQ(make_utf16_file(s.file(L"created.ini")), 1);
    EXPECT_EQ(ts::get_bytes(s.file(L"created.ini")), (bytes{0xFF, 0xFE}));
    EXPECT_EQ(make_utf16_file(L""), 0);
    EXPECT_EQ(make_utf16_file(s.path()), 0);
}

TEST(FileSizes, WholeSizesOrNothing) {
    EXPECT_EQ(bytes_to_hold(0), 0);
    EXPECT_EQ(bytes_to_hold(12345), 12345);
    EXPECT_EQ(bytes_to_hold(-1), -1);
    EXPECT_EQ(bytes_to_hold(INT64_MAX), -1);
    // A file of 4 GiB and more is read whole or not at all, never as the low
    // 32 bits of its size.
    const int64_t big = (int64_t(1) << 32) + 5;
    const int64_t n = bytes_to_hold(big);
    EXPECT_TRUE(n == big || n == -1) << n;
}
