// Tests of the text half of the path helpers: names, folders, extensions,
// normalising, splitting, joining and the wildcard.
#include <gtest/gtest.h>

#include "base/paths.h"

using namespace quillet;
using list = std::vector<std::wstring>;

TEST(PathText, LowerCaseChangesOnlyAsciiLetters) {
    EXPECT_EQ(to_lower(L"AbC-Z_\u00C4\uFF21"), L"abc-z_\u00C4\uFF21");
    EXPECT_EQ(to_lower(L""), L"");
}

TEST(PathText, AddSeparator) {
    EXPECT_EQ(path_add_sep(L""), L"");
    EXPECT_EQ(path_add_sep(L"C:\\a"), L"C:\\a\\");
    EXPECT_EQ(path_add_sep(L"C:\\a\\"), L"C:\\a\\");
    EXPECT_EQ(path_add_sep(L"a/"), L"a/");
    EXPECT_EQ(path_add_sep(L"a", L"/"), L"a/");
}

TEST(PathText, DeleteSeparatorRemovesOneCharacter) {
    EXPECT_EQ(path_del_sep(L"C:\\\\"), L"C:\\");
    EXPECT_EQ(path_del_sep(L"a/"), L"a");
    EXPECT_EQ(path_del_sep(L"a"), L"a");
    EXPECT_EQ(path_del_sep(L""), L"");
}

TEST(PathText, NameAndFolder) {
    EXPECT_EQ(path_name(L"abc"), L"abc");
    EXPECT_EQ(path_folder(L"abc"), L"\\");
    EXPECT_EQ(path_name_ini(L"abc"), L"????????.???");
    EXPECT_EQ(path_name_ini(L"C:\\x\\abc.ini"), L"abc.ini");
    EXPECT_EQ(path_name(L"a/b\\c/d"), L"c/d");
    EXPECT_EQ(path_folder(L"a/b\\c/d"), L"a/b");
    EXPECT_EQ(path_folder(L"C:\\a.txt"), L"C:");
    EXPECT_EQ(path_name(L"C:\\dir\\"), L"");
    EXPECT_EQ(path_folder(L"x/y"), L"x");
    EXPECT_EQ(path_name(L""), L"");
}

TEST(PathText, ExtensionAndTitle) {
    EXPECT_EQ(path_ext(L"x.TXT"), L"TXT");
    EXPECT_EQ(path_ext_lower(L"x.TXT"), L"txt");
    EXPECT_EQ(path_ext(L"C:\\d.ir\\name"), L"");
    EXPECT_EQ(path_ext(L"C:\\dir\\a?.txt"), L"");
    EXPECT_EQ(path_ext(L" "), L"");
    EXPECT_EQ(path_ext(L"a.tar.gz"), L"gz");
    EXPECT_EQ(path_title(L"C:\\dir\\a.tar.gz"), L"a.tar");
    EXPECT_EQ(path_title(L"C:\\dir\\readme"), L"readme");
    EXPECT_EQ(path_title(L"C:\\DbgDump\\.txt"), L"");
    EXPECT_EQ(path_title(L"a?b"), L"");
    EXPECT_EQ(path_title(L""), L"");
}

TEST(PathText, Normalize) {
    EXPECT_EQ(path_normalize(L"C:/a//b/"), L"C:\\a\\b");
    EXPECT_EQ(path_normalize(L"\\\\srv\\share\\x"), L"\\\\srv\\share\\x");
    EXPECT_EQ(path_normalize(L"a\\"), L"a\\");
    EXPECT_EQ(path_normalize(L"C:\\"), L"C:\\");
    EXPECT_EQ(path_normalize(L"C:\\\\\\x\\\\y"), L"C:\\\\x\\y");  // index 1 survives empty
    EXPECT_EQ(path_normalize(L"C:\\x\\y", L"/"), L"C:/x/y");
    EXPECT_EQ(path_normalize(L""), L"");
}

TEST(PathText, SplitOnCharacterSet) {
    EXPECT_EQ(split_text(L"a,,b", L","), (list{L"a", L"", L"b"}));
    EXPECT_EQ(split_text(L"a,", L","), (list{L"a"}));
    EXPECT_EQ(split_text(L",", L","), (list{L""}));
    EXPECT_EQ(split_text(L"", L","), list{});
    EXPECT_EQ(split_text(L"a;b,c", L",;"), (list{L"a", L"b", L"c"}));
    EXPECT_EQ(split_text(L"abc", L""), (list{L"abc"}));
}

TEST(PathText, SplitKeepsQuotedPiecesWhole) {
    EXPECT_EQ(split_text(L"\"a,b\",c", L","), (list{L"\"a,b\"", L"c"}));
    EXPECT_EQ(split_text(L"'a,b',c", L","), (list{L"'a,b'", L"c"}));
    EXPECT_EQ(split_text(L"x,\"a,b", L","), (list{L"x", L"\"a,b"}));
    EXPECT_EQ(split_text(L"\"a\r\nb\"\r\nc", L"\r\n", true), (list{L"\"a\r\nb\"", L"c"}));
}

TEST(PathText, SplitOnWholeString) {
    EXPECT_EQ(split_text(L"a\r\nb\r\n\r\nc", L"\r\n", true), (list{L"a", L"b", L"", L"c"}));
    EXPECT_EQ(split_text(L"a\rb\nc\r\n", L"\r\n", true), (list{L"a\rb\nc"}));
    EXPECT_EQ(split_text(L"a\r\n\r\n", L"\r\n", true), (list{L"a", L""}));
}

TEST(PathText, SplitAfterQuoteNeverSwallowsText) {
    // A quoted line ended by a lone LF: the LF is not a CR LF, so nothing is
    // cut there and the following text stays whole.
    EXPECT_EQ(split_text(L"\"x\"\nbc\r\nd", L"\r\n", true), (list{L"\"x\"\nbc", L"d"}));
}

TEST(PathText, JoinAndListHelpers) {
    EXPECT_EQ(join_text(list{}, L','), L"");
    EXPECT_EQ(join_text(list{L"a", L"", L"b"}, L','), L"a,,b");
    EXPECT_EQ(join_text(list{L"a", L"b"}, L"\r\n"), L"a\r\nb");
    EXPECT_EQ(drop_empty(list{L"", L"a", L"", L"b", L""}), (list{L"a", L"b"}));
    EXPECT_EQ(sorted_unique(list{L"b", L"a", L"b", L"B", L"a"}), (list{L"B", L"a", L"b"}));
    EXPECT_EQ(reversed(list{L"1", L"2", L"3"}), (list{L"3", L"2", L"1"}));
}

TEST(PathText, Wildcards) {
    EXPECT_TRUE(match_wild(L"anything", L""));
    EXPECT_TRUE(match_wild(L"anything", L"*"));
    EXPECT_FALSE(match_wild(L"readme", L"*.*"));
    EXPECT_TRUE(match_wild(L"a.b", L"*.*"));
    EXPECT_TRUE(match_wild(L"Log1.TXT", L"log*.txt"));
    EXPECT_FALSE(match_wild(L"xlog1.txt", L"log*.txt"));
    EXPECT_FALSE(match_wild(L"log1.txt.bak", L"log*.txt"));
    EXPECT_TRUE(match_wild(L"1206_20.txt", L"*.txt"));
    EXPECT_FALSE(match_wild(L"ab", L"ab*b"));
    EXPECT_TRUE(match_wild(L"abb", L"ab*b"));
    EXPECT_TRUE(match_wild(L"a?c", L"a?c"));   // '?' is an ordinary character
    EXPECT_FALSE(match_wild(L"abc", L"a?c"));
    EXPECT_TRUE(match_wild(L"A.TXT", L"a.txt"));
    // A pattern without a star names exactly one name.
    EXPECT_FALSE(match_wild(L"a.txta.txt", L"a.txt"));
    EXPECT_TRUE(match_wild(L"abc", L"**"));
}
