// Text encoding detection on real files: archive signatures, the file head,
// declared encodings, byte-order marks and the text/binary decision.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "base/log.h"
#include "text/detect.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::bytes_of;
using testing_support::put_bytes;
using testing_support::put_text;
using testing_support::scratch_folder;
using testing_support::utf16le_bytes;

namespace {

std::wstring dump_text() {
    const std::vector<uint8_t> bytes = testing_support::get_bytes(dump_file_path());
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

}  // namespace

TEST(ReadHead, ShortFileIsPaddedWithZeros) {
    scratch_folder s;
    const std::wstring path = s.file(L"abc.txt");
    ASSERT_TRUE(put_text(path, "abc"));
    const std::vector<uint8_t> head = read_head(path, 10);
    ASSERT_EQ(head.size(), 22u);
    EXPECT_EQ(head[0], 'a');
    EXPECT_EQ(head[1], 'b');
    EXPECT_EQ(head[2], 'c');
    for (size_t i = 3; i < head.size(); ++i) EXPECT_EQ(head[i], 0) << i;
}

TEST(ReadHead, ReadsAtMostNBytes) {
    scratch_folder s;
    const std::wstring path = s.file(L"long.txt");
    ASSERT_TRUE(put_text(path, "0123456789ABCDEFGHIJ"));
    const std::vector<uint8_t> head = read_head(path, 4);
    ASSERT_EQ(head.size(), 10u);
    EXPECT_EQ(std::string(head.begin(), head.begin() + 4), "0123");
    for (size_t i = 4; i < head.size(); ++i) EXPECT_EQ(head[i], 0) << i;
}

TEST(ReadHead, MissingFileGivesEmptyHeadAndLogLine) {
    scratch_folder s;
    const std::wstring path = s.file(L"not-there.bin");
    EXPECT_TRUE(read_head(path, 10).empty());
    EXPECT_NE(dump_text().find(L"::ReadHead   Can't open   " + path), std::wstring::npos);
    EXPECT_FALSE(is_archive(path));
}

TEST(IsArchive, ZipSignaturesAreArchives) {
    scratch_folder s;
    const std::vector<std::vector<uint8_t>> zips = {
        {'P', 'K', 3, 4, 20, 0, 0, 0}, {'P', 'K', 5, 6, 0, 0}, {'P', 'K', 7, 8, 1, 2, 3, 4}};
    int n = 0;
    for (const auto& bytes : zips) {
        const std::wstring path = s.file(L"z" + std::to_wstring(n++) + L".txt");
        ASSERT_TRUE(put_bytes(path, bytes));
        EXPECT_TRUE(is_archive(path)) << n;
        EXPECT_FALSE(is_text_file(path)) << n;
    }
}

TEST(IsArchive, OtherPkStartsAreNot) {
    scratch_folder s;
    const std::wstring central = s.file(L"central.txt");
    ASSERT_TRUE(put_bytes(central, {'P', 'K', 1, 2, 'a', 'b'}));
    EXPECT_FALSE(is_archive(central));
    const std::wstring pk = s.file(L"pk.txt");
    ASSERT_TRUE(put_text(pk, "PK"));
    EXPECT_FALSE(is_archive(pk));
    EXPECT_TRUE(is_text_file(pk));
}

TEST(IsArchive, ZipNamedTxtWithRealZipContent) {
    // An empty ZIP archive: only the end-of-central-directory record.
    scratch_folder s;
    std::vector<uint8_t> zip = {'P', 'K', 5, 6};
    zip.resize(22, 0);
    const std::wstring path = s.file(L"archive.txt");
    ASSERT_TRUE(put_bytes(path, zip));
    EXPECT_TRUE(is_archive(path));
    EXPECT_FALSE(is_text_file(path));
}

// A NUL character makes a file binary unless its head declares an encoding:
// the rule's words are case-sensitive, its value is at most 20 characters
// after the "=" (or the line's start without one) and must name UTF-8,
// UTF-16 or Shift_JIS; a VRML or X3D header counts only with "utf8".
TEST(IsTextFile, OnlyARealDeclarationKeepsANulFileText) {
    const struct {
        const char* head;
        bool text;
    } cases[] = {
        {"<?xml version=\"1.0\"?>", true},  // an XML declaration, whatever it names
        {"<?XML version=\"1.0\"?>", false},
        {"<meta charset=\"utf-8\"> html", false},  // the keyword before the marker
        {"<html><meta content=\"text/html; charset=utf-8\">", true},
        {"<html><meta charset=\"windows-1252\">", false},
        {"UTF-8 html charset", true},  // no "=": the value is the line's start
        {"0123456789012345678 UTF-8 html charset", false},
        {"html charset=               UTF-8", true},   // 15 spaces: within 20 characters
        {"html charset=                UTF-8", false},  // 16 spaces: past them
        {"#VRML V2.0 utf8", true},
        {"#VRML V2.0 UTF8", false},
        {"#X3D V3.0 utf8", true},
    };
    scratch_folder s;
    int n = 0;
    for (const auto& c : cases) {
        const std::wstring path = s.file(L"f" + std::to_wstring(n++) + L".txt");
        std::vector<uint8_t> bytes = bytes_of(std::string(c.head) + "\r\nbody");
        bytes.push_back(0);
        bytes.push_back('z');
        ASSERT_TRUE(put_bytes(path, bytes));
        EXPECT_EQ(is_text_file(path), c.text) << c.head;
    }
}

TEST(DetectCode, ByteOrderMarksAndGuess) {
    EXPECT_EQ(head_code({0xFF, 0xFE, 0x41, 0x00}), 16);
    EXPECT_EQ(head_code({0xFF, 0xFE, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00}), 32);
    EXPECT_EQ(head_code({0x00, 0x00, 0xFE, 0xFF, 0x00, 0x00, 0x00, 0x41}), 33);
    EXPECT_EQ(head_code({0xEF, 0xBB, 0xBF}), 8);
    EXPECT_EQ(head_code({0xFE, 0xFF, 0x00, 0x41}), 17);
    EXPECT_EQ(head_code(bytes_of("abc")), 65);
    EXPECT_EQ(head_code({0xFF, 0xFE}), 16);  // missing bytes count as 0xFF
    EXPECT_EQ(head_code({0x82, 0xA0, 0x82, 0xA2}), 74);
    EXPECT_EQ(head_code({0xE3, 0x81, 0x82, 0x41}), 8);
    EXPECT_EQ(head_code({0x41, 0xC3, 0xA9, 0x80, 0x41}), 0);
}

TEST(IsTextFile, PlainTextsInEveryEncoding) {
    scratch_folder s;
    const std::vector<std::vector<uint8_t>> texts = {
        bytes_of("plain ascii\r\n"),
        {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0x0D, 0x0A},              // 日本語 in Shift_JIS
        {0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC, 0x0D, 0x0A},              // 日本 in UTF-8
        utf16le_bytes(L"\u65E5\u672C\r\n", true),                        // UTF-16LE with mark
        {0xFE, 0xFF, 0x65, 0xE5, 0x67, 0x2C}};                           // UTF-16BE with mark
    int n = 0;
    for (const auto& bytes : texts) {
        const std::wstring path = s.file(L"t" + std::to_wstring(n++) + L".txt");
        ASSERT_TRUE(put_bytes(path, bytes));
        EXPECT_TRUE(is_text_file(path)) << n;
    }
}

TEST(IsTextFile, EmptyFileIsText) {
    scratch_folder s;
    const std::wstring path = s.file(L"empty.txt");
    ASSERT_TRUE(put_bytes(path, {}));
    EXPECT_TRUE(is_text_file(path));
}

TEST(IsTextFile, NulCharacterMakesBinary) {
    scratch_folder s;
    const std::wstring path = s.file(L"zero-char.txt");
    ASSERT_TRUE(put_bytes(path, {'a', 'b', 'c', 0, 'd', 'e', 'f', '\r', '\n'}));
    EXPECT_FALSE(is_text_file(path));
}

TEST(IsTextFile, Utf16WithoutMarkIsBinary) {
    // ASCII letters as UTF-16LE without a mark: the zero bytes decode to NUL
    // characters, whatever the length.
    scratch_folder s;
    std::wstring letters;
    for (int i = 0; i < 200; ++i) letters.push_back(static_cast<wchar_t>(L'A' + i % 26));
    const std::wstring big = s.file(L"u16-400.txt");
    ASSERT_TRUE(put_bytes(big, utf16le_bytes(letters, false)));
    EXPECT_FALSE(is_text_file(big));
    const std::wstring small = s.file(L"u16-6.txt");
    ASSERT_TRUE(put_bytes(small, utf16le_bytes(L"ABC", false)));
    EXPECT_FALSE(is_text_file(small));
}

TEST(IsTextFile, PngIsBinary) {
    scratch_folder s;
    const std::wstring path = s.file(L"image.png");
    ASSERT_TRUE(put_bytes(path, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I',
                                 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1, 8, 6, 0, 0, 0, 0x1F,
                                 0x15, 0xC4, 0x89}));
    EXPECT_FALSE(is_archive(path));
    EXPECT_FALSE(is_text_file(path));
}

TEST(IsTextFile, DeclarationsWinOverNulCharacters) {
    scratch_folder s;
    const std::wstring xml = s.file(L"doc.xml");
    std::vector<uint8_t> bytes = bytes_of("<?xml version=\"1.0\"?>\r\n<a>x");
    bytes.push_back(0);
    bytes.push_back('y');
    ASSERT_TRUE(put_bytes(xml, bytes));
    EXPECT_TRUE(is_text_file(xml));

    const std::wstring html = s.file(L"page.htm");
    bytes = bytes_of("<meta content=\"text/html; charset=Shift_JIS\">");
    bytes.push_back(0);
    ASSERT_TRUE(put_bytes(html, bytes));
    EXPECT_TRUE(is_text_file(html));

    const std::wstring other = s.file(L"page2.htm");
    bytes = bytes_of("<meta content=\"text/html; charset=EUC-JP\">");
    bytes.push_back(0);
    ASSERT_TRUE(put_bytes(other, bytes));
    EXPECT_FALSE(is_text_file(other));
}

TEST(IsTextFile, ArchiveWinsOverDeclaration) {
    scratch_folder s;
    const std::wstring path = s.file(L"zip.xml");
    std::vector<uint8_t> bytes = {'P', 'K', 3, 4};
    const std::vector<uint8_t> decl = bytes_of("<?xml version=\"1.0\"?>");
    bytes.insert(bytes.end(), decl.begin(), decl.end());
    ASSERT_TRUE(put_bytes(path, bytes));
    EXPECT_FALSE(is_text_file(path));
}

TEST(IsTextFile, MissingFileCountsAsText) {
    scratch_folder s;
    EXPECT_TRUE(is_text_file(s.file(L"missing.txt")));
}
