// One HTTP request and its answer, without following redirects: over plain
// sockets for "http:" addresses, through WinINet for "https:" ones. Both stop
// at the control's deadline or stop, and neither reads more than
// max_response_bytes (plus one piece) of a body.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "tools/http_fetch.h"

namespace quillet {

struct http_target {
    bool secure = false;
    std::wstring server;
    INTERNET_PORT port = 0;
    std::wstring object;  // path and query, beginning "/"
};

struct http_answer {
    int status = 0;
    std::wstring location;  // the Location header of a redirect
};

// Takes the body of a good answer into an open file, counting it; refuses
// (and notes why) once it grows past max_response_bytes or a write fails.
class body_sink {
public:
    body_sink(HANDLE file, const std::wstring& where) : file_(file), where_(where) {}
    bool take(const void* data, size_t size);
    uint64_t total() const { return total_; }

private:
    HANDLE file_;
    std::wstring where_;
    uint64_t total_ = 0;
};

// "server\tport\t": the start of every note about a request.
std::wstring request_where(const http_target& target);

// Sends the request and reads the answer's status and Location; the body of a
// 2xx answer goes to sink to its end. True when the answer was read whole (or,
// for another status, its head); false on any failure, noted on the standard
// error stream.
bool plain_http_request(const http_target& target, const std::wstring& agent, body_sink& sink,
                        fetch_control& control, http_answer& answer);
bool wininet_request(const http_target& target, const std::wstring& agent, body_sink& sink,
                     fetch_control& control, http_answer& answer);

}  // namespace quillet
