// Tests of the user-agent text, piece by piece and whole.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

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
    EXPECT_EQ(agent_text(L"P", L"W", L"S", L"<pl>", L"<ts>", L"<dpi>"), L"P W S<pl><ts><dpi>");
}

namespace {

// The "ProductVersion" of a file, read here with the platform's functions.
std::wstring product_version_of(const std::wstring& file) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    std::vector<uint8_t> block(size);
    if (!size || !GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return L"";
    WORD* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translation), &length) || length < 4)
        return L"";
    wchar_t name[64];
    swprintf(name, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation[0],
             translation[1]);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(block.data(), name, reinterpret_cast<void**>(&value), &length)) return L"";
    return value;
}

}  // namespace

TEST(UserAgent, WholeTextOfThisProgram) {
    // This test program has no version resource and is named test_tools.exe;
    // the system's version comes from its own library's resource.
    wchar_t system[MAX_PATH] = L"";
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring version = product_version_of(std::wstring(system) + L"\\kernel32.dll");
    version.erase(std::remove(version.begin(), version.end(), L' '), version.end());
    std::replace(version.begin(), version.end(), L',', L'.');
    ASSERT_FALSE(version.empty());
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    // The pieces' forms are tested above; here their sources are.
    EXPECT_EQ(u_agent(), L"test_tools " + agent_windows(version) +
                             L" (test_tools.exe) UNICODE  AFXDLL  Win 400  VC 6  MSC 12 " +
                             agent_dpi(dpi));
    EXPECT_EQ(u_agent(), u_agent());  // computed once
}
