// Files are tested, decoded, compared and converted in pieces: on a mixed
// corpus of real files, and on files larger than a piece, every answer is the
// one the whole-buffer rules give.
#include <gtest/gtest.h>

#include "text/piece_decoder.h"
#include "base/paths.h"
#include "engine/convert.h"
#include "engine/copy_run.h"
#include "text/detect.h"
#include "engine/entries.h"
#include "engine/entry.h"
#include "engine/run_context.h"
#include "engine/file_io.h"
#include "text/file_pieces.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::get_bytes;
using testing_support::get_mtime;
using testing_support::put_bytes;
using testing_support::set_mtime;

struct named_bytes {
    const wchar_t* name;
    std::vector<uint8_t> bytes;
    bool text;  // what the text test must say
};

std::vector<named_bytes> corpus() {
    std::vector<uint8_t> utf16_no_bom(400, 0);
    for (size_t i = 0; i < utf16_no_bom.size(); i += 2) utf16_no_bom[i] = 'a';
    std::vector<uint8_t> xml_nul = utf8(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a>");
    xml_nul.push_back(0);
    xml_nul.push_back('b');
    std::wstring big;  // of several pieces
    while (big.size() < 2 * kPieceBytes) big += L"日本語の行 ｶﾀｶﾅ ① abc\r\n";
    return {
        {L"sjis.txt", sjis(L"日本語とASCII\r\nｶﾀｶﾅ ①\r\n"), true},
        {L"bom.txt", utf8(L"BOM付き\nLF\n", true), true},
        {L"utf8.txt", utf8(L"UTF-8 本文\r\n"), true},
        {L"le.txt", utf16le(L"UTF-16LE の本文\r\n"), true},
        {L"be.txt", utf16be(L"UTF-16BE の本文\r\n"), true},
        {L"u32.txt", utf32le(L"UTF-32 の本文\r\n"), true},
        {L"ascii.txt", utf8(L"plain ascii\r\n"), true},
        {L"a.zip", zip_bytes(), false},
        {L"b.png", png_bytes(), false},
        {L"le_no_bom.txt", utf16_no_bom, false},
        {L"xml_nul.xml", xml_nul, true},
        {L"html.htm", sjis(L"<meta content=\"text/html; charset=Shift_JIS\">\r\n本文"), true},
        {L"bad_utf8.txt", {'a', 0xC3, 0xA9, 0x80, 'b'}, true},
        {L"empty.txt", {}, true},
        {L"big.txt", sjis(big), true},
    };
}

class pieces_test : public fixture {};

TEST_F(pieces_test, TextTestOfEveryKindOfFile) {
    for (const named_bytes& file : corpus()) {
        const std::wstring path = source(file.name, file.bytes);
        const text_check check = check_text_file(path);
        EXPECT_TRUE(check.readable) << file.name;
        EXPECT_EQ(check.text, file.text) << file.name;
        EXPECT_EQ(is_text_file(path), file.text) << file.name;
        if (file.text) {
            EXPECT_EQ(check.code, head_code(file.bytes)) << file.name;
        }
    }
}

// Feeds bytes to a decoder in pieces of `step` bytes.
std::wstring decode_in_pieces(text_code code, const std::vector<uint8_t>& bytes, size_t step,
                              uint64_t* invalid = nullptr) {
    auto decoder = make_piece_decoder(code);
    std::wstring out;
    for (size_t at = 0; at < bytes.size(); at += step)
        decoder->decode(bytes.data() + at, std::min(step, bytes.size() - at), false, out);
    decoder->decode(nullptr, 0, true, out);
    if (invalid) *invalid = decoder->invalid_count();
    return out;
}

TEST_F(pieces_test, DecodersCutAnywhereGiveTheWholeBuffersText) {
    struct sample {
        text_code code;
        std::vector<uint8_t> marked;  // what the whole-buffer decoder reads
        size_t mark;                  // the length of its mark, which the piece decoder never sees
        bool valid;
    };
    const std::vector<sample> samples = {
        {74, sjis(L"日本語とASCII\r\nｶﾀｶﾅ ①"), 0, true},
        {8, utf8(L"UTF-8 本文 \U0001F600 é", true), 3, true},
        {8, {0xEF, 0xBB, 0xBF, 'a', 0xC3, 0xA9, 0x80, 'b', 0xE3, 0x81}, 3, false},
        {74, {'a', 0x82, 0xA0, 0x82}, 0, false},
        {16, utf16le(L"UTF-16 の本文 \U0001F600"), 2, true},
        {17, utf16be(L"UTF-16 の本文 \U0001F600"), 2, true},
        {32, utf32le(L"UTF-32 の本文 \U0001F600"), 4, true},
        {16, {0xFF, 0xFE, 0x41, 0x00, 0x42}, 2, false},  // an odd last byte
    };
    for (const sample& s : samples) {
        const std::wstring whole = decode_text(s.marked);
        const std::vector<uint8_t> body(s.marked.begin() + static_cast<std::ptrdiff_t>(s.mark), s.marked.end());
        for (size_t step = 1; step <= body.size(); ++step) {
            uint64_t invalid = 0;
            EXPECT_EQ(decode_in_pieces(s.code, body, step, &invalid), whole) << s.code << " " << step;
            EXPECT_EQ(invalid == 0, s.valid) << s.code << " " << step;
        }
    }
}

TEST_F(pieces_test, FilesLargerThanAPieceAreTestedAndComparedWhole) {
    // A Shift_JIS text of several pieces, without a byte below 0x40 for long
    // stretches, and the same text as UTF-16 and as UTF-8.
    std::wstring text;
    while (text.size() < 3 * kPieceBytes) text += L"日本語の行ｶﾀｶﾅ①あいうえお";
    text += L"\r\nend";
    const std::wstring a = source(L"a.txt", sjis(text));
    const std::wstring b = source(L"b.txt", utf16le(text));
    const std::wstring c = source(L"c.txt", utf8(text + L"x"));
    EXPECT_TRUE(file_texts_equal(a, b));
    EXPECT_FALSE(file_texts_equal(a, c));
    // A NUL character past the first pieces makes the file binary.
    std::vector<uint8_t> late_nul(5 * kPieceBytes, 'a');
    late_nul.back() = 0;
    EXPECT_FALSE(is_text_file(source(L"late_nul.txt", late_nul)));
}

// A declaration counts in the file's head (its first 64 K characters) only:
// a binary whose bytes name "xml" further on is judged by its NUL characters.
TEST_F(pieces_test, DeclarationsCountOnlyInTheHeadOfAFile) {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const auto with_decl_at = [&](std::vector<uint8_t> bytes, size_t at) {
        std::copy(decl.begin(), decl.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    // Bytes that keep ASCII as it is: a NUL at the start, the declaration later.
    std::vector<uint8_t> binary(3 * kPieceBytes, 'b');
    binary[1] = 0;
    EXPECT_TRUE(is_text_file(source(L"near.bin", with_decl_at(binary, 60000))));
    EXPECT_FALSE(is_text_file(source(L"just_past.bin", with_decl_at(binary, 64 * 1024))));
    // A UTF-16 text with a NUL character, decoded to find its declaration.
    std::wstring text(kPieceBytes, L'u');
    text[1] = L'\0';
    const std::wstring wide_decl(decl.begin(), decl.end());
    EXPECT_TRUE(is_text_file(source(L"near16.txt", utf16le(text.replace(100, wide_decl.size(), wide_decl)))));
}

TEST_F(pieces_test, FileOfManyPiecesIsConvertedWholeAndFoundUpToDateAfterwards) {
    std::wstring text;
    while (text.size() < 3 * kPieceBytes) text += L"日本語の行とASCII ｶﾀｶﾅ①㈱\r\n";
    const std::wstring src = source(L"many.txt", utf8(text));
    const std::wstring dest = dest_dir + L"many.txt";
    ASSERT_TRUE(run_test::convert_one(16, src, dest_dir));
    EXPECT_EQ(get_bytes(dest), utf16le(text));
    EXPECT_EQ(get_mtime(dest), old_time);
    run_shared shared({src});
    run_context run(shared);
    EXPECT_EQ(process_entry(run, 16, src, dest).result, entry_result::up_to_date);
    ASSERT_TRUE(run_test::convert_one(74, src, dest_dir));
    EXPECT_EQ(get_bytes(dest), sjis(text));
    // An emoji in the last piece, which Shift_JIS cannot hold: the source is copied unchanged.
    const std::wstring late = source(L"late.txt", utf8(text + L"\U0001F600"));
    ASSERT_TRUE(run_test::convert_one(74, late, dest_dir));
    EXPECT_EQ(get_bytes(dest_dir + L"late.txt"), utf8(text + L"\U0001F600"));
    // A UTF-8 result longer than the head that decides its encoding, with a
    // character cut at the head's end, still reads back as the text.
    std::wstring japanese = L"abc";  // cuts a character after its second byte at the head's end
    while (japanese.size() < 2 * kHeadBytes / 3) japanese += L"日本語の行ｶﾀｶﾅ①\r\n";
    ASSERT_TRUE(run_test::convert_one(8, source(L"long.txt", sjis(japanese)), dest_dir));
    EXPECT_EQ(get_bytes(dest_dir + L"long.txt"), utf8(japanese));
}

TEST_F(pieces_test, StatusLineTakesFactsOnlyWhileTheFilesKeepTheirStatus) {
    const std::wstring src = source(L"a.txt", utf8(L"same text\r\n"));
    put_bytes(dest_dir + L"a.txt", utf16le(L"same text\r\n"));
    set_mtime(dest_dir + L"a.txt", old_time);
    const std::wstring fresh = status_line(dest_dir, src);
    EXPECT_EQ(fresh.substr(0, 18), L"  = UTF16   ASCII ");
    // Facts that say otherwise are used while the status matches...
    entry_outcome facts;
    facts.known = true;
    facts.src_mtime = facts.dest_mtime = old_time;
    facts.src_size = file_status(src).size();
    facts.dest_size = file_status(dest_dir + L"a.txt").size();
    EXPECT_EQ(status_line(dest_dir, src, &facts).substr(0, 18), L"  = -----   ----- ");
    // ...and ignored once a file has another time or size.
    facts.dest_size += 2;
    EXPECT_EQ(status_line(dest_dir, src, &facts), fresh);
    facts.dest_size -= 2;
    set_mtime(src, old_time + 1);
    EXPECT_EQ(status_line(dest_dir, src, &facts), status_line(dest_dir, src));
}

// The status line reads at most the first 8 MB of a large file and its
// destination: a difference there shows; past it, equal times mean equal texts.
TEST_F(pieces_test, StatusLineOfLargeFilesComparesTheirStartsOnly) {
    std::vector<uint8_t> text(9 << 20, 'a');
    text.back() = 'x';
    const std::wstring src = source(L"large.txt", text);
    const std::wstring dest = dest_dir + L"large.txt";
    text.back() = 'y';
    put_bytes(dest, text);
    set_mtime(dest, old_time);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 18), L"  = ASCII   ASCII ");
    set_mtime(dest, old_time - 1);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 18), L" << ASCII   ASCII ");
    text.front() = 'b';
    put_bytes(dest, text);
    set_mtime(dest, old_time);
    EXPECT_EQ(status_line(dest_dir, src).substr(0, 18), L" <= ASCII   ASCII ");
}

TEST_F(pieces_test, RunStatusLinesEqualFreshOnesAfterEveryKindOfEntry) {
    store().set_folder(path_del_sep(dest_dir));
    for (const named_bytes& file : corpus()) store().add_file(source(file.name, file.bytes));
    // The same name from another folder (the first listed holds the name),
    // a listed file that lies in the destination folder, a newer destination,
    // a missing source and a folder.
    const std::wstring other_dir = scratch.path() + L"other\\";
    CreateDirectoryW(other_dir.c_str(), nullptr);
    put_bytes(other_dir + L"sjis.txt", sjis(L"別の内容\r\n"));
    set_mtime(other_dir + L"sjis.txt", old_time);
    store().add_file(other_dir + L"sjis.txt");
    put_bytes(dest_dir + L"inside.txt", utf8(L"inside\r\n"));
    store().add_file(dest_dir + L"inside.txt");
    store().add_file(source(L"newer.txt", utf8(L"source\r\n")));
    put_bytes(dest_dir + L"newer.txt", utf8(L"edited\r\n"));
    set_mtime(dest_dir + L"newer.txt", old_time + 60);
    store().add_file(src_dir + L"missing.txt");
    store().add_file(other_dir);
    for (int code : {8, 16, 74, 0})
        for (int round = 0; round < 2; ++round) {
            const copy_run_result run = copy_run(code);
            EXPECT_TRUE(run.completed());
            EXPECT_EQ(run.entries, store().file_entries()) << code << " " << round;
        }
}

}  // namespace

TEST_F(pieces_test, ReadersOfAFileTheEntryKeepsOpenEachReadTheirOwnPlace) {
    const std::wstring path = src_dir + L"kept.txt";
    put_bytes(path, testing_support::bytes_of("0123456789"));
    open_files kept;
    kept.keep({path});
    piece_reader a(path, &kept), b(path, &kept);
    std::vector<uint8_t> piece;
    const auto read = [&](piece_reader& reader, size_t most) {
        return reader.next(piece, most) ? std::string(piece.begin(), piece.end()) : "(none)";
    };
    EXPECT_EQ(read(a, 3), "012");
    EXPECT_EQ(read(b, 5), "01234");
    EXPECT_EQ(read(a, 3), "345");
    EXPECT_EQ(read(b, 100), "56789");
    EXPECT_EQ(read(b, 100), "(none)");
    EXPECT_TRUE(b.ok());
    ASSERT_TRUE(a.rewind());
    EXPECT_EQ(read(a, 2), "01");
}
