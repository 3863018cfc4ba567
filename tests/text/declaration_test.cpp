// Encoding declarations in pages, XML and style sheets: what a conversion to
// each target writes in their place, and which declarations contradict the
// encoding their bytes are in.
#include <gtest/gtest.h>

#include <string>

#include "text/declaration.h"

using namespace quillet;

namespace {

// A text with "@" where its declared name stands.
struct declared_form {
    const wchar_t* what;
    const wchar_t* text;
};

const declared_form kForms[] = {
    {L"HTML5 meta", L"<!DOCTYPE html>\r\n<html><head>\r\n<meta charset=\"@\">\r\n</head><body>本文</body></html>\r\n"},
    {L"HTML5 meta unquoted", L"<html>\n<META CharSet=@ >\n<body>本文</body>\n"},
    {L"HTML4 http-equiv",
     L"<HTML><HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=@\">\r\n</HEAD>\r\n"},
    {L"XML", L"<?xml version=\"1.0\" encoding='@' standalone=\"yes\"?>\n<root>本文</root>\n"},
    {L"CSS", L"@charset \"@\";\r\nbody { font-family: \"ＭＳ ゴシック\"; }\r\n"},
};

std::wstring with_name(const std::wstring& form, const std::wstring& name) {
    std::wstring text = form;
    text.replace(text.find(L'@', 1), 1, name);
    return text;
}

std::wstring rewritten(std::wstring text, text_code target) {
    rewrite_declarations(text, target);
    return text;
}

}  // namespace

TEST(Declarations, EachFormNamesEachTargetAndNothingElseChanges) {
    const struct {
        text_code target;
        const wchar_t* name;
    } targets[] = {{8, L"UTF-8"}, {16, L"UTF-16"}, {74, L"Shift_JIS"}};
    for (const declared_form& form : kForms)
        for (const wchar_t* old_name : {L"Shift_JIS", L"EUC-JP", L"utf-8", L"windows-1252"})
            for (const auto& target : targets) {
                const std::wstring source = with_name(form.text, old_name);
                const std::wstring expected =
                    declared_name_code(old_name) == target.target ? source : with_name(form.text, target.name);
                EXPECT_EQ(rewritten(source, target.target), expected) << form.what << " " << old_name;
                EXPECT_EQ(declared_target(rewritten(source, target.target)), target.target) << form.what;
                // Copy, and codes no declaration names, change nothing.
                for (text_code code : {0, -1, 17}) EXPECT_EQ(rewritten(source, code), source);
            }
}

TEST(Declarations, XmlWrittenAsShiftJisSaysSoWhenItNamedNoEncoding) {
    const struct {
        const wchar_t* source;
        const wchar_t* as_shift_jis;
    } cases[] = {
        {L"<?xml version=\"1.0\"?>\n<a>本文</a>\n", L"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<a>本文</a>\n"},
        {L"<root>本文</root>\r\n", L"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<root>本文</root>\r\n"},
        {L"<!-- note -->\n<!DOCTYPE feed>\n<feed/>\n",
         L"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!-- note -->\n<!DOCTYPE feed>\n<feed/>\n"},
        {L"<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>",
         L"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>"},
        // Not XML documents: pages, fragments, scripts, plain text.
        {L"<html><body>本文</body></html>\n", nullptr},
        {L"<div>本文</div>\n", nullptr},
        {L"<?php echo 1; ?>\n<x>本文</x>\n", nullptr},
        {L"本文 <b>太字</b>\n", nullptr},
    };
    for (const auto& c : cases) {
        const std::wstring expected = c.as_shift_jis ? c.as_shift_jis : c.source;
        EXPECT_EQ(rewritten(c.source, 74), expected) << c.source;
        // UTF-8 and UTF-16 with its mark are what XML reads without a name.
        EXPECT_EQ(rewritten(c.source, 8), c.source);
        EXPECT_EQ(rewritten(c.source, 16), c.source);
    }
}

TEST(Declarations, OnlyDeclarationsWhereTheyStandAreRewritten) {
    // Text that mentions declarations, and a declaration past the head.
    const std::wstring late = L"<html>" + std::wstring(kDeclarationHeadChars, L' ') + L"<meta charset=\"Shift_JIS\">";
    for (const std::wstring& text : {
             std::wstring(L"Write <?xml version=\"1.0\" encoding=\"Shift_JIS\"?> at the top.\n"),
             std::wstring(L"html pages say charset=Shift_JIS in a meta tag\n"),
             std::wstring(L"<html><body><meta charset=\"Shift_JIS\"></body></html>"),
             std::wstring(L"<html><meta name=\"charset\" content=\"x\"></html>"),
             std::wstring(L" @charset \"Shift_JIS\";\n"), late})
        EXPECT_EQ(rewritten(text, 8), text) << text.substr(0, 60);
}

TEST(Declarations, ADeclarationThatContradictsTheBytesIsNamed) {
    const struct {
        const wchar_t* name;
        text_code detected;
        bool contradicts;
    } cases[] = {
        {L"Shift_JIS", 74, false}, {L"Shift_JIS", 51, true},  {L"Shift_JIS", 8, true},
        {L"UTF-8", 74, true},      {L"utf-8", 8, false},      {L"UTF-8", 65, false},
        {L"EUC-JP", 65, false},    {L"x-euc-jp", 74, true},   {L"UTF-16", 17, false},
        {L"UTF-16", 8, true},      {L"windows-1252", 74, false},  // a name not judged
        {L"UTF-8", 0, false},                                    // bytes not judged
    };
    for (const auto& c : cases)
        for (const declared_form& form : kForms) {
            const std::wstring text = with_name(form.text, c.name);
            EXPECT_EQ(contradicting_name(text, c.detected), c.contradicts ? c.name : L"")
                << form.what << " " << c.name << " " << c.detected;
        }
}
