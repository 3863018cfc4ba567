// A run that reads a Rescue backup (a restore) never has that backup replaced
// under it; the Rescue tree is told from the folders beside it.
#include "engine/rescue_guard.h"

#include <gtest/gtest.h>

#include "base/paths.h"
#include "engine/rescue.h"
#include "run_fixture.h"

namespace {

using namespace quillet;
using testing_support::bytes_of;
using testing_support::get_bytes;
using testing_support::put_text;
using testing_support::set_mtime;

class RescueGuardTest : public run_test::fixture {};

TEST_F(RescueGuardTest, TheRescueTreeIsToldFromTheFoldersBesideIt) {
    EXPECT_TRUE(in_rescue_tree(rescue_root() + L"C\\work\\a.txt"));
    EXPECT_TRUE(in_rescue_tree(rescue_root() + L"x\\..\\C\\a.txt"));
    EXPECT_FALSE(in_rescue_tree(rescue_root()));
    EXPECT_FALSE(in_rescue_tree(rescue_root() + L"..\\a.txt"));
    EXPECT_FALSE(in_rescue_tree(src_dir + L"a.txt"));
    EXPECT_FALSE(in_rescue_tree(path_del_sep(rescue_root()) + L"2\\a.txt"));
}

TEST_F(RescueGuardTest, ABackupBeingReadIsNotReplacedButTheNewBackupIsKept) {
    const std::wstring dest = dest_dir + L"a.txt";
    ASSERT_TRUE(put_text(dest, "first"));
    const std::wstring plain = path_add_sep(rescue_path(dest, false)) + L"a.txt";
    ASSERT_FALSE(rescue_copy(dest).empty());
    ASSERT_TRUE(put_text(dest, "second"));
    set_mtime(dest, run_test::old_time);
    std::wstring stamped;
    {
        rescue_guard guard({src_dir + L"other.txt", plain});
        stamped = rescue_copy(dest);
    }
    EXPECT_EQ(get_bytes(plain), bytes_of("first"));
    EXPECT_EQ(get_bytes(stamped), bytes_of("second"));
    // Without a guard the plain backup is the latest again.
    rescue_copy(dest);
    EXPECT_EQ(get_bytes(plain), bytes_of("second"));
}

}  // namespace
