// How the window shows a copy run: the count and bar in its title (or status
// bar) for runs of ten files or more, the wait for another run into the same
// folder, a box for a file that cannot be saved or a list that cannot be
// read, and Esc, the close box or "終了" as a request to stop.
#pragma once
#include "base/progress.h"
#include "engine/run_observer.h"

namespace quillet {

class window_run_observer : public run_observer {
public:
    window_run_observer();
    void begin(size_t total) override;
    void entry_started(size_t index) override;
    void waiting(const std::wstring& path, const std::wstring& reason) override;
    void cannot_save(const std::wstring& path, const std::wstring& message) override;
    void list_unreadable(const std::wstring& message) override;
    // Lets the window repaint and read the stop gestures meanwhile.
    bool stop_requested() override;

private:
    progress_meter meter_;
    bool waited_ = false;
};

}  // namespace quillet
