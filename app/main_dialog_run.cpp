// The main dialog's two ways into the copy engine: files dropped onto the
// window, and the copy button.
#include <windows.h>
#include <algorithm>
#include <shellapi.h>

#include "app/list_fill.h"
#include "app/main_dialog.h"
#include "app/run_progress.h"
#include "app/resource.h"
#include "app/ui_text.h"
#include "app/report_box.h"
#include "engine/copy_run.h"
#include "text/encodings.h"
#include "engine/intake.h"
#include "engine/store.h"

namespace quillet {



std::vector<std::wstring> dropped_files(HDROP drop) {
    std::vector<std::wstring> paths;
    if (!drop) return paths;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(static_cast<size_t>(length) + 1, L'\0');
        DragQueryFileW(drop, i, &name[0], length + 1);
        name.resize(name.find(L'\0'));
        paths.push_back(name);
    }
    return paths;
}

void show_run_report(const copy_run_result& run);

void MainDialog::OnDropFiles(HDROP drop) {
    // Sent from elsewhere while other work goes on: the drop is refused.
    if (busy_) {
        if (drop) DragFinish(drop);
        return;
    }
    const std::vector<std::wstring> paths = dropped_files(drop);
    // The names are read: the shell's drop memory is released here, once.
    if (drop) DragFinish(drop);
    struct taken {
        drop_result result;
        std::vector<std::wstring> recent;
    };
    auto in = std::make_shared<taken>();
    read_list_in_background(
        [paths, in] {
            in->result = take_drop(paths);
            if (!in->result.opened.empty() || in->result.recent_reloaded)
                in->recent = store().recent_display();
        },
        [this, in] {
            if (!store().unreadable_list().empty())
                report_box(unreadable_list_message(store(), ui_translator()), 0, 0);
            if (!in->result.not_text.empty())
                report_box(not_text_message(in->result.not_text, ui_translator()), 0, 0);
            if (in->result.code >= 0) encoding_box.set_cur_sel(drop_down_index(in->result.code));
            folder_text = store().get_folder();
            if (!in->result.opened.empty() || in->result.recent_reloaded)
                fill_list(recent_list_box, in->recent);
            UpdateData(false);
        });
}

void MainDialog::OnCopy() {
    // A second click during a run (or a list being read) starts nothing.
    if (busy_) return;
    // Nothing to copy: the run would only write an empty list record (and back
    // up the last one); the window says what to drop instead.
    if (store().get_files().empty() && store().unreadable_list().empty()) {
        report_box(ui_text("Drop a folder, a list file (.ilc) or text files onto the window first.\r\n"),
                   0, 0);
        return;
    }
    run_waited_ = false;
    run_files_ = store().get_files();
    // The last run's report gives way to this one's.
    report_.reset();
    if (report_shown()) show_report_lines(ui_text("Copying..."));
    if (!taskbar_) taskbar_ = std::make_unique<taskbar_progress>(hwnd());
    run_ = std::make_unique<run_link>();
    run_->window = hwnd();
    run_link* link = run_.get();
    in_background([link, code = selected_code(encoding_box),
                   translate = ui_translator()] { run_copy_for_window(*link, code, translate); },
                  [this] { finish_run(); });
}

void MainDialog::stop_run() {
    if (run_) run_->stop = true;
}

void MainDialog::on_run_event(WPARAM event, LPARAM number) {
    if (!run_) return;
    switch (event) {
    case run_begun:
        meter_steps_ = 0;
        meter_ = std::make_unique<progress_meter>(L" ... ", 0);
        meter_->set_color(0x8000);
        meter_->set_total(static_cast<uint32_t>(number));
        find_status_bar();
        // The meter shows from the start, however long the first file takes.
        if (meter_->get_total() > 0) {
            meter_->draw();
            taskbar_->show(0, meter_->get_total());
        }
        break;
    case run_entry_started: {
        run_->start_posted = false;
        const size_t reached = run_->started;
        if (!meter_) break;
        if (run_waited_) meter_->set_text(L" ... ");
        run_waited_ = false;
        // One title for however many entries began since the last message:
        // each title set then reaches the screen before the next.
        if (reached > meter_steps_ && meter_->get_total() > 0) {
            meter_->show(static_cast<uint32_t>(std::min<size_t>(reached, meter_->get_total())));
            // The button counts the entries done, the one begun not yet.
            taskbar_->show(reached - 1, meter_->get_total());
        }
        meter_steps_ = reached;
        break;
    }
    case run_waiting: {
        if (!meter_) break;
        std::wstring reason;
        {
            std::lock_guard<std::mutex> hold(run_->guard);
            reason = run_->wait_reason;
        }
        meter_->set_text(L" waiting for " + reason + L" ... ");
        meter_->draw();
        run_waited_ = true;
        taskbar_->pause();
        break;
    }
    case run_entry_progress:
        run_->progress_posted = false;
        show_entry_progress();
        break;
    default: break;
    }
}

void MainDialog::show_entry_progress() {
    size_t index = 0;
    uint64_t done = 0, total = 0;
    {
        std::lock_guard<std::mutex> hold(run_->guard);
        index = run_->progress_index;
        done = run_->progress_done;
        total = run_->progress_total;
    }
    if (!meter_ || meter_->get_total() == 0 || total == 0 || done > total) return;
    // The share of the entry at work follows the count; the title changes at
    // most every 100 ms, the taskbar button in thousandths of an entry.
    meter_->set_text(L" ... " + std::to_wstring(done * 100 / total) + L"% ");
    run_waited_ = true;
    meter_->show(meter_->get_position());
    constexpr uint64_t kSteps = 1000;
    taskbar_->show(index * kSteps + done * kSteps / total, meter_->get_total() * kSteps);
}

void MainDialog::finish_run() {
    meter_.reset();  // the title as it was
    if (taskbar_) taskbar_->clear();
    std::unique_ptr<run_link> run = std::move(run_);
    if (!run) return;
    // A run ended by an error outside any file: the lines of the list as it is.
    fill_list(file_list_box, run->failed ? store().file_entries() : run->result.entries);
    shown_files_ = store().get_files();
    std::vector<entry_note> notes;
    {
        std::lock_guard<std::mutex> hold(run->guard);
        notes = std::move(run->notes);
    }
    report_ = std::make_unique<run_report>(
        make_run_report(run_files_, std::move(notes), run->result, run->stop, run->failed));
    show_report_lines(run_summary_text(*report_));
    for (const std::wstring& message : run->messages) report_box(message, 0, 0);
    show_run_report(run->result);
}

// What the status lines cannot say, in one box after the run (the log holds
// the same): text files copied unchanged instead of converted, each with its
// reason; files whose declared encoding their bytes are not in; entries left
// alone because an earlier entry has their file name.
void show_run_report(const copy_run_result& run) {
    constexpr size_t kShown = 10;
    std::wstring text;
    const auto add = [&text](const char* heading, const std::vector<std::wstring>& items,
                             const wchar_t* end) {
        if (items.empty()) return;
        text += ui_text(heading);
        for (size_t i = 0; i < items.size() && i < kShown; ++i) text += items[i] + end;
        if (items.size() > kShown)
            text += L"... (" + std::to_wstring(items.size() - kShown) + L" more in the log)\n";
    };
    add("Kept unchanged.\r\n", run.kept, L"");
    add("Declared encoding differs.\r\n", run.false_declarations, L"\n");
    add("Same file name.\r\n", run.same_name, L"\n");
    if (!text.empty()) report_box(text, 0, 0);
}

}  // namespace quillet
