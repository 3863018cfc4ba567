// Version information read from real files: this test program carries a
// version resource (test_version.rc) with two translations.
#include <gtest/gtest.h>
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "base/paths.h"
#include "base/version_info.h"
#include "support/scratch.h"

using namespace quillet;

namespace {
std::wstring self_path() {
    wchar_t buf[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    return std::wstring(buf, n);
}
// Collects what is written to the standard error stream while it lives.
class stderr_capture {
public:
    explicit stderr_capture(const std::wstring& file) : file_(file) {
        fflush(stderr);
        saved_ = _dup(2);
        const int fd = _wopen(file.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, 0600);
        _dup2(fd, 2);
        _close(fd);
    }
    ~stderr_capture() { restore(); }
    std::string text() {
        restore();
        const std::vector<uint8_t> bytes = testing_support::get_bytes(file_);
        return std::string(bytes.begin(), bytes.end());
    }

private:
    void restore() {
        if (saved_ < 0) return;
        fflush(stderr);
        _dup2(saved_, 2);
        _close(saved_);
        saved_ = -1;
    }
    std::wstring file_;
    int saved_ = -1;
};
}  // namespace

TEST(VersionInfo, FailuresWriteOneLineEachToStandardError) {
    testing_support::scratch_folder s;
    ASSERT_TRUE(testing_support::put_text(s.file(L"plain.txt"), "not a program"));
    std::string text;
    {
        stderr_capture capture(s.file(L"stderr.txt"));
        version_info none;
        none.set_file(s.file(L"plain.txt"));
        version_info self;
        self.set_file(self_path());
        self.query(L"NoSuchValue");
        text = capture.text();
    }
    EXPECT_EQ(text, "::GetFileVersionInfoSize ... 0\n::VerQueryValue ...   NoSuchValue\n");
}

TEST(VersionInfo, ReadsTheFirstTranslation) {
    version_info info;
    ASSERT_TRUE(info.set_file(self_path()));
    EXPECT_EQ(info.table_prefix(), L"\\StringFileInfo\\041104b0\\");
    EXPECT_EQ(info.file_description(), L"quillet base tests (Japanese table)");
    EXPECT_EQ(info.file_version(), L"3, 1, 4, 1");
    EXPECT_EQ(info.original_filename(), L"test_base.exe");
    EXPECT_EQ(info.internal_name(), L"test_base");
    EXPECT_EQ(info.legal_copyright(), L"Copyright (C) quillet test");
    EXPECT_EQ(info.company_name(), L"quillet");
    EXPECT_EQ(info.product_name(), L"quillet tests");
    EXPECT_EQ(info.product_version(), L"2, 7, 1, 8");
    EXPECT_EQ(info.comments(), L"\u65E5\u672C\u8A9E");
    EXPECT_EQ(info.query(L"FileDescription"), info.file_description());
}

TEST(VersionInfo, MissingValuesAreEmpty) {
    version_info info;
    ASSERT_TRUE(info.set_file(self_path().c_str()));
    EXPECT_EQ(info.legal_trademarks(), L"");
    EXPECT_EQ(info.private_build(), L"");
    EXPECT_EQ(info.special_build(), L"");
    EXPECT_EQ(info.query(L"NoSuchValue"), L"");
    EXPECT_EQ(info.file_version(), L"3, 1, 4, 1");  // still loaded
}

TEST(VersionInfo, FileWithoutResource) {
    testing_support::scratch_folder s;
    const std::wstring path = s.file(L"plain.txt");
    ASSERT_TRUE(testing_support::put_text(path, "not a program"));
    version_info info;
    EXPECT_FALSE(info.set_file(path));
    EXPECT_EQ(info.table_prefix(), L"");
    EXPECT_EQ(info.file_version(), L"");
    EXPECT_EQ(info.original_filename(), L"");
    EXPECT_EQ(info.product_version(), L"");
}

TEST(VersionInfo, MissingOrEmptyPath) {
    testing_support::scratch_folder s;
    version_info info;
    EXPECT_FALSE(info.set_file(s.file(L"missing.exe")));
    EXPECT_EQ(info.file_version(), L"");
    EXPECT_FALSE(info.set_file(std::wstring()));
    EXPECT_FALSE(info.set_file(static_cast<const wchar_t*>(nullptr)));
    version_info fresh;
    EXPECT_EQ(fresh.file_version(), L"");
}

TEST(VersionInfo, QueryLoadsLazily) {
    version_info info;
    EXPECT_FALSE(info.set_file(std::wstring()));
    // A later successful set_file replaces an earlier failure.
    ASSERT_TRUE(info.set_file(self_path()));
    EXPECT_EQ(info.original_filename(), L"test_base.exe");
}

TEST(VersionInfo, TheProgramsNameThemselves) {
    // The programs' own resources, when they have been built beside the tests.
    const std::wstring build = path_folder(path_folder(self_path()));
    int checked = 0;
    for (const std::wstring& name : {std::wstring(L"quillet.exe"), std::wstring(L"quillet-cli.exe")}) {
        const std::wstring program =
            build + (name == L"quillet.exe" ? L"\\app\\" : L"\\cli\\") + name;
        if (!path_exists(program, false)) continue;
        version_info info;
        if (!info.set_file(program)) continue;
        EXPECT_EQ(info.original_filename(), name);
        EXPECT_EQ(info.internal_name(), name);
        EXPECT_FALSE(info.file_version().empty());
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no program with a version resource built yet";
}
