// Winsock's header must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/http_server.h"

#include <windows.h>

namespace testing_support {

namespace {

bool send_all(SOCKET s, const char* data, size_t size) {
    while (size > 0) {
        int n = send(s, data, static_cast<int>(size < 65536 ? size : 65536), 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool send_text(SOCKET s, const std::string& text) { return send_all(s, text.data(), text.size()); }

std::string header_value(const std::string& request, const std::string& name) {
    size_t p = request.find("\r\n" + name + ":");
    if (p == std::string::npos) return "";
    p += name.size() + 3;
    while (p < request.size() && request[p] == ' ') ++p;
    size_t end = request.find("\r\n", p);
    return request.substr(p, end - p);
}

std::string head(const std::string& status, const std::string& extra, const std::string& length) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\n" + extra +
           (length.empty() ? "" : "Content-Length: " + length + "\r\n") +
           "Connection: close\r\n\r\n";
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
    set_status_page(path, "200 OK", body);
}

void http_server::set_plan(const std::string& path, const answer_plan& plan) {
    std::lock_guard<std::mutex> lock(mutex_);
    plans_[path] = plan;
}

void http_server::set_status_page(const std::string& path, const std::string& status,
                                  const std::string& body) {
    answer_plan plan;
    plan.head_status = status;
    plan.body = body;
    set_plan(path, plan);
}

void http_server::set_big_page(const std::string& path, uint64_t bytes, bool with_length) {
    answer_plan plan;
    plan.how = kind::big;
    plan.bytes = bytes;
    plan.with_length = with_length;
    set_plan(path, plan);
}

void http_server::set_stall(const std::string& path) {
    answer_plan plan;
    plan.how = kind::stall;
    set_plan(path, plan);
}

void http_server::set_trickle(const std::string& path, const std::string& body,
                              unsigned interval_ms) {
    answer_plan plan;
    plan.how = kind::trickle;
    plan.body = body;
    plan.interval_ms = interval_ms;
    set_plan(path, plan);
}

void http_server::set_redirect(const std::string& path, const std::string& location) {
    answer_plan plan;
    plan.head_status = "302 Found";
    plan.extra_headers = "Location: " + location + "\r\n";
    plan.body = "moved";
    set_plan(path, plan);
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
        answering_ = true;
        answer(client);
        shutdown(client, SD_BOTH);
        closesocket(client);
        answering_ = false;
    }
}

bool http_server::linger(uintptr_t raw, unsigned ms) {
    SOCKET client = static_cast<SOCKET>(raw);
    const ULONGLONG end = GetTickCount64() + ms;
    while (!stop_ && GetTickCount64() < end) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client, &readable);
        timeval wait{0, 20000};
        if (select(0, &readable, nullptr, nullptr, &wait) > 0) {
            char byte;
            if (recv(client, &byte, 1, 0) <= 0) return false;  // the client left
        }
    }
    return !stop_;
}

void http_server::send_big(uintptr_t raw, const answer_plan& plan) {
    SOCKET client = static_cast<SOCKET>(raw);
    if (!send_text(client, head("200 OK", "", plan.with_length ? std::to_string(plan.bytes) : "")))
        return;
    std::string chunk(65536, 'x');
    uint64_t left = plan.bytes;
    while (left > 0 && !stop_) {
        size_t n = left < chunk.size() ? static_cast<size_t>(left) : chunk.size();
        if (!send_all(client, chunk.data(), n)) return;  // the client stopped reading
        big_sent_ += n;
        left -= n;
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
    answer_plan plan;
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[path];
        ++all_;
        agent_ = header_value(request, "User-Agent");
        auto found = plans_.find(path);
        known = found != plans_.end();
        if (known) plan = found->second;
    }
    if (!known) {
        plan.head_status = "404 Not Found";
        plan.body = "<html>not here</html>";
    }
    switch (plan.how) {
    case kind::page:
        send_text(client, head(plan.head_status, plan.extra_headers, std::to_string(plan.body.size())) +
                              plan.body);
        return;
    case kind::big: send_big(client, plan); return;
    case kind::stall: linger(client, 120000); return;
    case kind::trickle:
        if (!send_text(client, head("200 OK", "", std::to_string(plan.body.size())))) return;
        for (char c : plan.body) {
            if (!send_all(client, &c, 1) || !linger(client, plan.interval_ms)) return;
        }
        return;
    }
}

int free_port() {
    // A server's port, closed again as the server goes.
    return http_server().port();
}

}  // namespace testing_support
