// The destination of a list entry: the destination folder plus a plain file
// name, or a refusal with its reason. (Entries that climb out of their folder
// are run on real files in the hostile paths tests.)
#include "engine/dest_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace quillet;

const std::wstring folder = L"C:\\work\\dst";

std::wstring refusal_of(const std::wstring& name) {
    return destination_of(folder, L"C:\\src\\" + name).refusal;
}

TEST(DestinationName, TrailingDotsAndSpacesAreDroppedAsTheFileSystemDoes) {
    EXPECT_EQ(destination_of(folder + L"\\", L"C:\\src\\a.txt. . ").path, L"C:\\work\\dst\\a.txt");
}

TEST(DestinationName, EmptyDotAndDotDotAreRefused) {
    for (const wchar_t* entry : {L"C:\\src/", L"", L"C:\\src\\.", L"C:\\src\\...", L"C:\\src\\ . "}) {
        EXPECT_FALSE(destination_of(folder, entry).refusal.empty()) << entry;
        EXPECT_TRUE(destination_of(folder, entry).path.empty()) << entry;
    }
}

TEST(DestinationName, DeviceNamesAreRefusedInAnyCaseAndWithAnExtension) {
    for (const wchar_t* name : {L"con.txt", L"Nul .txt", L"nul...", L"AUX", L"prn.log", L"COM1",
                                L"lpt9.txt", L"com0", L"CONIN$", L"conout$.x", L"Lpt\u00B3.dat"})
        EXPECT_EQ(refusal_of(name), L"a device name") << name;
    for (const wchar_t* name : {L"console.txt", L"COM10", L"nul_x.txt", L"lpt.txt"})
        EXPECT_TRUE(refusal_of(name).empty()) << name;
}

TEST(DestinationName, StreamsForbiddenCharactersAndOverlongNamesAreRefused) {
    EXPECT_EQ(refusal_of(L"a.txt::$DATA"), L"a stream name");
    EXPECT_EQ(destination_of(folder, L"C:a.txt").refusal, L"a stream name");
    for (const wchar_t* name : {L"a<b", L"a>b", L"a\"b", L"a|b", L"a?b", L"a*b", L"a\tb"})
        EXPECT_EQ(refusal_of(name), L"a character no file name holds") << name;
    EXPECT_EQ(refusal_of(std::wstring(256, L'n')), L"a file name too long");
    EXPECT_TRUE(refusal_of(std::wstring(255, L'n')).empty());
}

TEST(DestinationName, NamesOfTheRunsListFilesAreRefusedInAnyCase) {
    for (const wchar_t* name : {L"_Copy_.ilc", L"s_jis.ilc", L"Utf16.Ilc"})
        EXPECT_EQ(refusal_of(name), L"named like a list file of the run") << name;
    EXPECT_TRUE(refusal_of(L"utf_8.ilc.txt").empty());
    EXPECT_TRUE(refusal_of(L"mine.ilc").empty());
}

TEST(DestinationName, APathLiesDirectlyInAFolderOnlyWithASingleName) {
    EXPECT_TRUE(lies_directly_in(L"c:\\WORK\\DST\\x.txt", L"C:\\work\\dst\\"));
    EXPECT_FALSE(lies_directly_in(L"C:\\work\\dst\\sub\\x.txt", L"C:\\work\\dst"));
    EXPECT_FALSE(lies_directly_in(L"C:\\work\\dst\\..\\x.txt", L"C:\\work\\dst"));
    EXPECT_FALSE(lies_directly_in(L"C:\\work\\dstx\\x.txt", L"C:\\work\\dst"));
    EXPECT_FALSE(lies_directly_in(L"C:\\work\\dst", L"C:\\work\\dst"));
}

}  // namespace
