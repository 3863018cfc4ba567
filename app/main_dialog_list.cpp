// The main dialog's file list: opening a list shows its names at once and
// fills their status lines in from the work's thread; after a run, the line
// below the lists says what the run did and the line under it what became of
// the selected line's file.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/list_fill.h"
#include "app/list_status.h"
#include "engine/entries.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "engine/store.h"

namespace quillet {

bool MainDialog::read_list_in_background(std::function<void()> read, std::function<void()> shown,
                                         std::function<void()> done) {
    if (busy_) return false;
    fill_stop_ = false;
    auto names_shown = std::make_shared<std::atomic<bool>>(false);
    return in_background(
        [this, read = std::move(read), shown, names_shown] {
            read();
            auto names = std::make_shared<std::vector<std::wstring>>(store().get_files());
            const std::wstring folder = store().get_folder();
            names_shown->store(true);
            post_to_window([this, shown, names] {
                // The names first: batches that arrive while a box of
                // shown() is open find their lines.
                show_names(*names);
                if (shown) shown();
                work_cursor_.reset();
            });
            make_status_lines(folder, *names, fill_stop_,
                              [this](size_t first, std::vector<std::wstring> lines) {
                                  auto batch = std::make_shared<std::vector<std::wstring>>(std::move(lines));
                                  post_to_window([this, first, batch] { put_status_lines(first, *batch); });
                              });
        },
        [this, shown, done = std::move(done), names_shown] {
            if (!names_shown->load()) {
                // The reading ended by an error: the list as the store has it.
                show_names(store().get_files());
                if (shown) shown();
                fill_list(file_list_box, store().file_entries());
            }
            end_fill();
            if (done) done();
        });
}

void MainDialog::post_to_window(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> hold(tasks_guard_);
        tasks_.push_back(std::move(task));
    }
    // Every task must arrive: a full queue is waited out while the window lives.
    const HWND window = hwnd();
    while (!PostMessageW(window, kWindowTask, 0, 0) && IsWindow(window)) Sleep(10);
}

void MainDialog::run_posted_task() {
    std::function<void()> task;
    {
        std::lock_guard<std::mutex> hold(tasks_guard_);
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
}

void MainDialog::show_names(const std::vector<std::wstring>& files) {
    shown_files_ = files;
    if (!file_list_box) return;
    // fill_list, but the scroll extent fitted to the longest line alone: each
    // line measured would hold the window for a long list, and the extent
    // follows the status lines as they come.
    const HWND box = file_list_box.hwnd();
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    file_list_box.reset();
    std::wstring longest;
    for (const std::wstring& file : files) {
        const std::wstring line = pending_status_line(file);
        if (line.size() > longest.size()) longest = line;
        file_list_box.add(line);
    }
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
    file_list_box.set_horizontal_extent(list_extent_for(file_list_box, {longest}));
    fill_extent_ = 0;
    filling_ = !files.empty();
    // The names can be scrolled and selected while their lines are made.
    if (file_list_box) EnableWindow(file_list_box.hwnd(), TRUE);
    show_line_note();
}

void MainDialog::put_status_lines(size_t first, const std::vector<std::wstring>& lines) {
    const HWND box = file_list_box.hwnd();
    if (!box || first + lines.size() > static_cast<size_t>(file_list_box.count())) return;
    // The lines change under the user's eyes: what they look at and have
    // selected stays where it is.
    const LRESULT top = SendMessageW(box, LB_GETTOPINDEX, 0, 0);
    const int selected = file_list_box.cur_sel();
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    for (size_t k = 0; k < lines.size(); ++k) {
        const WPARAM at = static_cast<WPARAM>(first + k);
        SendMessageW(box, LB_DELETESTRING, at, 0);
        SendMessageW(box, LB_INSERTSTRING, at, reinterpret_cast<LPARAM>(lines[k].c_str()));
    }
    if (selected >= 0) file_list_box.set_cur_sel(selected);
    SendMessageW(box, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    // The widest status line so far; the extent never shrinks while the
    // lines fill, and is the widest line's once they all are.
    fill_extent_ = std::max(fill_extent_, list_extent_for(file_list_box, lines));
    file_list_box.set_horizontal_extent(std::max(file_list_box.horizontal_extent(), fill_extent_));
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
}

void MainDialog::end_fill() {
    const bool was_filling = filling_;
    filling_ = false;
    if (!was_filling) return;
    if (!fill_stop_ && fill_extent_ > 0) file_list_box.set_horizontal_extent(fill_extent_);
    // The cursor over the list is no longer busy: asked again where it is.
    POINT at{};
    if (!GetCursorPos(&at)) return;
    const HWND under = WindowFromPoint(at);
    if (under == file_list_box.hwnd())
        SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

bool MainDialog::on_set_cursor(HWND over) {
    // While the lines fill, the busy cursor shows over the list alone: the
    // rest of the window is at the user's disposal.
    if (!filling_ || wait_cursor::active() || !over || over != file_list_box.hwnd()) return false;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return true;
}

void MainDialog::OnFileSelect() { show_line_note(); }

bool MainDialog::report_shown() const {
    return run_summary && (GetWindowLongW(run_summary, GWL_STYLE) & WS_VISIBLE);
}

void MainDialog::show_report_lines(const std::wstring& summary) {
    if (!run_summary || !line_note) return;
    SetWindowTextW(run_summary, summary.c_str());
    if (!report_shown()) {
        ShowWindow(run_summary, SW_SHOWNA);
        ShowWindow(line_note, SW_SHOWNA);
        stretch_controls();
    }
    show_line_note();
}

void MainDialog::show_line_note() {
    if (!line_note) return;
    std::wstring note;
    const int selected = file_list_box.cur_sel();
    if (report_ && selected >= 0 && static_cast<size_t>(selected) < shown_files_.size()) {
        const std::wstring& path = shown_files_[static_cast<size_t>(selected)];
        for (size_t i = 0; i < report_->files.size(); ++i) {
            if (report_->files[i] != path) continue;
            note = entry_note_text(*report_, i);
            break;
        }
    }
    SetWindowTextW(line_note, note.c_str());
}

}  // namespace quillet
