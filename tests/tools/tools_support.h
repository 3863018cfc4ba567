// Shared helpers of the tools tests: the local HTTP server, a temporary folder of the test's own, a main window that
// answers report boxes, and a recorder of the shell requests.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/http_server.h"
#include "support/scratch.h"

namespace tools_test {

using testing_support::free_port;
using testing_support::http_server;

// Points TMP and TEMP of this process at a folder (created) and puts the old
// values back on destruction.
class temp_redirect {
public:
    explicit temp_redirect(const std::wstring& folder);
    ~temp_redirect();
    temp_redirect(const temp_redirect&) = delete;
    temp_redirect& operator=(const temp_redirect&) = delete;

private:
    std::wstring old_tmp_, old_temp_;
    bool had_tmp_ = false, had_temp_ = false;
};

// A hidden (message-only) window of this thread, whose titles are recorded.
class answering_window {
public:
    answering_window();
    ~answering_window();
    answering_window(const answering_window&) = delete;
    answering_window& operator=(const answering_window&) = delete;
    HWND window() const { return window_; }
    // Every text set as the window's title, in order.
    const std::vector<std::wstring>& titles() const { return titles_; }

private:
    static LRESULT CALLBACK record_proc(HWND window, UINT message, WPARAM w, LPARAM l);
    HWND window_ = nullptr;
    LONG_PTR old_proc_ = 0;
    std::vector<std::wstring> titles_;
};

// One request handed to the shell.
struct shell_call {
    HWND owner;
    std::wstring verb, file, params;
    bool has_verb, has_file, has_params, has_directory;
    int show;
};

// Replaces ShellExecuteW with a recorder that answers `result`, until destroyed;
// batch files are still handed to the real shell, unrecorded.
class shell_recorder {
public:
    explicit shell_recorder(intptr_t result = 42);
    ~shell_recorder();
    shell_recorder(const shell_recorder&) = delete;
    shell_recorder& operator=(const shell_recorder&) = delete;
    const std::vector<shell_call>& calls() const { return calls_; }

private:
    std::vector<shell_call> calls_;
};

// The UTF-16LE text of a file after its byte-order mark ("" when missing).
std::wstring utf16_file_text(const std::wstring& path);
// now - days * 86400 seconds.
int64_t days_ago(int days);

}  // namespace tools_test
