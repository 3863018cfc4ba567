#include "engine/entry_workers.h"

#include <algorithm>
#include <chrono>

#include "base/log.h"
#include "engine/entry.h"
#include "engine/file_io.h"
#include "engine/run_context.h"
#include "text/loss_report.h"

namespace quillet {

namespace {

// Why src, a text file, was copied unchanged instead of converted to code:
// the source is read again (the conversion has let its bytes go). Sources too
// large to hold are told by the reason the conversion gave.
std::wstring kept_text(const std::wstring& src, int code, const std::wstring& reason) {
    constexpr int64_t kMostHeld = int64_t(16) << 20;
    std::wstring text;
    if (file_status(src).size() <= kMostHeld)
        text = loss_report_text(src, conversion_loss(read_file_bytes(src), code), code);
    if (text.empty()) text = src + L": kept unchanged: " + reason + L"\n";
    return text;
}

}  // namespace

size_t default_worker_count() {
    const unsigned processors = std::thread::hardware_concurrency();
    return std::min<size_t>(8, std::max<unsigned>(1, processors));
}

entry_workers::entry_workers(run_shared& shared, size_t count,
                             std::function<void(const entry_job&)> reading)
    : shared_(shared), count_(std::max<size_t>(1, count)), reading_(std::move(reading)) {
    if (count_ == 1) return;
    for (size_t i = 0; i < count_; ++i) threads_.emplace_back([this] { work(); });
}

entry_workers::~entry_workers() {
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        closing_ = true;
    }
    has_work_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void entry_workers::submit(entry_job& job) {
    if (threads_.empty()) {
        process(shared_, job, false, reading_);
        job.finished = true;
        return;
    }
    {
        const std::lock_guard<std::mutex> hold(mutex_);
        queue_.push_back(&job);
    }
    has_work_.notify_one();
}

void entry_workers::wait_for(const entry_job& job, unsigned ms) {
    std::unique_lock<std::mutex> hold(mutex_);
    awaited_ = &job;
    has_finished_.wait_for(hold, std::chrono::milliseconds(ms), [&job] { return finished(job); });
    awaited_ = nullptr;
}

bool entry_workers::withdraw(const entry_job& job) {
    const std::lock_guard<std::mutex> hold(mutex_);
    const auto found = std::find(queue_.begin(), queue_.end(), &job);
    if (found == queue_.end()) return false;
    queue_.erase(found);
    return true;
}

void entry_workers::work() {
    for (;;) {
        entry_job* job = nullptr;
        {
            std::unique_lock<std::mutex> hold(mutex_);
            has_work_.wait(hold, [this] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            job = queue_.front();
            queue_.pop_front();
        }
        process(shared_, *job, true, nullptr);
        job->finished = true;
        // Only the job the run waits for wakes it: the others are taken up
        // when their turn in the list comes.
        if (awaited_ == job) {
            const std::lock_guard<std::mutex> hold(mutex_);
            has_finished_.notify_all();
        }
    }
}

void entry_workers::process(run_shared& shared, entry_job& job, bool own_log,
                            const std::function<void(const entry_job&)>& reading) {
    // A worker's log lines wait for the run to write them in list order.
    std::unique_ptr<log_capture> capture(own_log ? new log_capture() : nullptr);
    try {
        run_context context(shared);
        context.files.on_progress([&job, &reading](uint64_t read) {
            job.read = read;
            if (reading) reading(job);
        });
        job.outcome = process_entry(context, job.code, job.src, job.dest);
        if (job.outcome.kept_unchanged) job.kept = kept_text(job.src, job.code, job.outcome.reason);
    } catch (...) {
        job.outcome = make_outcome(entry_result::refused, L"not enough memory");
    }
    if (capture) job.log = capture->take();
}

}  // namespace quillet
