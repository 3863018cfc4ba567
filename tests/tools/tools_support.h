// Shared helpers of the tools tests: a small HTTP server on 127.0.0.1 with an
// ephemeral port, a temporary folder of the test's own, a main window that
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

#include "support/scratch.h"

namespace tools_test {

// Serves pages from memory over plain HTTP/1.1, one connection at a time, in
// its own thread; stopped by the destructor. Unknown paths get a 404 page.
class http_server {
public:
    http_server();
    ~http_server();
    http_server(const http_server&) = delete;
    http_server& operator=(const http_server&) = delete;

    bool running() const { return port_ != 0; }
    int port() const { return port_; }
    // "127.0.0.1:port"
    std::wstring host() const;
    void set_page(const std::string& path, const std::string& body);
    // A page of `bytes` bytes of "x".
    void set_big_page(const std::string& path, uint64_t bytes);
    // GET requests seen for path.
    int requests(const std::string& path) const;
    int all_requests() const;
    // Connections whose first bytes were not an HTTP request (TLS handshakes).
    int other_connections() const;
    std::string last_user_agent() const;

private:
    void serve();
    void answer(uintptr_t client);

    uintptr_t listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    std::map<std::string, uint64_t> big_pages_;
    std::map<std::string, int> counts_;
    int all_ = 0;
    int other_ = 0;
    std::string agent_;
};

// A port of 127.0.0.1 that was free a moment ago: nothing listens there.
int free_port();

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

// A hidden (message-only) window of this thread set as the main window, so that report boxes
// are "shown"; each box's text is recorded and answered with IDOK.
class answering_window {
public:
    answering_window();
    ~answering_window();
    answering_window(const answering_window&) = delete;
    answering_window& operator=(const answering_window&) = delete;
    HWND window() const { return window_; }
    const std::vector<std::wstring>& boxes() const { return boxes_; }
    // Every text set as the window's title, in order.
    const std::vector<std::wstring>& titles() const { return titles_; }

private:
    static LRESULT CALLBACK record_proc(HWND window, UINT message, WPARAM w, LPARAM l);
    HWND window_ = nullptr;
    LONG_PTR old_proc_ = 0;
    std::vector<std::wstring> boxes_;
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
