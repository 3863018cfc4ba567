// A small HTTP server on 127.0.0.1 with an ephemeral port, for the tests of
// the downloads and the update check. It answers one connection at a time in
// its own thread and can behave as a good server or as a broken or hostile
// one: stall, trickle, redirect in a loop, flood, answer with an error. Every
// wait of its thread ends when the server is destroyed.
#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace testing_support {

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

    // 200 with body.
    void set_page(const std::string& path, const std::string& body);
    // Any status line ("404 Not Found") with body.
    void set_status_page(const std::string& path, const std::string& status,
                         const std::string& body);
    // 200 with `bytes` bytes of "x", announced by Content-Length or not.
    void set_big_page(const std::string& path, uint64_t bytes, bool with_length = true);
    // Takes the request and never answers.
    void set_stall(const std::string& path);
    // 200 with body, one byte every interval_ms.
    void set_trickle(const std::string& path, const std::string& body, unsigned interval_ms);
    // 302 to location.
    void set_redirect(const std::string& path, const std::string& location);

    // GET requests seen for path.
    int requests(const std::string& path) const;
    int all_requests() const;
    // Connections whose first bytes were not an HTTP request (TLS handshakes).
    int other_connections() const;
    std::string last_user_agent() const;
    // Bytes of big pages' bodies that the client took before it closed.
    uint64_t big_bytes_sent() const { return big_sent_; }
    // True while a connection is being answered (the client has not left, or
    // the answer is not yet all sent).
    bool answering() const { return answering_; }

private:
    enum class kind { page, big, stall, trickle };
    struct answer_plan {
        kind how = kind::page;
        std::string head_status = "200 OK";
        std::string body;
        std::string extra_headers;
        uint64_t bytes = 0;
        bool with_length = true;
        unsigned interval_ms = 0;
    };

    void set_plan(const std::string& path, const answer_plan& plan);
    void serve();
    void answer(uintptr_t client);
    void send_big(uintptr_t client, const answer_plan& plan);
    // Waits up to ms, ending early when the server stops or the client
    // closes; true while the client is still there.
    bool linger(uintptr_t client, unsigned ms);

    uintptr_t listener_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> big_sent_{0};
    std::atomic<bool> answering_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, answer_plan> plans_;
    std::map<std::string, int> counts_;
    int all_ = 0;
    int other_ = 0;
    std::string agent_;
};

// A port of 127.0.0.1 that was free a moment ago: nothing listens there.
int free_port();

}  // namespace testing_support
