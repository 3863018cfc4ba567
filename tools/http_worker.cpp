// Every request runs on a worker thread of its own, so that nothing a server
// or the platform's HTTP client does can hold the caller past its deadline:
// a name lookup cannot be interrupted, and WinINet, when a request with a
// Content-Length is closed early, may read the rest of the body before the
// close returns (Wine's does).
#include "tools/http_transfer.h"

#include <process.h>

#include <memory>

#include "base/diagnostic.h"

namespace quillet {

namespace {

// Everything one worker uses. The caller and the worker each hold a share;
// a worker that was given up keeps the job alive until it ends.
struct request_job {
    request_job(request_function f, const http_target& t, const std::wstring& a, DWORD budget_ms)
        : request(f), target(t), agent(a), control(budget_ms) {}
    request_function request;
    http_target target;
    std::wstring agent;
    fetch_control control;  // the same deadline as the caller's; stopped when given up
    body_sink sink;
    http_answer answer;
};

unsigned __stdcall request_thread(void* argument) {
    auto* share = static_cast<std::shared_ptr<request_job>*>(argument);
    std::shared_ptr<request_job> job = std::move(*share);
    delete share;
    job->sink.finish(job->request(job->target, job->agent, job->sink, job->control, job->answer));
    return 0;
}

}  // namespace

body_sink::body_sink() : finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void body_sink::finish(bool read) {
    if (finishing_.exchange(true)) return;
    read_ = read;
    SetEvent(finished_.get());
}

bool body_sink::take(const void* data, size_t size) {
    if (size == 0) return true;
    if (body_.size() + size > max_response_bytes) {
        note(L"response larger than " + std::to_wstring(max_response_bytes) + L" bytes, cut off");
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    body_.insert(body_.end(), bytes, bytes + size);
    return true;
}

std::wstring request_where(const http_target& target) {
    return target.server + L"\t" + std::to_wstring(target.port) + L"\t";
}

bool request_on_worker(request_function request, const http_target& target,
                       const std::wstring& agent, fetch_control& control, http_answer& answer,
                       std::vector<uint8_t>& body) {
    const std::wstring where = request_where(target);
    auto job = std::make_shared<request_job>(request, target, agent, control.remaining_ms());
    if (control.expired() || !job->sink.finished_event()) {
        error_note(where + L"SendRequest ... error");
        return false;
    }
    auto* share = new std::shared_ptr<request_job>(job);
    unique_handle thread(reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &request_thread, share, 0, nullptr)));
    if (!thread) {
        delete share;
        error_note(where + L"Can't start the request's thread");
        return false;
    }
    while (WaitForSingleObject(job->sink.finished_event(), 100) == WAIT_TIMEOUT) {
        if (control.expired()) {
            // Given up: the worker stops at its next step and ends on its own,
            // its notes unread; its outcome is never looked at.
            job->control.stop();
            error_note(where + (control.stopped() ? L"stopped" : L"answer not complete in time"));
            return false;
        }
    }
    for (const std::wstring& text : job->sink.notes()) error_note(where + text);
    if (!job->sink.read()) return false;
    answer = job->answer;
    body = job->sink.release_body();
    return true;
}

}  // namespace quillet
