// A main dialog created modeless from its template for each test, in a
// scratch folder that also holds the temporary folder and the recent-lists
// file, with message boxes answered by a recorder and shell launches caught.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <functional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "support/scratch.h"

namespace app_test {

// The main dialog with the update check replaced by a counter.
class test_dialog : public quillet::MainDialog {
public:
    int update_checks = 0;

protected:
    void start_update_check() override { ++update_checks; }
};

struct shown_box {
    std::wstring text;
    unsigned type;
    bool waiting;  // the wait cursor was on while the box was asked for
};

struct shell_call {
    std::wstring verb, file, params;
};

class app_window : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sends a button click of control id to the dialog; work it starts (a
    // copy run, a list read) is waited for, the window's messages handled
    // meanwhile. drop and select_recent wait the same way.
    void click(int id);
    void wait_for_run();
    // Sends WM_DROPFILES with a real HDROP holding paths.
    void drop(const std::vector<std::wstring>& paths);
    // Selects line index of the recent list as a user would (LBN_SELCHANGE).
    void select_recent(int index);
    // The window text of control id.
    std::wstring text_of(int id) const;
    // A file with these bytes, its folders created.
    std::wstring make_file(const std::wstring& relative, const std::string& bytes);
    // A folder below the scratch folder; ends with "\\".
    std::wstring make_folder(const std::wstring& relative);
    // Drops folder and then n text files src\fileI.txt holding body(I);
    // their paths, in order.
    std::vector<std::wstring> drop_folder_and_files(const std::wstring& folder, int n,
                                                    const std::function<std::string(int)>& body);
    // Writes a list file (UTF-16LE with byte-order mark, CR LF lines).
    void write_list(const std::wstring& path, const std::vector<std::wstring>& entries);
    // The text of a UTF-16LE file with byte-order mark ("" when missing).
    std::wstring read_utf16(const std::wstring& path);

    testing_support::scratch_folder scratch;
    std::wstring temp;  // the program's temporary folder for this test
    std::wstring ido;   // the recent-lists file for this test
    std::unique_ptr<test_dialog> dlg;
    std::vector<shown_box> boxes;
    std::vector<shell_call> shell_calls;

private:
    std::wstring old_tmp_, old_temp_;
    RECT saved_placement_{};
    int saved_dpi_ = 0;
};

// A drop handle as the shell builds it: DROPFILES followed by the wide paths,
// each ending in U+0000, and one more U+0000.
HGLOBAL make_hdrop(const std::vector<std::wstring>& paths);

// A subclass procedure that records every title the window is given in the
// std::vector<std::wstring> passed as its data.
LRESULT CALLBACK record_titles(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data);

// Handles every message waiting for this thread's windows.
void dispatch_pending();

// The window's rectangle in its parent's client coordinates.
RECT child_rect(HWND child);

}  // namespace app_test
