// The window's copy run on its own thread.
#include "app/run_progress.h"


namespace quillet {

void posting_observer::post(run_event event, size_t number) const {
    PostMessageW(link_.window, kRunMessage, event, static_cast<LPARAM>(number));
}

void posting_observer::begin(size_t total) {
    {
        std::lock_guard<std::mutex> hold(link_.guard);
        link_.notes.assign(total, entry_note());
    }
    post(run_begun, total);
}

void posting_observer::entry_started(size_t index) {
    link_.started = index + 1;
    if (!link_.start_posted.exchange(true)) post(run_entry_started, 0);
}

void posting_observer::entry_done(size_t index, const entry_outcome& outcome) {
    std::lock_guard<std::mutex> hold(link_.guard);
    if (index >= link_.notes.size()) return;
    entry_note& note = link_.notes[index];
    note.reached = true;
    note.result = outcome.result;
    note.kept_unchanged = outcome.kept_unchanged;
    note.reason = outcome.reason;
}

void posting_observer::entry_progress(size_t index, uint64_t done, uint64_t total) {
    {
        std::lock_guard<std::mutex> hold(link_.guard);
        link_.progress_index = index;
        link_.progress_done = done;
        link_.progress_total = total;
    }
    if (!link_.progress_posted.exchange(true)) post(run_entry_progress, index);
}

void posting_observer::waiting(const std::wstring&, const std::wstring& reason) {
    {
        std::lock_guard<std::mutex> hold(link_.guard);
        link_.wait_reason = reason;
    }
    post(run_waiting, 0);
}

void posting_observer::cannot_save(const std::wstring&, const std::wstring& message) {
    std::lock_guard<std::mutex> hold(link_.guard);
    link_.messages.push_back(message);
}

void posting_observer::list_unreadable(const std::wstring& message) {
    std::lock_guard<std::mutex> hold(link_.guard);
    link_.messages.push_back(message);
}

void run_copy_for_window(run_link& link, int code, const text_translator& translate) {
    try {
        posting_observer observer(link);
        link.result = copy_run(code, translate, &observer);
    } catch (...) {
        link.failed = true;
        throw;
    }
}

}  // namespace quillet
