// One request through WinINet (the https addresses). It runs on a worker
// thread (request_on_worker): closing a request whose body was not read to its
// end may make WinINet read the rest first, so the outcome is handed over
// before the handles are closed, and the closing is left to the worker.
#include "tools/http_transfer.h"

#include <vector>

namespace quillet {

namespace {

// Owner of one WinINet handle (session, connection or request).
class unique_hinternet {
public:
    unique_hinternet() = default;
    ~unique_hinternet() { reset(nullptr); }
    unique_hinternet(const unique_hinternet&) = delete;
    unique_hinternet& operator=(const unique_hinternet&) = delete;
    void reset(HINTERNET h) {
        if (h_) InternetCloseHandle(h_);
        h_ = h;
    }
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_ = nullptr;
};

// The handles of one request, closed in reverse order.
struct wininet_handles {
    unique_hinternet session, connection, request;
};

std::wstring last_error_text(DWORD error) {
    wchar_t buffer[1024] = L"";
    HMODULE wininet = GetModuleHandleW(L"wininet.dll");
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             wininet, error, 0, buffer, 1024, nullptr);
    std::wstring text(buffer, n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
    return L"error " + std::to_wstring(error) + (text.empty() ? L"" : L" " + text);
}

// The handle's timeouts, each no longer than what is left of the deadline.
void set_timeouts(HINTERNET handle, const fetch_control& control) {
    DWORD timeout_ms = control.step_ms();
    if (timeout_ms == 0) timeout_ms = 1;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                         INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
        InternetSetOptionW(handle, option, &timeout_ms, sizeof timeout_ms);
}

// Opens the handles, sends the request and reads the answer into sink.
bool exchange(wininet_handles& h, const http_target& target, const std::wstring& agent,
              body_sink& sink, fetch_control& control, http_answer& answer) {
    h.session.reset(InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!h.session) {
        sink.note(L"InternetOpen " + last_error_text(GetLastError()));
        return false;
    }
    set_timeouts(h.session.get(), control);
    h.connection.reset(InternetConnectW(h.session.get(), target.server.c_str(), target.port, nullptr,
                                        nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!h.connection) {
        sink.note(L"InternetConnect " + last_error_text(GetLastError()));
        return false;
    }
    set_timeouts(h.connection.get(), control);
    // Always the server's current answer (the comparison with yesterday's
    // page is pointless on a cached copy); redirects are followed by the
    // caller, with the same limits at every hop.
    const DWORD flags = (target.secure ? INTERNET_FLAG_SECURE : 0) | INTERNET_FLAG_RELOAD |
                        INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        INTERNET_FLAG_NO_COOKIES;
    h.request.reset(HttpOpenRequestW(h.connection.get(), L"GET", target.object.c_str(), L"HTTP/1.1",
                                     nullptr, nullptr, flags, 1));
    if (!h.request) {
        sink.note(L"HttpOpenRequest " + last_error_text(GetLastError()));
        return false;
    }
    // Timeouts set on the session alone do not reach the request everywhere.
    set_timeouts(h.request.get(), control);
    if (control.expired() || !HttpSendRequestW(h.request.get(), nullptr, 0, nullptr, 0)) {
        sink.note(L"SendRequest ... error");
        return false;
    }
    DWORD status = 0, size = sizeof status;
    HttpQueryInfoW(h.request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                   nullptr);
    answer.status = static_cast<int>(status);
    wchar_t location[2048] = L"";
    DWORD location_size = sizeof location;
    if (HttpQueryInfoW(h.request.get(), HTTP_QUERY_LOCATION, location, &location_size, nullptr))
        answer.location = location;
    if (answer.status < 200 || answer.status > 299) return true;

    std::vector<char> chunk(65536);
    for (;;) {
        if (control.expired()) {
            sink.note(L"answer not complete in time");
            return false;
        }
        DWORD got = 0;
        if (!InternetReadFile(h.request.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &got)) {
            sink.note(L"InternetReadFile " + last_error_text(GetLastError()));
            return false;
        }
        if (got == 0) return true;
        if (!sink.take(chunk.data(), got)) return false;
    }
}

}  // namespace

bool wininet_request(const http_target& target, const std::wstring& agent, body_sink& sink,
                     fetch_control& control, http_answer& answer) {
    wininet_handles handles;
    const bool read = exchange(handles, target, agent, sink, control, answer);
    // The outcome is known: the caller goes on while the handles close here.
    sink.finish(read);
    return read;
}

}  // namespace quillet
