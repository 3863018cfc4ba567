// Test entry point shared by every test program.
#include <gtest/gtest.h>

#include <windows.h>

int main(int argc, char** argv) {
    // Never let a crash open Wine's or Windows' error dialog: a test run must
    // fail, not hang.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
