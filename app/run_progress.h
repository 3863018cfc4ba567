// How the window runs a copy: on a thread of its own, so that the window
// stays live (repaints, moves, answers Esc and the close box at once) while
// files are read, held files waited for and destinations written. The run's
// thread reports through a posting observer; the window's thread shows the
// count and bar in its title (and on the taskbar button) for runs of ten
// files or more and, once the run has ended, its boxes and its report.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/run_report.h"
#include "engine/copy_run.h"
#include "engine/run_observer.h"

namespace quillet {

// The message the run's thread posts to the window: wParam one of
// run_event, lParam the event's number (the total, an entry's index).
constexpr UINT kRunMessage = WM_APP + 40;
enum run_event : WPARAM { run_begun, run_entry_started, run_waiting, run_entry_progress };
// Posted by the window's background work when it has ended.
constexpr UINT kWorkDone = WM_APP + 41;
// Posted for each task another thread gives the window's thread.
constexpr UINT kWindowTask = WM_APP + 42;

// What the window and the run's thread share for one run.
struct run_link {
    HWND window = nullptr;
    std::atomic<bool> stop{false};
    // Entries begun so far, and whether a message saying so waits in the
    // window's queue: one at a time, so that a fast run over many files
    // never fills the queue.
    std::atomic<size_t> started{0};
    std::atomic<bool> start_posted{false};
    // How far the entry being worked on is, as entry_progress told it (under
    // guard), posted one message at a time as for started.
    std::atomic<bool> progress_posted{false};
    size_t progress_index = 0;
    uint64_t progress_done = 0, progress_total = 0;
    bool failed = false;                 // the run ended by an error outside any file
    std::mutex guard;
    std::wstring wait_reason;            // under guard
    std::vector<std::wstring> messages;  // under guard: the boxes to show, in order
    std::vector<entry_note> notes;       // under guard: what became of each entry
    copy_run_result result;              // the run's, complete once run_ended is posted
};

// The run's side: every report becomes a posted message or a note in link.
class posting_observer : public run_observer {
public:
    explicit posting_observer(run_link& link) : link_(link) {}
    void begin(size_t total) override;
    void entry_started(size_t index) override;
    void entry_done(size_t index, const entry_outcome& outcome) override;
    void entry_progress(size_t index, uint64_t done, uint64_t total) override;
    void waiting(const std::wstring& path, const std::wstring& reason) override;
    void cannot_save(const std::wstring& path, const std::wstring& message) override;
    void list_unreadable(const std::wstring& message) override;
    bool stop_requested() override { return link_.stop; }

private:
    void post(run_event event, size_t number) const;
    run_link& link_;
};

// Runs copy_run(code, translate) on link's behalf; an error that ends it
// early sets link.failed.
void run_copy_for_window(run_link& link, int code, const text_translator& translate);

}  // namespace quillet
