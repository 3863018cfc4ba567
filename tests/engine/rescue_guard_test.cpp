// The Rescue tree is told from the folders beside it. (A run that reads a
// Rescue backup, a restore, is run on real files in the hostile paths tests.)
#include "engine/rescue_guard.h"

#include <gtest/gtest.h>

#include "base/paths.h"
#include "engine/rescue.h"
#include "run_fixture.h"

namespace {

using namespace quillet;

class RescueGuardTest : public run_test::fixture {};

TEST_F(RescueGuardTest, TheRescueTreeIsToldFromTheFoldersBesideIt) {
    EXPECT_TRUE(in_rescue_tree(rescue_root() + L"C\\work\\a.txt"));
    EXPECT_TRUE(in_rescue_tree(rescue_root() + L"x\\..\\C\\a.txt"));
    EXPECT_FALSE(in_rescue_tree(rescue_root()));
    EXPECT_FALSE(in_rescue_tree(rescue_root() + L"..\\a.txt"));
    EXPECT_FALSE(in_rescue_tree(src_dir + L"a.txt"));
    EXPECT_FALSE(in_rescue_tree(path_del_sep(rescue_root()) + L"2\\a.txt"));
}

}  // namespace
