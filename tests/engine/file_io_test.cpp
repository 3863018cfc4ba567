// Tests of whole-file input and output and of the list file format on real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <thread>

#include "text/codepage.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/convert.h"
#include "engine/file_io.h"
#include "support/scratch.h"

using namespace quillet;
using testing_support::scratch_folder;
namespace ts = testing_support;
using bytes = std::vector<uint8_t>;
using list = std::vector<std::wstring>;

using testing_support::held_file;

namespace {

bytes cat(bytes a, const bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bytes utf32(const std::wstring& text, bool big_endian) {
    bytes out = big_endian ? bytes{0, 0, 0xFE, 0xFF} : bytes{0xFF, 0xFE, 0, 0};
    for (wchar_t c : text) {
        uint8_t u[4] = {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8), 0, 0};
        if (big_endian) out.insert(out.end(), {u[3], u[2], u[1], u[0]});
        else out.insert(out.end(), u, u + 4);
    }
    return out;
}

bytes utf16be(const std::wstring& text) {
    bytes out = {0xFE, 0xFF};
    for (wchar_t c : text) out.insert(out.end(), {static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c & 0xFF)});
    return out;
}

bool logged(const std::wstring& line) {
    return decode_text(ts::get_bytes(dump_file_path())).find(line) != std::wstring::npos;
}
}  // namespace

TEST(ReadFileBytes, WholeFile) {
    scratch_folder s;
    bytes data(70000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(ts::put_bytes(s.file(L"b.bin"), data));
    EXPECT_EQ(read_file_bytes(s.file(L"b.bin")), data);
    ASSERT_TRUE(ts::put_bytes(s.file(L"empty.bin"), {}));
    EXPECT_TRUE(read_file_bytes(s.file(L"empty.bin")).empty());
}

TEST(ReadFileBytes, RefusalsAreLoggedAndEmpty) {
    scratch_folder s;
    EXPECT_TRUE(read_file_bytes(L"").empty());
    EXPECT_TRUE(logged(L"\tCan't open rb    (error 123)\r\n"));
    EXPECT_TRUE(read_file_bytes(s.file(L"missing.bin")).empty());
    EXPECT_TRUE(logged(L"\tCan't open rb  " + s.file(L"missing.bin") + L"  (error 2)\r\n"));
    EXPECT_TRUE(read_file_bytes(s.path()).empty());
    EXPECT_TRUE(logged(L"\tCan't open rb  " + s.path() + L"  (error 5)\r\n"));
}

TEST(ReadFileBytes, WaitsForAFileHeldByAnotherHandle) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_text(s.file(L"held.txt"), "held content"));
    held_file hold(s.file(L"held.txt"), 300);
    ASSERT_TRUE(hold.held());
    EXPECT_EQ(read_file_bytes(s.file(L"held.txt")), ts::bytes_of("held content"));
}

TEST(WriteFileBytes, CreatesReplacesAndEmpties) {
    scratch_folder s;
    const std::wstring f = s.file(L"out.bin");
    EXPECT_TRUE(write_file_bytes(f, ts::bytes_of("first, longer content")));
    EXPECT_TRUE(write_file_bytes(f, ts::bytes_of("second")));
    EXPECT_EQ(ts::get_bytes(f), ts::bytes_of("second"));
    EXPECT_TRUE(write_file_bytes(f, {}));
    EXPECT_TRUE(ts::exists(f));
    EXPECT_TRUE(ts::get_bytes(f).empty());
    bytes zeros(1000, 0);
    EXPECT_TRUE(write_file_bytes(f, zeros));
    EXPECT_EQ(ts::get_bytes(f), zeros);
}

TEST(WriteFileBytes, RefusalsAreLoggedAndFalse) {
    scratch_folder s;
    EXPECT_FALSE(write_file_bytes(L"", ts::bytes_of("x")));
    EXPECT_TRUE(logged(L"\tCan't open wb    (error 123)\r\n"));
    EXPECT_FALSE(write_file_bytes(s.path() + L"no\\dir\\x.bin", ts::bytes_of("x")));
    EXPECT_TRUE(logged(L"\tCan't open wb  " + s.path() + L"no\\dir\\x.bin  (error 3)\r\n"));
    EXPECT_FALSE(write_file_bytes(path_del_sep(s.path()), ts::bytes_of("x")));
    const std::wstring ro = s.file(L"ro.txt");
    ASSERT_TRUE(ts::put_text(ro, "source"));
    ASSERT_TRUE(SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(write_file_bytes(ro, ts::bytes_of("x")));
    EXPECT_TRUE(logged(L"\tCan't open wb  " + ro + L"  (error 5)\r\n"));
    EXPECT_EQ(ts::get_bytes(ro), ts::bytes_of("source"));
}

TEST(WriteFileBytes, WaitsForAFileHeldByAnotherHandle) {
    scratch_folder s;
    const std::wstring f = s.file(L"held.bin");
    ASSERT_TRUE(ts::put_text(f, "old"));
    {
        held_file hold(f, 300);
        ASSERT_TRUE(hold.held());
        EXPECT_TRUE(write_file_bytes(f, ts::bytes_of("new data")));
    }
    EXPECT_EQ(ts::get_bytes(f), ts::bytes_of("new data"));
    EXPECT_EQ(list_folder(s.path()), (list{f}));  // no sibling left behind
}

TEST(WholeText, DecodesOrGivesEmpty) {
    scratch_folder s;
    ASSERT_TRUE(ts::put_bytes(s.file(L"t.txt"), {0x82, 0xA0, 'x'}));
    EXPECT_EQ(read_whole_text(s.file(L"t.txt")), L"\u3042x");
    EXPECT_EQ(read_whole_text(s.file(L"missing.txt")), L"");
    EXPECT_EQ(read_whole_text(L""), L"");
    EXPECT_EQ(read_whole_text(s.path()), L"");
}

TEST(ListText, BomAndLines) {
    EXPECT_EQ(lines_text({}), L"");
    EXPECT_EQ(lines_text({L"a", L"", L"b"}), L"a\r\n\r\nb\r\n");
}

TEST(ListFile, WrittenFormat) {
    scratch_folder s;
    const std::wstring f = s.file(L"_copy_.ilc");
    EXPECT_TRUE(write_list_file(f, {}));
    EXPECT_EQ(ts::get_bytes(f), (bytes{0xFF, 0xFE}));
    EXPECT_TRUE(read_list_file(f).empty());
    EXPECT_TRUE(write_list_file(f, {L"a", L"b"}));
    EXPECT_EQ(ts::get_bytes(f), (bytes{0xFF, 0xFE, 0x61, 0, 0x0D, 0, 0x0A, 0, 0x62, 0, 0x0D, 0, 0x0A, 0}));
    // Marks in front of the first entry are part of it: kept, so that the
    // list reads back as written.
    EXPECT_TRUE(write_list_file(f, {L"\xFEFF\xFEFF" L"C:\\x.txt"}));
    EXPECT_EQ(ts::get_bytes(f), cat({0xFF, 0xFE}, wide_bytes(L"\xFEFF\xFEFF" L"C:\\x.txt\r\n")));
    EXPECT_EQ(read_list_file(f), (list{L"\xFEFF\xFEFF" L"C:\\x.txt"}));
}

TEST(ListFile, RoundTrip) {
    scratch_folder s;
    const std::wstring f = s.file(L"UTF16.ilc");
    const list entries = {L"C:\\\u65E5\u672C\\a.txt", L"", L"\\\\srv\\share\\b c.txt", L"\xD83D\xDE00"};
    ASSERT_TRUE(write_list_file(f, entries));
    EXPECT_EQ(read_list_file(f), entries);
}

TEST(ListFile, ReadsEveryEncoding) {
    scratch_folder s;
    const std::wstring text = L"C:\\\u8CC7\u6599\\a.txt\r\nC:\\b.txt\r\n";
    const list want = {L"C:\\\u8CC7\u6599\\a.txt", L"C:\\b.txt"};
    const std::vector<std::pair<const wchar_t*, bytes>> forms = {
        {L"utf8bom", cat({0xEF, 0xBB, 0xBF}, wide_to_utf8(text))},
        {L"utf8", wide_to_utf8(text)},
        {L"utf16le", cat({0xFF, 0xFE}, wide_bytes(text))},
        {L"utf16be", utf16be(text)},
        {L"utf32le", utf32(text, false)},
        {L"utf32be", utf32(text, true)},
        {L"sjis", wide_to_sjis(text)},
    };
    for (const auto& form : forms) {
        const std::wstring f = s.file(std::wstring(form.first) + L".ilc");
        ASSERT_TRUE(ts::put_bytes(f, form.second));
        EXPECT_EQ(read_list_file(f), want) << form.first;
    }
}

TEST(ListFile, LineRules) {
    scratch_folder s;
    const std::wstring f = s.file(L"l.ilc");
    ASSERT_TRUE(ts::put_text(f, "a\r\nb"));
    EXPECT_EQ(read_list_file(f), (list{L"a", L"b"}));
    ASSERT_TRUE(ts::put_text(f, "a\r\n\r\n"));
    EXPECT_EQ(read_list_file(f), (list{L"a", L""}));
    ASSERT_TRUE(ts::put_text(f, "a\r\n\r\nb\r\n"));
    EXPECT_EQ(read_list_file(f), (list{L"a", L"", L"b"}));
    ASSERT_TRUE(ts::put_text(f, "a\nb\rc\r\n"));
    EXPECT_EQ(read_list_file(f), (list{L"a\nb\rc"}));
    ASSERT_TRUE(ts::put_text(f, "\"C:\\a\r\nb\"\r\n'x'\r\n\"open"));
    EXPECT_EQ(read_list_file(f), (list{L"\"C:\\a\r\nb\"", L"'x'", L"\"open"}));
    ASSERT_TRUE(ts::put_text(f, ""));
    EXPECT_TRUE(read_list_file(f).empty());
    EXPECT_TRUE(read_list_file(s.file(L"missing.ilc")).empty());
    EXPECT_TRUE(read_list_file(s.path()).empty());
}

TEST(ListFile, RandomBytesNeverCrash) {
    scratch_folder s;
    const std::wstring f = s.file(L"r.ilc");
    std::mt19937 gen(4242);
    for (int round = 0; round < 40; ++round) {
        bytes b(gen() % 200);
        for (auto& x : b) x = static_cast<uint8_t>(gen() % 7 == 0 ? '\r' : gen() % 7 == 0 ? '\n' : gen());
        ASSERT_TRUE(ts::put_bytes(f, b));
        list entries = read_list_file(f);
        // Every entry is text of the file; joined again they never exceed it.
        size_t total = 0;
        for (const auto& e : entries) total += e.size();
        EXPECT_LE(total, b.size());
    }
}

TEST(ListFile, FileWithNulIsNotCutShort) {
    scratch_folder s;
    const std::wstring f = s.file(L"z.ilc");
    ASSERT_TRUE(ts::put_bytes(f, cat({0xFF, 0xFE}, wide_bytes(std::wstring(L"a\0b\r\nc\r\n", 8)))));
    EXPECT_EQ(read_list_file(f), (list{std::wstring(L"a\0b", 3), L"c"}));
}

TEST(LongPaths, FilesAndListsPast300Characters) {
    scratch_folder s;
    std::wstring folder = s.path();
    while (folder.size() < 300) folder += std::wstring(40, L'x') + L"\\";
    ASSERT_TRUE(make_folders(folder));
    const std::wstring f = folder + L"UTF16.ilc";
    const list entries = {folder + L"caf\u00E9.txt", L"C:\\b.txt"};
    ASSERT_TRUE(write_list_file(f, entries));
    EXPECT_EQ(read_list_file(f), entries);
    ASSERT_TRUE(write_file_bytes(f, ts::bytes_of("bytes")));
    EXPECT_EQ(read_file_bytes(f), ts::bytes_of("bytes"));
    EXPECT_EQ(read_whole_text(f), L"bytes");
}
