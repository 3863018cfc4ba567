// The archive text decoder and the XML declaration rule it shares with the
// copy engine's text test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/archive_text.h"
#include "text/codepage.h"
#include "text/text_file.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::bytes_of;
using testing_support::utf16le_bytes;

TEST(FirstLines, CutAtCrLfOnly) {
    EXPECT_EQ(first_lines(L"a\r\nb\nc\r\n\r\nd", 10),
              (std::vector<std::wstring>{L"a", L"b\nc", L"", L"d"}));
    EXPECT_EQ(first_lines(L"a\r\nb\r\n", 10), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(first_lines(L"a\r\nb\r\nc", 2), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_TRUE(first_lines(L"", 10).empty());
}

TEST(XmlDeclaredCode, TheThreeEncodings) {
    EXPECT_EQ(xml_declared_code(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a/>"), 8);
    EXPECT_EQ(xml_declared_code(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"), 16);
    EXPECT_EQ(xml_declared_code(L"<?xml version='1.0' encoding='Shift_JIS'?>"), 74);
    EXPECT_EQ(xml_declared_code(L"<?xml version=\"1.0\" encoding=\"EUC-JP\"?>"), 0);
    EXPECT_EQ(xml_declared_code(L"<?xml version=\"1.0\"?>"), 0);
}

TEST(XmlDeclaredCode, NoHtmlOrVrmlRule) {
    EXPECT_EQ(xml_declared_code(L"<meta content=\"text/html; charset=utf-8\">"), 0);
    EXPECT_EQ(xml_declared_code(L"#VRML V2.0 utf8"), 0);
}

TEST(XmlDeclaredCode, OnlyTheFirstTenCrLfLines) {
    std::wstring text;
    for (int i = 0; i < 10; ++i) text += L"line\r\n";
    EXPECT_EQ(xml_declared_code(text + L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 0);
    // LF alone does not end a line: here everything is the first line.
    std::wstring lf;
    for (int i = 0; i < 10; ++i) lf += L"line\n";
    EXPECT_EQ(xml_declared_code(lf + L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 8);
}

TEST(XmlDeclaredCode, FirstMatchingLineDecides) {
    EXPECT_EQ(xml_declared_code(L"<?xml encoding=\"latin1\"?>\r\n<?xml encoding=\"UTF-8\"?>"), 0);
}

TEST(DecodeArchiveText, ByteOrderMarks) {
    EXPECT_EQ(decode_archive_text({0xFF, 0xFE, 0x41, 0x00, 0x42, 0x30}), L"A\u3042");
    EXPECT_EQ(decode_archive_text({0xFE, 0xFF, 0x00, 0x41, 0x30, 0x42}), L"A\u3042");
    EXPECT_EQ(decode_archive_text({0xEF, 0xBB, 0xBF, 0xE3, 0x81, 0x82}), L"\u3042");
    // FF FE 00 00 is UTF-16LE here, not UTF-32LE.
    EXPECT_EQ(decode_archive_text({0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00}), std::wstring(L"\0A", 2));
    EXPECT_EQ(decode_archive_text({}), L"");
}

TEST(DecodeArchiveText, NulCharactersAreKept) {
    EXPECT_EQ(decode_archive_text({0xFF, 0xFE, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00}),
              std::wstring(L"A\0B", 3));
    EXPECT_EQ(decode_archive_text({0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00, 0x00, 0x42}),
              std::wstring(L"A\0B", 3));
    EXPECT_EQ(decode_archive_text({'a', 0, 'b'}), std::wstring(L"a\0b", 3));
}

TEST(DecodeArchiveText, UnicodeFlagTakesUtf16WithoutLookingForAMark) {
    EXPECT_EQ(decode_archive_text({0xFF, 0xFE, 0x41, 0x00}, true), L"\uFEFFA");
    EXPECT_EQ(decode_archive_text({0x41, 0x00, 0x42}, true), L"A");
}

TEST(DecodeArchiveText, XmlDeclaredUtf8WinsOverTheGuess) {
    // A UTF-8 file with one stray byte: the generic decoder falls back to code
    // page 932, the declaration says UTF-8.
    std::vector<uint8_t> bytes = bytes_of("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a>");
    for (uint8_t b : {0xC3, 0xA9, 0x80}) bytes.push_back(b);
    const std::vector<uint8_t> tail = bytes_of("</a>");
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    ASSERT_EQ(guess_code(bytes), 0);
    const std::wstring text = decode_archive_text(bytes);
    EXPECT_EQ(text, utf8_to_wide(bytes));
    EXPECT_NE(text, decode_text(bytes));
    EXPECT_NE(text.find(L"<a>\u00E9"), std::wstring::npos);
}

TEST(DecodeArchiveText, OtherwiseTheGenericDecoder) {
    const std::vector<uint8_t> sjis = {0x82, 0xA0, 0x82, 0xA2};  // あい
    EXPECT_EQ(decode_archive_text(sjis), L"\u3042\u3044");
    std::vector<uint8_t> declared = bytes_of("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>");
    declared.insert(declared.end(), sjis.begin(), sjis.end());
    EXPECT_EQ(decode_archive_text(declared), decode_text(declared));
    EXPECT_EQ(decode_archive_text({0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00}),
              std::wstring(L"\0A\0", 3));
}

TEST(DecodeArchiveText, TheIniReaderUsesIt) {
    testing_support::scratch_folder s;
    std::vector<uint8_t> bytes = bytes_of("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n[s]\r\nk=");
    for (uint8_t b : {0xC3, 0xA9, 0x80}) bytes.push_back(b);
    ASSERT_TRUE(testing_support::put_bytes(s.file(L"x.ini"), bytes));
    std::wstring text;
    ASSERT_EQ(read_text_file(s.file(L"x.ini"), text), 1);
    EXPECT_EQ(text, decode_archive_text(bytes));
    EXPECT_NE(text.find(L"k=\u00E9"), std::wstring::npos);
}
