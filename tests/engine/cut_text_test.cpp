// Tests of why a text file is kept unchanged (files cut short inside a
// character among them, never converted by another reading that happens to
// be valid), and of source times of any date kept through a run.
#include <gtest/gtest.h>

#include <random>

#include "text/codepage.h"
#include "base/file_status.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/file_io.h"
#include "text/loss_report.h"
#include "engine/store.h"
#include "run_fixture.h"

using namespace quillet;
using bytes = std::vector<uint8_t>;

using CutText = run_test::fixture;

TEST(KeptReasons, NameTheFilesCase) {
    const struct {
        bytes content;
        const wchar_t* reason;
    } cases[] = {
        // UTF-8 あい and two bytes of う: not Shift_JIS 縺ゅ＞縺; "hello world, " and two bytes of こ.
        {{0xE3, 0x81, 0x82, 0xE3, 0x81, 0x84, 0xE3, 0x81}, L"ends inside a character of UTF-8 at byte offset 6\n"},
        {{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ',', ' ', 0xE3, 0x81},
         L"ends inside a character of UTF-8 at byte offset 13\n"},
        // EUC-JP 名前=値 cut inside 値 (not Shift_JIS ﾌｾﾁｰ=ﾃ), and cut after 値\r\n and one byte.
        {{0xCC, 0xBE, 0xC1, 0xB0, 0x3D, 0xC3}, L"encoding undecided between "},
        {{0xCC, 0xBE, 0xC1, 0xB0, 0x3D, 0xC3, 0xCD, 0x0D, 0x0A, 0xC0},
         L"ends inside a character of EUC-JP at byte offset 9\n"},
        // Shift_JIS あいう and a lead byte; ISO-2022-JP 日 and an escape cut after ESC $;
        // UTF-16 (by its mark) with a last odd byte.
        {{0x82, 0xA0, 0x82, 0xA2, 0x82, 0xA4, 0x82}, L"ends inside a character of Shift_JIS at byte offset 6\n"},
        {{'a', 0x1B, '$', 'B', 'F', '|', 0x1B, '$'}, L"ends inside a character of ISO-2022-JP at byte offset 6\n"},
        {{0xFF, 0xFE, 'a', 0, 'b'}, L"ends inside a character of UTF-16 at byte offset 4\n"},
        // Chinese in Big5 and Korean in EUC-KR: one reading each, not Japanese.
        {testing_support::code_page_bytes(L"繁體中文說明：設定檔案", 950),
         L"not recognised as Japanese text (closest reading: "},
        {testing_support::code_page_bytes(L"한국어 설명서를 읽어 주십시오", 949),
         L"not recognised as Japanese text (closest reading: "},
        // One kanji of EUC-JP or two half-width katakana of Shift_JIS.
        {{'(', 'I', 'A', 'N', 'A', ' ', 0xC8, 0xD6}, L"encoding undecided between "},
    };
    for (const auto& c : cases) {
        const std::wstring text = loss_report_text(L"f", conversion_loss(c.content, code_utf8), code_utf8);
        EXPECT_EQ(text.find(std::wstring(L"f: kept unchanged: ") + c.reason), 0u) << text;
        // Undecided always names two readings or more.
        const size_t between = text.find(L"between ");
        EXPECT_TRUE(between == std::wstring::npos || text.find(L" and ", between) != std::wstring::npos)
            << text;
    }
}

// Real Japanese sentences in Shift_JIS, EUC-JP and UTF-8, cut at every length,
// converted to every target: each destination is the source unchanged or its
// true text in the target, never the text of another reading.
TEST_F(CutText, CutSentencesAreConvertedRightOrKeptUnchanged) {
    const std::wstring sentences[] = {
        L"名前=値\r\n設定ファイルを読み込みます。",
        L"吾輩は猫である。名前はまだ無い。",
        L"ﾃﾞｰﾀﾍﾞｰｽの接続に失敗しました（エラー）",
        L"hello world, こんにちは世界。カタカナとひらがな",
    };
    std::mt19937 pick(26);
    struct cut_file {
        std::wstring name;
        bytes content;
        std::wstring text;  // the longest run of whole characters the bytes hold
        bool whole = false;
    };
    std::vector<cut_file> files;
    for (const std::wstring& sentence : sentences) {
        const std::wstring text = sentence.substr(pick() % 4);  // a file may start mid-sentence
        for (unsigned cp : {932u, 20932u, unsigned(CP_UTF8)}) {
            const bytes full = testing_support::code_page_bytes(text, cp);
            for (size_t n = 4; n <= std::min<size_t>(full.size(), 48); ++n) {
                cut_file f;
                f.name = std::to_wstring(files.size()) + L".txt";
                f.content.assign(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
                for (size_t k = 0; k <= text.size() && !f.whole; ++k)
                    if (testing_support::code_page_bytes(text.substr(0, k), cp) == f.content) {
                        f.text = text.substr(0, k);
                        f.whole = true;
                    }
                store().add_file(source(f.name, f.content));
                files.push_back(f);
            }
        }
    }
    store().set_folder(path_del_sep(dest_dir));
    for (int target : {code_utf8, code_utf16le, code_sjis}) {
        copy_run(target);
        size_t converted = 0, kept = 0;
        for (const cut_file& f : files) {
            const bytes written = read_file_bytes(dest_dir + f.name);
            const bytes expected = target == code_utf8   ? run_test::utf8(f.text)
                                   : target == code_sjis ? run_test::sjis(f.text)
                                                         : run_test::utf16le(f.text);
            if (written == f.content) {
                kept += f.whole && expected != f.content;
                continue;
            }
            ++converted;
            ASSERT_TRUE(f.whole) << f.name << " cut inside a character was converted";
            EXPECT_EQ(written, expected) << f.name << " to code " << target;
        }
        // Most files of whole characters are converted: keeping everything is no answer.
        EXPECT_GT(converted, 2 * kept) << "code " << target;
    }
}

TEST_F(CutText, SourcesOfAnyDateKeepTheirTimeThroughConversionAndCopy) {
    // Noon and a half second, UTC, of each date: that day in every time zone.
    const auto noon = [](int year, int month, int day) {
        SYSTEMTIME st{};
        st.wYear = static_cast<WORD>(year), st.wMonth = static_cast<WORD>(month);
        st.wDay = static_cast<WORD>(day), st.wHour = 12;
        FILETIME ft{};
        SystemTimeToFileTime(&st, &ft);
        return file_time_value(ft) + 5000000;
    };
    const auto stamp = [](const std::wstring& path, int64_t time) {
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const FILETIME ft = file_time_from(time);
        ASSERT_TRUE(h != INVALID_HANDLE_VALUE && SetFileTime(h, nullptr, nullptr, &ft));
        CloseHandle(h);
    };
    store().set_folder(path_del_sep(dest_dir));
    for (int year : {1902, 1960, 1969, 2400}) {
        // A text to convert and a binary to copy, each of that date.
        const std::wstring y = std::to_wstring(year);
        stamp(source(L"t" + y + L".txt", run_test::sjis(L"日本語の文章です。")), noon(year, 6, 1));
        stamp(source(L"b" + y + L".png", run_test::png_bytes()), noon(year, 6, 1));
        store().add_file(src_dir + L"t" + y + L".txt");
        store().add_file(src_dir + L"b" + y + L".png");
    }
    // A destination two minutes older than its source of 1960-01-01 00:00 is
    // replaced, not taken for a newer one.
    const std::wstring midnight = source(L"midnight.txt", run_test::sjis(L"新年"));
    stamp(midnight, noon(1960, 1, 1) - 5000000 - 12LL * 3600 * 10000000);
    testing_support::put_bytes(dest_dir + L"midnight.txt", run_test::sjis(L"旧年"));
    stamp(dest_dir + L"midnight.txt", file_status(midnight).write_time() - 120LL * 10000000);
    store().add_file(midnight);

    const copy_run_result run = copy_run(code_utf8);
    EXPECT_TRUE(run.not_updated.empty()) << run.reasons[0];
    EXPECT_EQ(read_file_bytes(dest_dir + L"midnight.txt"), run_test::utf8(L"新年"));
    const std::vector<std::wstring> files = store().get_files();
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(file_status(dest_dir + path_name(files[i])).write_time(), file_status(files[i]).write_time())
            << files[i];
        // The status line shows the source's own day.
        if (i < 8) {
            EXPECT_NE(run.entries[i].find(L"/06/01 "), std::wstring::npos) << run.entries[i];
        }
    }
    EXPECT_NE(run.entries[0].find(L" 1902/"), std::wstring::npos) << run.entries[0];
    EXPECT_NE(run.entries[6].find(L" 2400/"), std::wstring::npos) << run.entries[6];
    // Every destination is current now, with its source's time.
    for (const std::wstring& line : copy_run(code_utf8).entries) EXPECT_EQ(line.substr(0, 3), L"  =") << line;
}
