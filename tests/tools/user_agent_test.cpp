// Tests of the user-agent text, piece by piece and whole.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/paths.h"
#include "base/version_info.h"
#include "engine/store.h"
#include "tools/http_fetch.h"
#include "tools/which.h"

using namespace quillet;

TEST(UserAgent, ProgramIsTheTitleOrTheFileName) {
    EXPECT_EQ(agent_program(L"quillet", L"quillet.exe"), L"quillet");
    EXPECT_EQ(agent_program(L"", L"other.exe"), L"other.exe");
}

TEST(UserAgent, WindowsPieceHasNumberAndVersion) {
    EXPECT_EQ(agent_windows(L"10.0.19041.1"), L"Windows NT 10 (10.0.19041.1)");
    EXPECT_EQ(agent_windows(L"6.1.7601.17514"), L"Windows NT 6.1 (6.1.7601.17514)");
    EXPECT_EQ(agent_windows(L"6.3"), L"Windows NT 6.3 (6.3)");
    EXPECT_EQ(agent_windows(L""), L"Windows NT 0 ()");
}

TEST(UserAgent, ShortNumberHasAtMostSixSignificantDigits) {
    EXPECT_EQ(short_number(10.0), L"10");
    EXPECT_EQ(short_number(6.0), L"6");
    EXPECT_EQ(short_number(12.5), L"12.5");
    EXPECT_EQ(short_number(3.14159265), L"3.14159");
}

TEST(UserAgent, SuffixNamesTheFileAndVersion) {
    EXPECT_EQ(agent_suffix(L"quillet", L"quillet.exe", L"1, 0, 0, 1"), L"(quillet.exe) Ver.1.0.0.1 ");
    EXPECT_EQ(agent_suffix(L"quillet", L"quillet.exe", L""), L"(quillet.exe)");
    // A title equal to the file name (other than in case) is not repeated.
    EXPECT_EQ(agent_suffix(L"QUILLET.EXE", L"quillet.exe", L"2,1"), L" Ver.2.1 ");
    EXPECT_EQ(agent_suffix(L"", L"q.exe", L""), L"");
}

TEST(UserAgent, PlatformMarks) {
    EXPECT_EQ(agent_platform(false), L" UNICODE  AFXDLL  Win 400 ");
    EXPECT_EQ(agent_platform(true), L" WOW64  UNICODE  AFXDLL  Win 400 ");
}

TEST(UserAgent, ToolsetMarks) { EXPECT_EQ(agent_toolset(), L" VC 6  MSC 12 "); }

TEST(UserAgent, ScaleOnlyWhenNotStandard) {
    EXPECT_EQ(agent_dpi(96), L"");
    EXPECT_EQ(agent_dpi(144), L"  DPI 150%");
    EXPECT_EQ(agent_dpi(120), L"  DPI 125%");
}

TEST(UserAgent, PiecesInOrder) {
    EXPECT_EQ(agent_text(L"P", L"W", L"S", L"<pl>", L"<ts>", L"<dpi>", L"U"),
              L"P W S<pl><ts><dpi> U");
}

TEST(UserAgent, WholeTextOfThisProgram) {
    const std::wstring self = module_path(nullptr);
    version_info own;
    own.set_file(self);
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    const std::wstring expected =
        agent_text(agent_program(program_title(), path_name(self)), agent_windows(windows_version()),
                   agent_suffix(program_title(), path_name(self), own.file_version()),
                   agent_platform(false), agent_toolset(), agent_dpi(dpi), user_name());
    EXPECT_EQ(u_agent(), expected);
    EXPECT_EQ(u_agent(), u_agent());  // computed once
    EXPECT_NE(u_agent().find(L" Windows NT "), std::wstring::npos);
    EXPECT_NE(u_agent().find(L"(" + path_name(self) + L")"), std::wstring::npos);
    EXPECT_EQ(u_agent().substr(u_agent().size() - user_name().size() - 1), L" " + user_name());
}
