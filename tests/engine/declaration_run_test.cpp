// Copy runs over a small web site: converted pages, XML and style sheets
// declare the encoding they are written in, a second run finds them current,
// and a declaration that contradicts its bytes is reported.
#include <string>
#include <vector>

#include "base/log.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/entries.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using namespace run_test;
using testing_support::exists;
using testing_support::get_bytes;
using bytes = std::vector<uint8_t>;

const std::wstring kBody = L"日本語のページです。文字化けせずに表示されることを確かめます。漢字と仮名の文章。";

// "@" stands where the declared name goes, "#" for the body text.
struct site_file {
    const wchar_t* name;
    const wchar_t* form;
};
const site_file kSite[] = {
    {L"page4.html",
     L"<HTML><HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=@\">\r\n"
     L"<TITLE>見出し</TITLE></HEAD>\r\n<BODY><P>#</P></BODY></HTML>\r\n"},
    {L"page5.html",
     L"<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"@\"><title>見出し</title></head>\n"
     L"<body><p>#</p></body></html>\n"},
    {L"data.xml", L"<?xml version=\"1.0\" encoding=\"@\"?>\r\n<data>#</data>\r\n"},
    {L"style.css", L"@charset \"@\";\r\n/* # */\r\nbody { color: black; }\r\n"},
};

std::wstring filled(const std::wstring& form, const std::wstring& name) {
    std::wstring text = form;
    text.replace(text.find(L'@', 1), 1, name);
    text.replace(text.find(L'#'), 1, kBody);
    return text;
}

// EUC-JP bytes (code page 20932).
bytes eucjp(const std::wstring& text) { return code_page_bytes(text, 20932); }

class declaration_run_test : public fixture {
protected:
    // The site's files in folder `site` of the sources, each declaring name
    // in the bytes of `encode`, listed for a run into dest\<site>.
    std::vector<std::wstring> list_site(const std::wstring& site, const std::wstring& name,
                                        bytes (*encode)(const std::wstring&)) {
        CreateDirectoryW((src_dir + site).c_str(), nullptr);
        store().clear();
        store().set_recent_path(recent_file);
        store().set_folder(dest_dir + site);
        std::vector<std::wstring> paths;
        for (const site_file& file : kSite) {
            paths.push_back(source(site + L"\\" + file.name, encode(filled(file.form, name))));
            store().add_file(paths.back());
        }
        return paths;
    }
};

bytes utf8_plain(const std::wstring& text) { return utf8(text); }
bytes utf16_marked(const std::wstring& text) { return utf16le(text); }

TEST_F(declaration_run_test, ConvertedSiteDeclaresItsTargetAndASecondRunWritesNothing) {
    const struct {
        int target;
        const wchar_t* source_name;
        bytes (*source_bytes)(const std::wstring&);
        const wchar_t* target_name;
        bytes (*target_bytes)(const std::wstring&);
    } runs[] = {
        {8, L"Shift_JIS", sjis, L"UTF-8", utf8_plain},
        {16, L"utf-8", utf8_plain, L"UTF-16", utf16_marked},
        {74, L"EUC-JP", eucjp, L"Shift_JIS", sjis},
    };
    for (const auto& r : runs) {
        const std::wstring site = std::to_wstring(r.target);
        const std::vector<std::wstring> sources = list_site(site, r.source_name, r.source_bytes);
        copy_run_result run = copy_run(r.target);
        EXPECT_TRUE(run.completed());
        EXPECT_TRUE(run.not_updated.empty()) << site;
        EXPECT_TRUE(run.kept.empty()) << site << (run.kept.empty() ? L"" : run.kept[0]);
        EXPECT_TRUE(run.false_declarations.empty()) << site;
        const std::wstring dest = dest_dir + site + L"\\";
        for (const site_file& file : kSite)
            EXPECT_EQ(get_bytes(dest + file.name), r.target_bytes(filled(file.form, r.target_name)))
                << site << " " << file.name;
        // Current now: nothing to change in the status lines, and a second run
        // neither writes nor backs up any of them.
        for (const std::wstring& line : run.entries) EXPECT_EQ(line.substr(0, 3), L"  =") << line;
        EXPECT_EQ(run.entries, store().file_entries());
        run = copy_run(r.target);
        EXPECT_TRUE(run.completed());
        const std::wstring rescue = rescue_folder_of(dest_dir + site + L"\\");
        for (const site_file& file : kSite) EXPECT_FALSE(exists(rescue + file.name)) << site << " " << file.name;
        for (const std::wstring& line : run.entries) EXPECT_EQ(line.substr(0, 3), L"  =") << line;
    }
}

TEST_F(declaration_run_test, AddedAndAsciiDeclarationsAreCurrentOnASecondRun) {
    // XML that named no encoding gets one when written as Shift_JIS; a style
    // sheet of ASCII bytes (detected as ASCII, not the target) is current by
    // its declaration.
    store().set_folder(path_del_sep(dest_dir));
    const std::wstring xml = L"<root>" + kBody + L"</root>\r\n";
    store().add_file(source(L"none.xml", utf8(xml)));
    store().add_file(source(L"plain.css", utf8(L"@charset \"UTF-8\";\r\nbody { color: black; }\r\n")));
    EXPECT_TRUE(copy_run(74).kept.empty());
    EXPECT_EQ(get_bytes(dest_dir + L"none.xml"),
              sjis(L"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n" + xml));
    EXPECT_EQ(get_bytes(dest_dir + L"plain.css"), sjis(L"@charset \"Shift_JIS\";\r\nbody { color: black; }\r\n"));
    const copy_run_result run = copy_run(74);
    for (const wchar_t* name : {L"none.xml", L"plain.css"})
        EXPECT_FALSE(exists(rescue_folder_of(dest_dir) + name)) << name;
    for (const std::wstring& line : run.entries) EXPECT_EQ(line.substr(0, 3), L"  =") << line;
}

TEST_F(declaration_run_test, ADeclarationItsBytesContradictIsReportedAndTheBytesDecide) {
    store().set_folder(path_del_sep(dest_dir));
    const std::wstring page = filled(kSite[1].form, L"Shift_JIS");
    const std::wstring lying = source(L"lying.html", eucjp(page));
    store().add_file(lying);
    for (int target : {8, 0}) {
        const copy_run_result run = copy_run(target);
        EXPECT_EQ(run.false_declarations,
                  std::vector<std::wstring>{lying + L": declares Shift_JIS, reads as EUC-JP"})
            << target;
        EXPECT_NE(log_line_with(L"Declared encoding differs.\t\t" + lying), L"");
        // Converted as its bytes read, and then declaring what it is written in;
        // copied unchanged with the copy target.
        EXPECT_EQ(get_bytes(dest_dir + L"lying.html"),
                  target == 8 ? utf8(filled(kSite[1].form, L"UTF-8")) : eucjp(page));
    }
}

}  // namespace
