// Tests of files cut short inside a character (never converted by another
// reading that happens to be valid) and of source times of any date kept
// through a run.
#include <gtest/gtest.h>

#include <random>

#include "base/codepage.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/file_io.h"
#include "engine/loss_report.h"
#include "engine/store.h"
#include "run_fixture.h"

using namespace quillet;
using bytes = std::vector<uint8_t>;

using CutText = run_test::fixture;

TEST_F(CutText, FilesEndingInsideACharacterAreKeptWithTheirReason) {
    const struct {
        const wchar_t* name;
        bytes content;
        const wchar_t* reason;
    } cases[] = {
        // UTF-8 あい and two bytes of う: not Shift_JIS 縺ゅ＞縺.
        {L"u1.txt", {0xE3, 0x81, 0x82, 0xE3, 0x81, 0x84, 0xE3, 0x81},
         L"ends inside a character of UTF-8 at byte offset 6"},
        {L"u2.txt", {0xE3, 0x81, 0x82, 0xE3}, L"ends inside a character of UTF-8 at byte offset 3"},
        {L"u3.txt", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ',', ' ', 0xE3, 0x81},
         L"ends inside a character of UTF-8 at byte offset 13"},
        // EUC-JP 名前=値 cut inside 値, and cut after 値\r\n and one byte: not
        // Shift_JIS ﾌｾﾁｰ=ﾃ.
        {L"e1.txt", {0xCC, 0xBE, 0xC1, 0xB0, 0x3D, 0xC3}, L"encoding undecided between"},
        {L"e2.txt", {0xCC, 0xBE, 0xC1, 0xB0, 0x3D, 0xC3, 0xCD, 0x0D, 0x0A, 0xC0},
         L"ends inside a character of EUC-JP at byte offset 9"},
        // Shift_JIS あいう and a lead byte.
        {L"s1.txt", {0x82, 0xA0, 0x82, 0xA2, 0x82, 0xA4, 0x82},
         L"ends inside a character of Shift_JIS at byte offset 6"},
        // ISO-2022-JP 日 and an escape sequence cut after ESC $.
        {L"j1.txt", {'a', 0x1B, '$', 'B', 'F', '|', 0x1B, '$'},
         L"ends inside a character of ISO-2022-JP at byte offset 6"},
    };
    store().set_folder(path_del_sep(dest_dir));
    for (const auto& c : cases) store().add_file(source(c.name, c.content));
    const copy_run_result run = copy_run(code_utf8);
    ASSERT_EQ(run.kept.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(read_file_bytes(dest_dir + cases[i].name), cases[i].content) << cases[i].name;
        EXPECT_NE(run.kept[i].find(std::wstring(cases[i].name) + L": kept unchanged: " +
                                   cases[i].reason),
                  std::wstring::npos)
            << run.kept[i];
    }
}

TEST(KeptReasons, NameTheFilesCase) {
    const struct {
        bytes content;
        const wchar_t* reason;
    } cases[] = {
        // Chinese in Big5 and Korean in EUC-KR: one reading each, not Japanese.
        {testing_support::code_page_bytes(L"繁體中文說明：設定檔案", 950),
         L"not recognised as Japanese text (closest reading: "},
        {testing_support::code_page_bytes(L"한국어 설명서를 읽어 주십시오", 949),
         L"not recognised as Japanese text (closest reading: "},
        // Bytes no encoding reads.
        {{'a', 0x82, 0xA0, 0x80, 0xFF}, L"not valid in any encoding: first bad byte at offset 3 "},
        // UTF-16 (by its mark) with a last odd byte.
        {{0xFF, 0xFE, 'a', 0, 'b'}, L"ends inside a character of UTF-16 at byte offset 4\n"},
        // One kanji of EUC-JP or two half-width katakana of Shift_JIS.
        {{'(', 'I', 'A', 'N', 'A', ' ', 0xC8, 0xD6}, L"encoding undecided between "},
    };
    for (const auto& c : cases) {
        const std::wstring text = loss_report_text(L"f", conversion_loss(c.content, code_utf8), code_utf8);
        EXPECT_EQ(text.find(std::wstring(L"f: kept unchanged: ") + c.reason), 0u)
            << "case " << &c - cases << ": " << text;
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
    const unsigned code_pages[] = {932, 20932, CP_UTF8};
    std::mt19937 pick(26);
    struct cut_file {
        std::wstring path;
        bytes content;
        std::wstring text;  // the whole characters it holds; meaningful when whole
        bool whole = false;
    };
    std::vector<cut_file> files;
    for (const std::wstring& sentence : sentences) {
        const size_t start = pick() % 4;  // a file may start inside the sentence too
        const std::wstring text = sentence.substr(start);
        for (unsigned cp : code_pages) {
            const bytes full = testing_support::code_page_bytes(text, cp);
            ASSERT_FALSE(full.empty());
            for (size_t n = 4; n <= std::min<size_t>(full.size(), 48); ++n) {
                cut_file f;
                f.content.assign(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
                // The longest run of whole characters these bytes hold.
                for (size_t k = 0; k <= text.size(); ++k) {
                    if (testing_support::code_page_bytes(text.substr(0, k), cp) == f.content) {
                        f.text = text.substr(0, k);
                        f.whole = true;
                    }
                }
                f.path = source(std::to_wstring(files.size()) + L".txt", f.content);
                files.push_back(f);
            }
        }
    }
    store().set_folder(path_del_sep(dest_dir));
    for (const cut_file& f : files) store().add_file(f.path);
    for (int target : {code_utf8, code_utf16le, code_sjis}) {
        copy_run(target);
        size_t converted = 0, kept = 0;
        for (const cut_file& f : files) {
            const bytes written = read_file_bytes(dest_dir + path_name(f.path));
            const bytes expected = target == code_utf8   ? run_test::utf8(f.text)
                                   : target == code_sjis ? run_test::sjis(f.text)
                                                         : run_test::utf16le(f.text);
            if (written == f.content) {
                kept += f.whole && expected != f.content;
                continue;
            }
            ++converted;
            ASSERT_TRUE(f.whole) << path_name(f.path) << " cut inside a character was converted";
            EXPECT_EQ(written, expected) << path_name(f.path) << " to code " << target;
        }
        // Most files of whole characters are converted: keeping everything
        // would be no answer.
        EXPECT_GT(converted, 2 * kept) << "code " << target;
    }
}

namespace {

// A file time (100 ns since 1601) of a date at noon UTC, and half a second.
int64_t noon_of(int year, int month, int day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = 12;
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) +
           5000000;
}

bool set_write_time(const std::wstring& path, int64_t time) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME ft{static_cast<DWORD>(time), static_cast<DWORD>(static_cast<uint64_t>(time) >> 32)};
    const bool ok = h != INVALID_HANDLE_VALUE && SetFileTime(h, nullptr, nullptr, &ft);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok;
}

int64_t write_time_of(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA d{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d)) return 0;
    return static_cast<int64_t>((static_cast<uint64_t>(d.ftLastWriteTime.dwHighDateTime) << 32) |
                                d.ftLastWriteTime.dwLowDateTime);
}

}  // namespace

TEST_F(CutText, SourcesOfAnyDateKeepTheirTimeThroughConversionAndCopy) {
    const struct {
        int year;
        const wchar_t* shown;
    } dates[] = {{1902, L"1902/06/01 "}, {1960, L"1960/06/01 "}, {1969, L"1969/06/01 "},
                 {2400, L"2400/06/01 "}};
    store().set_folder(path_del_sep(dest_dir));
    for (const auto& d : dates) {
        const std::wstring y = std::to_wstring(d.year);
        // A text to convert and a binary to copy, each of that date.
        for (const std::wstring& name : {L"t" + y + L".txt", L"b" + y + L".png"}) {
            const std::wstring path =
                source(name, name[0] == L't' ? run_test::sjis(L"日本語の文章です。") : run_test::png_bytes());
            ASSERT_TRUE(set_write_time(path, noon_of(d.year, 6, 1)));
            store().add_file(path);
        }
    }
    // A destination two minutes older than its source of 1960-01-01 00:00 is
    // replaced, not taken for a newer one.
    const std::wstring midnight = source(L"midnight.txt", run_test::sjis(L"新年"));
    ASSERT_TRUE(set_write_time(midnight, noon_of(1960, 1, 1) - 5000000 - 12LL * 3600 * 10000000));
    testing_support::put_bytes(dest_dir + L"midnight.txt", run_test::sjis(L"旧年"));
    ASSERT_TRUE(set_write_time(dest_dir + L"midnight.txt", write_time_of(midnight) - 120LL * 10000000));
    store().add_file(midnight);

    const copy_run_result first = copy_run(code_utf8);
    EXPECT_TRUE(first.not_updated.empty()) << first.reasons[0];
    for (const std::wstring& src : store().get_files()) {
        const std::wstring dest = dest_dir + path_name(src);
        EXPECT_EQ(write_time_of(dest), write_time_of(src)) << path_name(src);
    }
    EXPECT_EQ(read_file_bytes(dest_dir + L"midnight.txt"), run_test::utf8(L"新年"));
    for (size_t i = 0; i < std::size(dates); ++i)
        for (size_t k = 0; k < 2; ++k)
            EXPECT_NE(first.entries[2 * i + k].find(dates[i].shown), std::wstring::npos)
                << first.entries[2 * i + k];
    // Every destination is current now, with its source's time.
    for (const std::wstring& line : copy_run(code_utf8).entries)
        EXPECT_EQ(line.substr(0, 3), L"  =") << line;
}
