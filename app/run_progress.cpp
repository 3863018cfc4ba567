// The window's view of a copy run.
#include "app/run_progress.h"

#include "base/report_box.h"

namespace quillet {

window_run_observer::window_run_observer() : meter_(L" ... ", 0) {}

void window_run_observer::begin(size_t total) {
    meter_.set_color(0x8000);
    meter_.set_total(static_cast<uint32_t>(total));
    find_status_bar();
}

void window_run_observer::entry_started(size_t) {
    if (waited_) {
        meter_.set_text(L" ... ");
        waited_ = false;
    }
    meter_.step();
}

void window_run_observer::waiting(const std::wstring&, const std::wstring& reason) {
    meter_.set_text(L" waiting for " + reason + L" ... ");
    meter_.draw();
    waited_ = true;
}

void window_run_observer::cannot_save(const std::wstring&, const std::wstring& message) {
    report_box(message, 0, 0);
}

void window_run_observer::list_unreadable(const std::wstring& message) { report_box(message, 0, 0); }

bool window_run_observer::stop_requested() {
    keep_window_responsive();
    return run_stop_requested();
}

}  // namespace quillet
