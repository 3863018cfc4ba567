// The workers of a copy run: a few threads that each work on one entry at a
// time, each with its own set of kept files, sharing the run's index and
// guard. The run hands them entries in list order and takes their outcomes
// back in list order, so that whatever runs at the same time, everything a
// person or a script sees comes out as one worker would have produced it.
// With one worker the entries are worked on by the run's own thread, one
// after the other, and nothing is started.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/entries.h"

namespace quillet {

struct run_shared;

// One entry handed to the workers, and what came of it.
struct entry_job {
    size_t index = 0;
    std::wstring src, dest;
    int code = 0;
    entry_outcome outcome;
    std::wstring kept;           // why a text file was copied unchanged, in detail ("" otherwise)
    std::vector<uint8_t> log;    // the log lines written meanwhile (a worker's own)
    std::atomic<uint64_t> read{0};  // bytes of its files read so far
    bool handed_out = false;      // given to the workers (not left alone at once)
    std::atomic<bool> finished{false};
};

// The number of workers a run uses when not told: one per processor, at most 8.
size_t default_worker_count();
// How many entries a run with that many workers hands out before the first
// of them is reported: twice as many, so that a worker finds the next entry
// waiting while the run reports the first. When the run ends (a stop, a
// destination it cannot write) those no worker has begun are taken back.
inline size_t entries_handed_out(size_t workers) { return workers > 1 ? 2 * workers : 1; }

class entry_workers {
public:
    // With one worker, reading is called (on this thread) now and then while
    // a job's files are read; with more, the caller looks at job.read itself.
    entry_workers(run_shared& shared, size_t count,
                  std::function<void(const entry_job&)> reading = nullptr);
    ~entry_workers();
    entry_workers(const entry_workers&) = delete;
    entry_workers& operator=(const entry_workers&) = delete;

    size_t count() const { return count_; }
    // Works on job: at once on this thread with one worker, else by the
    // next free worker.
    void submit(entry_job& job);
    // Whether job is finished (its outcome may then be read).
    static bool finished(const entry_job& job) { return job.finished; }
    // Waits until job finishes, at most ms milliseconds.
    void wait_for(const entry_job& job, unsigned ms);
    // Takes back the jobs no worker has begun; true when job was among them.
    bool withdraw(const entry_job& job);

private:
    void work();
    static void process(run_shared& shared, entry_job& job, bool own_log,
                        const std::function<void(const entry_job&)>& reading);

    run_shared& shared_;
    size_t count_;
    std::function<void(const entry_job&)> reading_;
    std::mutex mutex_;
    std::condition_variable has_work_, has_finished_;
    std::deque<entry_job*> queue_;
    std::atomic<const entry_job*> awaited_{nullptr};  // the job the run waits for
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace quillet
