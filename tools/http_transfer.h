// One HTTP request and its answer, without following redirects: over plain
// sockets for "http:" addresses, through WinINet for "https:" ones. Each runs
// on a worker thread of its own, which the caller gives up at its deadline or
// stop whatever the request is doing, and neither reads more than
// max_response_bytes (plus one piece) of a body.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "base/handles.h"
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

// What one request leaves: the body of a good answer in memory (refused, with
// a note, once it grows past max_response_bytes), its notes for the standard
// error stream, and a signal once the outcome is known.
class body_sink {
public:
    body_sink();
    bool take(const void* data, size_t size);
    void note(const std::wstring& text) { notes_.push_back(text); }
    // Records whether the answer was read whole and signals whoever waits
    // for the outcome; only the first call counts. The request touches
    // neither the sink nor its answer afterwards.
    void finish(bool read);

    uint64_t total() const { return body_.size(); }
    bool read() const { return read_; }
    std::vector<uint8_t> release_body() { return std::move(body_); }
    const std::vector<std::wstring>& notes() const { return notes_; }
    HANDLE finished_event() const { return finished_.get(); }

private:
    std::vector<uint8_t> body_;
    std::vector<std::wstring> notes_;
    bool read_ = false;
    std::atomic<bool> finishing_{false};
    unique_handle finished_;
};

// "server\tport\t": the start of every note about a request.
std::wstring request_where(const http_target& target);

// Sends the request and reads the answer's status and Location; the body of a
// 2xx answer goes to sink to its end. True when the answer was read whole (or,
// for another status, its head); false on any failure, noted in sink. Both
// run on the calling thread and stop reading at the control's deadline or
// stop; wininet_request uses INTERNET_FLAG_SECURE when the target is secure.
using request_function = bool (*)(const http_target& target, const std::wstring& agent,
                                  body_sink& sink, fetch_control& control, http_answer& answer);
bool plain_http_request(const http_target& target, const std::wstring& agent, body_sink& sink,
                        fetch_control& control, http_answer& answer);
bool wininet_request(const http_target& target, const std::wstring& agent, body_sink& sink,
                     fetch_control& control, http_answer& answer);

// Runs request on a worker thread and waits for its outcome in steps of at
// most 100 ms. At control's deadline or stop the transfer is given up at
// once: the worker is told to stop and left to end on its own (a blocking
// name lookup or WinINet's closing of a request may hold it for long). It
// owns its handles and its copies of target and agent, keeps the body in its
// own memory and touches nothing else, so it never writes a file and never
// outlives anything it uses. True when the request read its answer whole;
// answer and body then hold it. Every note goes to the standard error stream.
bool request_on_worker(request_function request, const http_target& target,
                       const std::wstring& agent, fetch_control& control, http_answer& answer,
                       std::vector<uint8_t>& body);

}  // namespace quillet
