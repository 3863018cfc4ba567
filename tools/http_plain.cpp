// Plain HTTP over sockets: every wait (name lookup aside) is a select() of at
// most 100 ms, so a request ends at its deadline or soon after a stop, however
// slowly the server answers, and closing the socket ends the transfer at once
// (no reading of a body nobody wants). The name lookup, which nothing can
// interrupt, is why it too runs on a worker thread (request_on_worker).
//
// Winsock's header must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools/http_transfer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

namespace {

// The longest head (status line and headers) taken from a server.
constexpr size_t max_head_bytes = 64 * 1024;

class winsock_user {
public:
    winsock_user() {
        WSADATA data;
        ok_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~winsock_user() {
        if (ok_) WSACleanup();
    }
    winsock_user(const winsock_user&) = delete;
    winsock_user& operator=(const winsock_user&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

class unique_socket {
public:
    explicit unique_socket(SOCKET s = INVALID_SOCKET) : s_(s) {}
    ~unique_socket() {
        if (s_ != INVALID_SOCKET) closesocket(s_);
    }
    unique_socket(const unique_socket&) = delete;
    unique_socket& operator=(const unique_socket&) = delete;
    SOCKET get() const { return s_; }
    SOCKET release() {
        SOCKET s = s_;
        s_ = INVALID_SOCKET;
        return s;
    }

private:
    SOCKET s_;
};

// Waits until s can be written (for_write) or read. False at the control's
// deadline or stop, after limit_ms, or when the socket reports an error.
bool wait_socket(SOCKET s, bool for_write, fetch_control& control, DWORD limit_ms) {
    const ULONGLONG end = GetTickCount64() + limit_ms;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (control.expired() || now >= end) return false;
        DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(end - now, 100));
        slice = std::min(slice, control.remaining_ms());
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval wait{static_cast<long>(slice / 1000), static_cast<long>((slice % 1000) * 1000)};
        int n = select(0, for_write ? nullptr : &ready, for_write ? &ready : nullptr, &failed, &wait);
        if (n < 0 || FD_ISSET(s, &failed)) return false;
        if (n > 0) return true;
    }
}

// A connected non-blocking socket to server:port, or INVALID_SOCKET.
SOCKET connect_to(const http_target& target, fetch_control& control, body_sink& sink) {
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    const std::wstring port = std::to_wstring(target.port);
    if (GetAddrInfoW(target.server.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
        sink.note(L"name not found");
        return INVALID_SOCKET;
    }
    SOCKET result = INVALID_SOCKET;
    for (ADDRINFOW* a = found; a && result == INVALID_SOCKET && !control.expired(); a = a->ai_next) {
        unique_socket s(socket(a->ai_family, a->ai_socktype, a->ai_protocol));
        if (s.get() == INVALID_SOCKET) continue;
        u_long non_blocking = 1;
        ioctlsocket(s.get(), FIONBIO, &non_blocking);
        if (connect(s.get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 &&
            WSAGetLastError() != WSAEWOULDBLOCK)
            continue;
        if (!wait_socket(s.get(), true, control, control.step_ms())) continue;
        int error = 0, size = sizeof error;
        if (getsockopt(s.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 ||
            error != 0)
            continue;
        result = s.release();
    }
    FreeAddrInfoW(found);
    if (result == INVALID_SOCKET) sink.note(L"no connection");
    return result;
}

bool send_all(SOCKET s, const std::string& data, fetch_control& control) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (!wait_socket(s, true, control, control.step_ms())) return false;
        int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
        if (n <= 0) return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads what has arrived into buffer: the count, 0 when the server closed
// the connection, -1 on a failure, the deadline or a stop.
int receive(SOCKET s, char* buffer, int size, fetch_control& control) {
    for (;;) {
        if (!wait_socket(s, false, control, control.step_ms())) return -1;
        int n = recv(s, buffer, size, 0);
        if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
        return n < 0 ? -1 : n;
    }
}

// UTF-8 bytes of text with every byte outside the printable ASCII range
// written as %XX: nothing a server sent can end the request line early.
std::string request_safe(const std::wstring& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : wide_to_utf8(text)) {
        if (b > 0x20 && b < 0x7F) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back('%');
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 15]);
        }
    }
    return out;
}

// text as the value of a request header: UTF-8, with control characters
// made spaces, so that it cannot end the header.
std::string header_safe(const std::wstring& text) {
    std::string out;
    for (uint8_t b : wide_to_utf8(text)) out.push_back(b < 0x20 || b == 0x7F ? ' ' : static_cast<char>(b));
    return out;
}

// The value of a header in head (names compared without regard to case).
std::string header(const std::string& head, const std::string& name) {
    size_t line = head.find("\r\n");
    while (line != std::string::npos && line + 2 < head.size()) {
        size_t start = line + 2;
        size_t end = head.find("\r\n", start);
        if (end == std::string::npos) end = head.size();
        if (end - start > name.size() && head[start + name.size()] == ':' &&
            std::equal(name.begin(), name.end(), head.begin() + static_cast<long>(start),
                       [](char a, char b) {
                           return std::tolower(static_cast<unsigned char>(a)) ==
                                  std::tolower(static_cast<unsigned char>(b));
                       })) {
            std::string value = head.substr(start + name.size() + 1, end - start - name.size() - 1);
            size_t first = value.find_first_not_of(" \t");
            size_t last = value.find_last_not_of(" \t");
            return first == std::string::npos ? "" : value.substr(first, last - first + 1);
        }
        line = end;
    }
    return "";
}

}  // namespace

bool plain_http_request(const http_target& target, const std::wstring& agent, body_sink& sink,
                        fetch_control& control, http_answer& answer) {
    winsock_user winsock;
    if (!winsock.ok()) return false;
    unique_socket s(connect_to(target, control, sink));
    if (s.get() == INVALID_SOCKET) return false;

    // HTTP/1.0, as the request of a plain address always was: the answer is
    // never chunked and ends where the server closes the connection.
    std::string host = header_safe(target.server);
    if (target.port != 80) host += ":" + std::to_string(target.port);
    const std::string request = "GET " + request_safe(target.object) + " HTTP/1.0\r\nHost: " +
                                host + "\r\nUser-Agent: " + header_safe(agent) +
                                "\r\nAccept: */*\r\nCache-Control: no-cache\r\n"
                                "Connection: close\r\n\r\n";
    if (!send_all(s.get(), request, control)) {
        sink.note(L"SendRequest ... error");
        return false;
    }

    std::vector<char> buffer(65536);
    std::string head;
    size_t head_end = std::string::npos;
    while ((head_end = head.find("\r\n\r\n")) == std::string::npos) {
        if (head.size() > max_head_bytes) {
            sink.note(L"answer head too long");
            return false;
        }
        int n = receive(s.get(), buffer.data(), static_cast<int>(buffer.size()), control);
        if (n <= 0) {
            sink.note(control.expired() ? L"no answer in time" : L"no answer");
            return false;
        }
        head.append(buffer.data(), static_cast<size_t>(n));
    }
    std::string body_start = head.substr(head_end + 4);
    head.resize(head_end + 2);
    if (head.compare(0, 7, "HTTP/1.") != 0 || head.size() < 12 || head[8] != ' ') {
        sink.note(L"not an HTTP answer");
        return false;
    }
    answer.status = std::atoi(head.substr(9, 3).c_str());
    const std::string location = header(head, "location");
    answer.location.assign(location.begin(), location.end());
    if (answer.status < 200 || answer.status > 299) return true;  // the body is not wanted

    const std::string length_text = header(head, "content-length");
    const bool has_length = !length_text.empty();
    const unsigned long long length = has_length ? std::strtoull(length_text.c_str(), nullptr, 10) : 0;
    if (has_length && length > max_response_bytes) {
        sink.note(L"response larger than " + std::to_wstring(max_response_bytes) +
                   L" bytes, not read");
        return false;
    }
    if (!sink.take(body_start.data(), body_start.size())) return false;
    while (!has_length || sink.total() < length) {
        int n = receive(s.get(), buffer.data(), static_cast<int>(buffer.size()), control);
        if (n == 0) break;
        if (n < 0) {
            sink.note(control.expired() ? L"answer not complete in time" : L"read failed");
            return false;
        }
        if (!sink.take(buffer.data(), static_cast<size_t>(n))) return false;
    }
    if (has_length && sink.total() < length) {
        sink.note(L"answer shorter than its Content-Length");
        return false;
    }
    return true;
}

}  // namespace quillet
