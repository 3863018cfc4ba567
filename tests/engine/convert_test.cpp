// Conversion and output on real files: the bytes of every target, the
// read-back fallback, backups before replacing, kept modification times, and
// the refusals that keep data safe.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "engine/convert.h"
#include "run_fixture.h"
#include "engine/file_io.h"
#include "support/japanese_sample.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::kJapanese;
using testing_support::kJapaneseSjis;
using testing_support::kJapaneseUtf8;
using testing_support::bytes_of;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::scratch_folder;
using testing_support::set_mtime;
using testing_support::utf16le_bytes;

namespace {

using bytes = std::vector<uint8_t>;

std::wstring env_value(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
    return n ? std::wstring(buffer, n) : std::wstring();
}

bytes concat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}


constexpr int64_t kSourceTime = 1706745599;  // 2024-01-31 23:59:59 UTC
constexpr int64_t kOlderTime = 1700000000;

// Sources in src\, destinations in dest\, the temporary folder (and so the
// Rescue tree) in tmp\, all inside one scratch folder.
class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        old_tmp_ = env_value(L"TMP");
        old_temp_ = env_value(L"TEMP");
        const std::wstring tmp = scratch_.path() + L"tmp";
        CreateDirectoryW(tmp.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", tmp.c_str());
        SetEnvironmentVariableW(L"TEMP", tmp.c_str());
        CreateDirectoryW(src_dir().c_str(), nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"TMP", old_tmp_.empty() ? nullptr : old_tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", old_temp_.empty() ? nullptr : old_temp_.c_str());
    }

    std::wstring src_dir() const { return scratch_.path() + L"src"; }
    std::wstring dest_dir() const { return scratch_.path() + L"dest"; }
    std::wstring src(const std::wstring& name) const { return src_dir() + L"\\" + name; }
    std::wstring dest(const std::wstring& name) const { return dest_dir() + L"\\" + name; }
    // The Rescue mirror folder of dest\ (drive colon dropped).
    std::wstring rescue_dir() const {
        std::wstring d = dest_dir();
        d.erase(std::remove(d.begin(), d.end(), L':'), d.end());
        return scratch_.path() + L"tmp\\Rescue\\" + d;
    }

    std::wstring make_source(const std::wstring& name, const bytes& content,
                             int64_t mtime = kSourceTime) {
        const std::wstring path = src(name);
        EXPECT_TRUE(put_bytes(path, content));
        EXPECT_TRUE(set_mtime(path, mtime));
        return path;
    }
    void make_dest(const std::wstring& name, const bytes& content, int64_t mtime = kOlderTime) {
        CreateDirectoryW(dest_dir().c_str(), nullptr);
        ASSERT_TRUE(put_bytes(dest(name), content));
        ASSERT_TRUE(set_mtime(dest(name), mtime));
    }

    scratch_folder scratch_;
    std::wstring old_tmp_, old_temp_;
};

size_t file_count(const std::wstring& folder) {
    size_t n = 0;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++n;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

}  // namespace

TEST_F(ConvertTest, ShiftJisToUtf16WritesMarkAndKeepsTime) {
    const std::wstring path = make_source(L"a.txt", concat(kJapaneseSjis, bytes_of("\r\n")));
    ASSERT_TRUE(run_test::convert_one(16, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"a.txt")), utf16le_bytes(kJapanese + L"\r\n", true));
    EXPECT_EQ(get_mtime(dest(L"a.txt")), kSourceTime);
    EXPECT_EQ(get_bytes(path), concat(kJapaneseSjis, bytes_of("\r\n")));  // source untouched
}

TEST_F(ConvertTest, ShiftJisToUtf8WritesNoMark) {
    const std::wstring path = make_source(L"a.txt", kJapaneseSjis);
    ASSERT_TRUE(run_test::convert_one(8, path, dest_dir() + L"\\"));
    EXPECT_EQ(get_bytes(dest(L"a.txt")), kJapaneseUtf8);
    EXPECT_EQ(get_mtime(dest(L"a.txt")), kSourceTime);
}

TEST_F(ConvertTest, Utf8AndUtf16ToShiftJis) {
    const std::wstring u8 = make_source(L"u8.txt", concat({0xEF, 0xBB, 0xBF}, kJapaneseUtf8));
    ASSERT_TRUE(run_test::convert_one(74, u8, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"u8.txt")), kJapaneseSjis);
    const std::wstring u16 = make_source(L"u16.txt", utf16le_bytes(kJapanese, true));
    ASSERT_TRUE(run_test::convert_one(74, u16, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"u16.txt")), kJapaneseSjis);
    EXPECT_EQ(get_mtime(dest(L"u16.txt")), kSourceTime);
}

TEST_F(ConvertTest, OtherTargetsWriteUtf16WithExactlyOneMark) {
    const std::wstring path = make_source(L"m.txt", bytes{0xEF, 0xBB, 0xBF, 0x41, 0x42});
    ASSERT_TRUE(run_test::convert_one(-1, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"m.txt")), (bytes{0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00}));
    // Two marks in the source: its text starts with U+FEFF, which the single
    // mark of the output cannot hold; the read-back sees that and the source
    // is copied unchanged.
    const bytes two_marks = {0xFF, 0xFE, 0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00};
    const std::wstring marked = make_source(L"m2.txt", two_marks);
    ASSERT_TRUE(run_test::convert_one(-1, marked, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"m2.txt")), two_marks);
    const std::wstring ascii = make_source(L"n.txt", bytes_of("plain"));
    ASSERT_TRUE(run_test::convert_one(99, ascii, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"n.txt")), utf16le_bytes(L"plain", true));
}

TEST_F(ConvertTest, LatinLettersOutsideCodePage932AreCopiedUnchanged) {
    const bytes content = {'c', 'a', 'f', 0xC3, 0xA9, '\r', '\n'};  // café in UTF-8
    const std::wstring path = make_source(L"cafe.txt", content);
    ASSERT_TRUE(run_test::convert_one(74, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"cafe.txt")), content);
    EXPECT_EQ(get_mtime(dest(L"cafe.txt")), kSourceTime);
}

TEST_F(ConvertTest, LfLineEndsStayLfInEveryTarget) {
    const std::wstring path = make_source(L"lf.txt", bytes_of("one\ntwo\n"));
    ASSERT_TRUE(run_test::convert_one(16, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"lf.txt")), utf16le_bytes(L"one\ntwo\n", true));
    ASSERT_TRUE(run_test::convert_one(8, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"lf.txt")), bytes_of("one\ntwo\n"));
}

TEST_F(ConvertTest, CharactersOutsideCodePage932AreCopiedUnchanged) {
    const bytes content = concat(concat({0xEF, 0xBB, 0xBF}, kJapaneseUtf8),
                                 bytes{0xF0, 0x9F, 0x98, 0x80, 0x0D, 0x0A});  // + 😀
    const std::wstring path = make_source(L"emoji.txt", content);
    ASSERT_TRUE(run_test::convert_one(74, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"emoji.txt")), content);
    EXPECT_EQ(get_mtime(dest(L"emoji.txt")), kSourceTime);
}

TEST_F(ConvertTest, NulCharactersAreNeverCutOff) {
    // An XML file with a NUL character: every target keeps all of it, as an
    // unchanged copy.
    bytes content = bytes_of("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a>x");
    content.push_back(0);
    const bytes tail = bytes_of("tail after the NUL</a>\r\n");
    content.insert(content.end(), tail.begin(), tail.end());
    const std::wstring path = make_source(L"zero-char.xml", content);
    for (int code : {8, 16, 74}) {
        ASSERT_TRUE(run_test::convert_one(code, path, dest_dir())) << code;
        EXPECT_EQ(get_bytes(dest(L"zero-char.xml")), content) << code;
        EXPECT_EQ(get_mtime(dest(L"zero-char.xml")), kSourceTime) << code;
    }
    // The marked UTF-16 writer keeps NUL characters: that conversion is exact.
    ASSERT_TRUE(run_test::convert_one(-1, path, dest_dir()));
    EXPECT_EQ(read_whole_text(dest(L"zero-char.xml")), read_whole_text(path));
    EXPECT_EQ(get_bytes(dest(L"zero-char.xml"))[0], 0xFF);
}

TEST_F(ConvertTest, UndecodableSourceIsCopiedUnchanged) {
    // Windows-1252 "Müller café": not valid Shift_JIS, so a conversion would
    // put replacement characters where the source had letters.
    const bytes content = {'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 'c', 'a', 'f', 0xE9, '\r', '\n'};
    const std::wstring path = make_source(L"latin.txt", content);
    ASSERT_TRUE(run_test::convert_one(8, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"latin.txt")), content);
    EXPECT_EQ(get_mtime(dest(L"latin.txt")), kSourceTime);
    // A UTF-8 source with a broken sequence likewise.
    const bytes broken = {0xEF, 0xBB, 0xBF, 'a', 0xC3, 'b'};
    const std::wstring path2 = make_source(L"broken.txt", broken);
    ASSERT_TRUE(run_test::convert_one(16, path2, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"broken.txt")), broken);
    // UTF-16 with an odd last byte: that byte has no character of its own.
    const bytes odd = {0xFF, 0xFE, 0x41, 0x00, 0x42};
    const std::wstring path3 = make_source(L"odd.txt", odd);
    ASSERT_TRUE(run_test::convert_one(8, path3, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"odd.txt")), odd);
}

TEST_F(ConvertTest, ExistingDestinationIsBackedUpBeforeConversion) {
    const bytes old_content = bytes_of("old destination");
    make_dest(L"b.txt", old_content);
    const std::wstring path = make_source(L"b.txt", kJapaneseSjis);
    ASSERT_TRUE(run_test::convert_one(8, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"b.txt")), kJapaneseUtf8);
    EXPECT_EQ(get_bytes(rescue_dir() + L"\\b.txt"), old_content);
    EXPECT_EQ(file_count(rescue_dir()), 2u);  // plain and stamped
}

TEST_F(ConvertTest, SecondUtf16RunWritesNothing) {
    const std::wstring path = make_source(L"d.txt", kJapaneseSjis);
    ASSERT_TRUE(run_test::convert_one(16, path, dest_dir()));
    const bytes marked = concat(bytes{0xFF, 0xFE}, utf16le_bytes(kJapanese, false));
    ASSERT_EQ(get_bytes(dest(L"d.txt")), marked);
    ASSERT_TRUE(run_test::convert_one(16, path, dest_dir()));
    EXPECT_FALSE(exists(rescue_dir()));  // nothing to back up: nothing written
    EXPECT_EQ(get_mtime(dest(L"d.txt")), kSourceTime);
}

TEST_F(ConvertTest, SecondRunOnAnAsciiTextWritesNothing) {
    const std::wstring path = make_source(L"e.txt", bytes_of("ascii only"));
    for (int code : {8, 74}) {
        ASSERT_TRUE(run_test::convert_one(code, path, dest_dir()));
        ASSERT_TRUE(run_test::convert_one(code, path, dest_dir()));
        // Detected as 65, not the target, but the same bytes a conversion writes.
        EXPECT_FALSE(exists(rescue_dir())) << code;
        EXPECT_EQ(get_bytes(dest(L"e.txt")), bytes_of("ascii only"));
    }
}

TEST_F(ConvertTest, UnreadableSourceIsRefusedAndNothingIsWritten) {
    const bytes old_content = bytes_of("old destination");
    make_dest(L"f.txt", old_content);
    const std::wstring path = make_source(L"f.txt", kJapaneseSjis, kOlderTime + 10);
    // Held open without any sharing: every open of the source fails.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const bool ok = run_test::convert_one(8, path, dest_dir());
    CloseHandle(h);
    EXPECT_FALSE(ok);
    EXPECT_EQ(get_bytes(dest(L"f.txt")), old_content);
    EXPECT_EQ(get_mtime(dest(L"f.txt")), kOlderTime);
}

TEST_F(ConvertTest, MissingSourceIsRefused) {
    EXPECT_FALSE(run_test::convert_one(8, src(L"missing.txt"), dest_dir()));
    EXPECT_FALSE(exists(dest(L"missing.txt")));
    EXPECT_FALSE(run_test::convert_one(0, src(L"missing.txt"), dest_dir()));
}

// (Its backup in Rescue is checked in the copy run's tests.)
TEST_F(ConvertTest, SourceThatIsItsOwnDestinationIsConvertedInPlace) {
    const std::wstring path = make_source(L"g.txt", kJapaneseSjis);
    // Another spelling of the source's own folder.
    EXPECT_TRUE(run_test::convert_one(8, path, src_dir() + L"\\.\\"));
    EXPECT_EQ(get_bytes(path), kJapaneseUtf8);
    EXPECT_EQ(get_mtime(path), kSourceTime);
    EXPECT_EQ(file_count(src_dir()), 1u);  // no temporary file left beside it
    // Copying unchanged onto itself has nothing to do.
    EXPECT_TRUE(run_test::convert_one(0, path, src_dir()));
    EXPECT_EQ(get_bytes(path), kJapaneseUtf8);
}

TEST_F(ConvertTest, DestinationIsNotReplacedWithoutItsBackup) {
    const bytes old_content = bytes_of("old destination");
    make_dest(L"h.txt", old_content);
    // A plain file named Rescue leaves no room for the backup tree.
    ASSERT_TRUE(put_bytes(scratch_.path() + L"tmp\\Rescue", bytes_of("in the way")));
    const std::wstring path = make_source(L"h.txt", kJapaneseSjis);
    EXPECT_FALSE(run_test::convert_one(16, path, dest_dir()));
    EXPECT_EQ(get_bytes(dest(L"h.txt")), old_content);
    // Without an existing destination there is nothing to keep.
    const std::wstring other = make_source(L"i.txt", kJapaneseSjis);
    EXPECT_TRUE(run_test::convert_one(16, other, dest_dir()));
}

TEST_F(ConvertTest, MissingDestinationFolderIsCreated) {
    const std::wstring path = make_source(L"j.txt", bytes_of("abc"));
    ASSERT_TRUE(run_test::convert_one(0, path, dest_dir() + L"\\deeper"));
    EXPECT_EQ(get_bytes(dest_dir() + L"\\deeper\\j.txt"), bytes_of("abc"));
    ASSERT_TRUE(run_test::convert_one(16, path, dest_dir() + L"\\other\\deeper"));
    EXPECT_EQ(get_bytes(dest_dir() + L"\\other\\deeper\\j.txt"), utf16le_bytes(L"abc", true));
}
