// Winsock's header must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools_support.h"

#include <shellapi.h>

#include <ctime>
#include <cwchar>

#include "base/main_window.h"
#include "base/report_box.h"
#include "tools/shell_launcher.h"

namespace tools_test {

namespace {

std::string status_page(const char* status, const std::string& body) {
    return std::string("HTTP/1.1 ") + status +
           "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

bool send_all(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int n = send(s, data, static_cast<int>(size < 65536 ? size : 65536), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string header_value(const std::string& request, const std::string& name) {
    size_t p = request.find("\r\n" + name + ":");
    if (p == std::string::npos) return "";
    p += name.size() + 3;
    while (p < request.size() && request[p] == ' ') ++p;
    size_t end = request.find("\r\n", p);
    return request.substr(p, end - p);
}

}  // namespace

http_server::http_server() : listener_(INVALID_SOCKET) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s, 8) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(s);
        return;
    }
    listener_ = s;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

http_server::~http_server() {
    stop_ = true;
    if (listener_ != INVALID_SOCKET) closesocket(static_cast<SOCKET>(listener_));
    if (thread_.joinable()) thread_.join();
    WSACleanup();
}

std::wstring http_server::host() const { return L"127.0.0.1:" + std::to_wstring(port_); }

void http_server::set_page(const std::string& path, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_[path] = body;
    big_pages_.erase(path);
}

void http_server::set_big_page(const std::string& path, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    big_pages_[path] = bytes;
    pages_.erase(path);
}

int http_server::requests(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = counts_.find(path);
    return it == counts_.end() ? 0 : it->second;
}

int http_server::all_requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return all_;
}

int http_server::other_connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return other_;
}

std::string http_server::last_user_agent() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return agent_;
}

void http_server::serve() {
    while (!stop_) {
        SOCKET client = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (client == INVALID_SOCKET) {
            if (stop_) break;
            Sleep(10);
            continue;
        }
        answer(client);
        shutdown(client, SD_BOTH);
        closesocket(client);
    }
}

void http_server::answer(uintptr_t raw) {
    SOCKET client = static_cast<SOCKET>(raw);
    DWORD timeout_ms = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
               sizeof timeout_ms);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
        // Anything that does not start like a GET (a TLS handshake) is dropped.
        std::string start = request.substr(0, 4);
        if (std::string("GET ").compare(0, start.size(), start) != 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++other_;
            return;
        }
    }
    if (request.compare(0, 4, "GET ") != 0) return;
    size_t end = request.find(' ', 4);
    std::string path = request.substr(4, end == std::string::npos ? std::string::npos : end - 4);
    std::string reply;
    uint64_t big = 0;
    bool is_big = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[path];
        ++all_;
        agent_ = header_value(request, "User-Agent");
        auto page = pages_.find(path);
        auto big_page = big_pages_.find(path);
        if (page != pages_.end()) {
            reply = status_page("200 OK", page->second);
        } else if (big_page != big_pages_.end()) {
            is_big = true;
            big = big_page->second;
        } else {
            reply = status_page("404 Not Found", "<html>not here</html>");
        }
    }
    if (!is_big) {
        send_all(client, reply.data(), reply.size());
        return;
    }
    std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                       std::to_string(big) + "\r\nConnection: close\r\n\r\n";
    if (!send_all(client, head.data(), head.size())) return;
    std::string chunk(65536, 'x');
    while (big > 0) {
        size_t n = big < chunk.size() ? static_cast<size_t>(big) : chunk.size();
        if (!send_all(client, chunk.data(), n)) return;  // the client stopped reading
        big -= n;
    }
}

int free_port() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 9;
    int port = 9;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (s != INVALID_SOCKET &&
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return port;
}

temp_redirect::temp_redirect(const std::wstring& folder) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(L"TMP", buffer, 32768);
    had_tmp_ = n > 0 && n < 32768;
    if (had_tmp_) old_tmp_.assign(buffer, n);
    n = GetEnvironmentVariableW(L"TEMP", buffer, 32768);
    had_temp_ = n > 0 && n < 32768;
    if (had_temp_) old_temp_.assign(buffer, n);
    CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    SetEnvironmentVariableW(L"TEMP", folder.c_str());
}

temp_redirect::~temp_redirect() {
    SetEnvironmentVariableW(L"TMP", had_tmp_ ? old_tmp_.c_str() : nullptr);
    SetEnvironmentVariableW(L"TEMP", had_temp_ ? old_temp_.c_str() : nullptr);
}

answering_window::answering_window() {
    // A message-only window: it needs no display, so the tests run the same
    // with or without one.
    window_ = CreateWindowExW(0, L"STATIC", L"tools test", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    // Every title the window is given is recorded.
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    old_proc_ = SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&record_proc));
    quillet::set_main_window(window_);
    quillet::set_report_answerer([this](const std::wstring& text, unsigned) {
        boxes_.push_back(text);
        return IDOK;
    });
}

LRESULT CALLBACK answering_window::record_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto self = reinterpret_cast<answering_window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_SETTEXT && l) self->titles_.push_back(reinterpret_cast<const wchar_t*>(l));
    return CallWindowProcW(reinterpret_cast<WNDPROC>(self->old_proc_), window, message, w, l);
}

answering_window::~answering_window() {
    quillet::set_report_answerer(nullptr);
    quillet::set_main_window(nullptr);
    if (window_) DestroyWindow(window_);
}

shell_recorder::shell_recorder(intptr_t result) {
    quillet::set_shell_execute_hook([this, result](HWND owner, const wchar_t* verb,
                                                   const wchar_t* file, const wchar_t* params,
                                                   const wchar_t* directory, int show) {
        // Batch files (of the command lookup) still run for real.
        std::wstring name = file ? file : L"";
        if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".bat") == 0)
            return reinterpret_cast<intptr_t>(
                ShellExecuteW(owner, verb, file, params, directory, show));
        calls_.push_back({owner, verb ? verb : L"", file ? file : L"", params ? params : L"",
                          verb != nullptr, file != nullptr, params != nullptr,
                          directory != nullptr, show});
        return result;
    });
}

shell_recorder::~shell_recorder() { quillet::set_shell_execute_hook(nullptr); }

std::wstring utf16_file_text(const std::wstring& path) {
    std::vector<uint8_t> bytes = testing_support::get_bytes(path);
    size_t start = (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) ? 2 : 0;
    std::wstring text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

int64_t days_ago(int days) { return static_cast<int64_t>(std::time(nullptr)) - days * 86400LL; }

}  // namespace tools_test
