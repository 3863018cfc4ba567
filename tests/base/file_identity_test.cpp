// Link and identity facts on real files: hard links, symbolic links (made by
// the platform, or from the Unix side under Wine) and other spellings of a path.
#include "base/file_identity.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/links.h"
#include "support/scratch.h"

namespace {

using namespace quillet;
using testing_support::make_symlink;
using testing_support::put_text;
using testing_support::scratch_folder;

bool one_file(const std::wstring& a, const std::wstring& b) {
    return identity_of(a).same_as(identity_of(b));
}

TEST(FileIdentity, HardLinksAreOneFileWithTwoNames) {
    scratch_folder scratch;
    const std::wstring file = scratch.file(L"a.txt"), link = scratch.file(L"b.txt");
    ASSERT_TRUE(put_text(file, "one"));
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), file.c_str(), nullptr));
    EXPECT_TRUE(one_file(file, link));
    EXPECT_EQ(identity_of(link).names, 2u);
    ASSERT_TRUE(put_text(scratch.file(L"c.txt"), "one"));
    EXPECT_FALSE(one_file(file, scratch.file(L"c.txt")));
}

TEST(FileIdentity, OtherSpellingsAndSymbolicLinksLeadToTheSameFile) {
    scratch_folder scratch;
    const std::wstring file = scratch.file(L"a.txt"), folder = scratch.file(L"real");
    ASSERT_TRUE(put_text(file, "one"));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_TRUE(one_file(file, scratch.path() + L"./A.TXT"));
    EXPECT_FALSE(one_file(file, scratch.file(L"missing.txt")));
    ASSERT_TRUE(make_symlink(file, scratch.file(L"link.txt")));
    ASSERT_TRUE(make_symlink(folder, scratch.file(L"linked")));
    EXPECT_TRUE(one_file(file, scratch.file(L"link.txt")));
    EXPECT_TRUE(is_link(scratch.file(L"linked")));
    EXPECT_FALSE(is_link(folder));
    EXPECT_FALSE(is_link(file));
    // The link goes first, so that removing the scratch folder does not walk into it.
    RemoveDirectoryW(scratch.file(L"linked").c_str());
    DeleteFileW(scratch.file(L"linked").c_str());
}

}  // namespace
