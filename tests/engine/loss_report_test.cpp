// Tests of the report of what a conversion would lose, and of the copy run
// keeping such files unchanged with their reasons.
#include <gtest/gtest.h>

#include "text/codepage.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/file_io.h"
#include "text/loss_report.h"
#include "engine/store.h"
#include "run_fixture.h"

using namespace quillet;
using bytes = std::vector<uint8_t>;

TEST(LossReport, CharactersShiftJisCannotHoldAreNamedWithLineAndColumn) {
    // "a\n" U+1F600 "b" U+00E9 in UTF-8: the emoji and the é have no Shift_JIS form.
    const bytes utf8 = {'a', '\n', 0xF0, 0x9F, 0x98, 0x80, 'b', 0xC3, 0xA9, 0xE3, 0x81, 0x82};
    const loss_report r = conversion_loss(utf8, code_sjis);
    EXPECT_EQ(loss_report_text(L"C:\\a.txt", r, code_sjis),
              L"C:\\a.txt: kept unchanged: 2 character(s) that Shift_JIS cannot hold\n"
              L"  U+1F600 '\xD83D\xDE00', line 2, column 1\n"
              L"  U+00E9 '\x00E9', line 2, column 3\n");
    // UTF-8 holds them all; a copy loses nothing.
    EXPECT_EQ(conversion_loss(utf8, code_utf8).kind, loss_kind::none);
    EXPECT_EQ(conversion_loss(utf8, 0).kind, loss_kind::none);
}

TEST(LossReport, UndecodableBytesAreNamedByOffset) {
    // EUC-JP "日本" three times, a lead byte A4 followed by 'x', then "\n"
    // and a lead byte cut by the end of the file.
    const bytes euc = {0xC6, 0xFC, 0xCB, 0xDC, 0xC6, 0xFC, 0xCB, 0xDC, 0xC6, 0xFC,
                       0xCB, 0xDC, 0xA4, 'x', '\n', 0xC6};
    const loss_report r = conversion_loss(euc, code_utf8);
    EXPECT_EQ(loss_report_text(L"e.txt", r, code_utf8),
              L"e.txt: kept unchanged: not valid in any encoding: first bad byte at offset 12 "
              L"(nearest reading EUC-JP, 2 byte sequence(s) not valid)\n"
              L"  byte offset 12 (A4 78 0A C6...), line 1, column 7\n"
              L"  byte offset 15 (C6...), line 2, column 1\n");
}

using CopyRunJapanese = run_test::fixture;

TEST_F(CopyRunJapanese, MixedFolderConvertsToUtf8OrKeepsFilesWithTheirReasons) {
    // からない in each encoding, a tie between two readings, and a broken file.
    const std::vector<std::pair<std::wstring, bytes>> files = {
        {L"sjis.txt", {0x82, 0xA9, 0x82, 0xE7, 0x82, 0xC8, 0x82, 0xA2}},
        {L"euc.txt", {0xA4, 0xAB, 0xA4, 0xE9, 0xA4, 0xCA, 0xA4, 0xA4}},
        {L"jis.txt", {0x1B, '$', 'B', '$', '+', '$', 'i', '$', 'J', '$', '$', 0x1B, '(', 'B'}},
        {L"utf8.txt", {0xE3, 0x81, 0x8B, 0xE3, 0x82, 0x89, 0xE3, 0x81, 0xAA, 0xE3, 0x81, 0x84}},
        {L"tie.txt", {'(', 'I', 'A', 'N', 'A', ' ', 0xC8, 0xD6}},
        {L"broken.txt", {'a', 0x82, 0xA0, 0x80, 0xFF}},
    };
    store().set_folder(path_del_sep(dest_dir));
    for (const auto& f : files) store().add_file(source(f.first, f.second));
    const copy_run_result run = copy_run(code_utf8);
    for (const wchar_t* name : {L"sjis.txt", L"euc.txt", L"jis.txt", L"utf8.txt"})
        EXPECT_EQ(read_file_bytes(dest_dir + name), files[3].second) << name;
    // The other two are copied byte for byte, each with its reason.
    EXPECT_EQ(read_file_bytes(dest_dir + L"tie.txt"), files[4].second);
    EXPECT_EQ(read_file_bytes(dest_dir + L"broken.txt"), files[5].second);
    ASSERT_EQ(run.kept.size(), 2u);
    EXPECT_NE(run.kept[0].find(L"tie.txt: kept unchanged: encoding undecided between"), std::wstring::npos)
        << run.kept[0];
    EXPECT_NE(run.kept[0].find(L"EUC-JP"), std::wstring::npos) << run.kept[0];
    EXPECT_NE(run.kept[0].find(L"Shift_JIS"), std::wstring::npos) << run.kept[0];
    EXPECT_NE(run.kept[1].find(L"broken.txt: kept unchanged: not valid in any encoding: first bad "
                               L"byte at offset 3"),
              std::wstring::npos)
        << run.kept[1];
    // The status lines name the new encodings.
    EXPECT_NE(run.entries[1].find(L"EUCJP"), std::wstring::npos) << run.entries[1];
    EXPECT_NE(run.entries[2].find(L"JIS_7"), std::wstring::npos) << run.entries[2];
}
