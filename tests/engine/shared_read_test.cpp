// The copy run reads each source once and hands the bytes and text to the text
// test, the conversion and the status lines: each shared-data path must answer
// exactly as the path-taking one on a mixed corpus of real files.
#include <gtest/gtest.h>

#include "base/archive_text.h"
#include "base/paths.h"
#include "engine/convert.h"
#include "engine/copy_run.h"
#include "engine/detect.h"
#include "engine/entries.h"
#include "engine/file_io.h"
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
};

std::vector<named_bytes> corpus() {
    std::vector<uint8_t> utf16_no_bom(400, 0);
    for (size_t i = 0; i < utf16_no_bom.size(); i += 2) utf16_no_bom[i] = 'a';
    std::vector<uint8_t> xml_nul = utf8(L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a>");
    xml_nul.push_back(0);
    xml_nul.push_back('b');
    std::vector<uint8_t> short_text(1000, 0x41);
    short_text[10] = 0x00;
    std::vector<uint8_t> big;
    for (int i = 0; i < 60000; ++i) {
        const std::vector<uint8_t> line = sjis(L"日本語の行 ｶﾀｶﾅ ① abc\r\n");
        big.insert(big.end(), line.begin(), line.end());
    }
    return {
        {L"sjis.txt", sjis(L"日本語とASCII\r\nｶﾀｶﾅ ①\r\n")},
        {L"bom.txt", utf8(L"BOM付き\nLF\n", true)},
        {L"utf8.txt", utf8(L"UTF-8 本文\r\n")},
        {L"le.txt", utf16le(L"UTF-16LE の本文\r\n")},
        {L"be.txt", utf16be(L"UTF-16BE の本文\r\n")},
        {L"u32.txt", utf32le(L"UTF-32 の本文\r\n")},
        {L"ascii.txt", utf8(L"plain ascii\r\n")},
        {L"a.zip", zip_bytes()},
        {L"b.png", png_bytes()},
        {L"nul.txt", {'t', 'e', 'x', 't', 0, 'm', 'o', 'r', 'e'}},
        {L"le_no_bom.txt", utf16_no_bom},
        {L"xml_nul.xml", xml_nul},
        {L"html.htm", sjis(L"<meta content=\"text/html; charset=Shift_JIS\">\r\n本文")},
        {L"short.bin", short_text},
        {L"emoji.txt", utf8(L"絵文字 \U0001F600\r\n")},
        {L"bad_utf8.txt", {'a', 0xC3, 0xA9, 0x80, 'b'}},
        {L"empty.txt", {}},
        {L"big.txt", big},
    };
}

class shared_read_test : public fixture {};

TEST_F(shared_read_test, TextTestOnReadDataAnswersAsOnThePath) {
    for (const named_bytes& file : corpus()) {
        const std::wstring path = source(file.name, file.bytes);
        const std::vector<uint8_t> bytes = read_file_bytes(path);
        const std::wstring text = decode_text(bytes);
        const bool expected = is_text_file(path);
        EXPECT_EQ(is_text_data(bytes, text), expected) << file.name;
        if (!is_archive(path)) {
            EXPECT_EQ(is_text_read(bytes, text, file_status(path).size()), expected) << file.name;
        }
    }
    // Archives are told from the bytes' head as from the file's.
    EXPECT_TRUE(is_archive_head(zip_bytes()));
    EXPECT_FALSE(is_archive_head({0x50, 0x4B, 0x01, 0x02}));
    EXPECT_FALSE(is_archive_head({0x50, 0x4B, 0x03}));
}

TEST_F(shared_read_test, DeclaredEncodingOfOneTextIsThatOfTheOneLineList) {
    const std::vector<std::wstring> texts = {
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        L"<?xml encoding='Shift_JIS'?>",
        L"<?xml version=\"1.0\" encoding=\"EUC-JP\"?><meta charset=UTF-16>",
        L"xml encoding UTF-8 without an equals sign",
        L"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
        L"#VRML V2.0 utf8",
        L"#VRML V2.0 UTF8",
        L"X3D header\r\nxml encoding=utf-16",
        L"nothing declared here",
        L"",
    };
    for (const std::wstring& text : texts)
        EXPECT_EQ(declared_encoding(text), declared_code(std::vector<std::wstring>{text})) << text;
    text_code code = 5;
    EXPECT_FALSE(declaration_in_line(L"no marker", L"xml", L"encoding", code));
    EXPECT_EQ(code, code_none);
    EXPECT_TRUE(declaration_in_line(L"xml encoding=\"latin-1\"", L"xml", L"encoding", code));
    EXPECT_EQ(code, code_none);
}

TEST_F(shared_read_test, ConversionOfReadDataWritesWhatThePathTakingOneWrites) {
    const std::wstring by_path = scratch.path() + L"by_path\\";
    const std::wstring by_data = scratch.path() + L"by_data\\";
    CreateDirectoryW(by_path.c_str(), nullptr);
    CreateDirectoryW(by_data.c_str(), nullptr);
    for (int code : {8, 16, 74, 0, -1}) {
        for (const named_bytes& file : corpus()) {
            const std::wstring src = source(file.name, file.bytes);
            for (const std::wstring* folder : {&by_path, &by_data}) {
                // An older destination of other content in both folders.
                put_bytes(*folder + file.name, utf8(L"older"));
                set_mtime(*folder + file.name, old_time - 60);
            }
            // Twice: a conversion, then a destination found up to date.
            for (int round = 0; round < 2; ++round) {
                const bool expected = convert_file(code, src, by_path);
                const std::wstring dest = by_data + file.name;
                source_data data;
                data.bytes = read_file_bytes(src);
                data.text = decode_text(data.bytes);
                data.read = true;
                convert_outcome outcome;
                EXPECT_EQ(convert_read_file(code, src, dest, file_status(src), file_status(dest), false,
                                            data, &outcome),
                          expected)
                    << code << " " << file.name;
                EXPECT_EQ(get_bytes(dest), get_bytes(by_path + file.name)) << code << " " << file.name;
                EXPECT_EQ(get_mtime(dest), get_mtime(by_path + file.name)) << code << " " << file.name;
                if (!outcome.known) continue;
                // What the conversion learnt gives the status line that reading
                // the two files again gives.
                entry_facts facts;
                facts.src_mtime = outcome.src_mtime;
                facts.src_size = outcome.src_size;
                facts.dest_mtime = outcome.dest_mtime;
                facts.dest_size = outcome.dest_size;
                facts.dest_text_file = outcome.dest_text_file;
                facts.dest_code = outcome.dest_code;
                facts.src_code = detect_code(file.bytes);
                EXPECT_EQ(status_line(by_data, src, &facts), status_line(by_data, src))
                    << code << " " << file.name;
                EXPECT_EQ(outcome.dest_text_file, is_text_file(dest)) << code << " " << file.name;
                EXPECT_EQ(outcome.dest_code, detect_code(get_bytes(dest))) << code << " " << file.name;
            }
        }
    }
}

TEST_F(shared_read_test, StatusLineTakesFactsOnlyWhileTheFilesKeepTheirStatus) {
    const std::wstring src = source(L"a.txt", utf8(L"same text\r\n"));
    put_bytes(dest_dir + L"a.txt", utf16le(L"same text\r\n"));
    set_mtime(dest_dir + L"a.txt", old_time);
    const std::wstring fresh = status_line(dest_dir, src);
    EXPECT_EQ(fresh.substr(0, 18), L"  = UTF16   ASCII ");
    entry_facts facts;
    facts.src_mtime = old_time;
    facts.src_size = file_status(src).size();
    facts.dest_mtime = old_time;
    facts.dest_size = file_status(dest_dir + L"a.txt").size();
    facts.dest_text_file = true;
    facts.dest_code = 16;
    facts.src_code = 65;
    EXPECT_EQ(status_line(dest_dir, src, &facts), fresh);
    // Facts that say otherwise are used while the status matches...
    facts.dest_text_file = false;
    EXPECT_EQ(status_line(dest_dir, src, &facts).substr(0, 18), L"  = -----   ----- ");
    // ...and ignored once a file has another time or size.
    facts.dest_size += 2;
    EXPECT_EQ(status_line(dest_dir, src, &facts), fresh);
    facts.dest_size -= 2;
    set_mtime(src, old_time + 1);
    EXPECT_EQ(status_line(dest_dir, src, &facts), status_line(dest_dir, src));
    EXPECT_EQ(status_line(dest_dir, src, &facts).substr(0, 18), L"  < UTF16   ASCII ");
}

TEST_F(shared_read_test, RunStatusLinesEqualFreshOnesAfterEveryKindOfEntry) {
    store().set_folder(path_del_sep(dest_dir));
    for (const named_bytes& file : corpus()) store().add_file(source(file.name, file.bytes));
    // The same name from another folder (the later one wins the destination),
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
    for (int code : {8, 16, 74, 0}) {
        for (int round = 0; round < 2; ++round) {
            const copy_run_result run = copy_run(code);
            EXPECT_TRUE(run.completed());
            EXPECT_EQ(run.entries, store().file_entries()) << code << " " << round;
        }
    }
}

}  // namespace
