// The main dialog's two ways into the copy engine: files dropped onto the
// window, and the copy button.
#include <windows.h>
#include <shellapi.h>

#include "app/list_fill.h"
#include "app/main_dialog.h"
#include "app/run_progress.h"
#include "app/resource.h"
#include "app/ui_text.h"
#include "base/report_box.h"
#include "engine/copy_run.h"
#include "engine/intake.h"
#include "engine/store.h"

namespace quillet {

namespace {

// Esc during a run, taken from the queue before the dialog turns it into its
// cancel command (the command "終了" gives too): it stops the run, leaves the
// window open, and is used up. The dialog is found from the window the key
// went to.
LRESULT CALLBACK esc_filter(int code, WPARAM wp, LPARAM lp) {
    MSG* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && msg && msg->message == WM_KEYDOWN &&
        msg->wParam == VK_ESCAPE && msg->hwnd) {
        const HWND top = GetAncestor(msg->hwnd, GA_ROOT);
        auto* main = dynamic_cast<MainDialog*>(
            reinterpret_cast<dialog*>(GetWindowLongPtrW(top, DWLP_USER)));
        if (main && main->running()) {
            main->stop_run();
            msg->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

}  // namespace


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
    // Sent from elsewhere while a handler works: the drop is refused.
    if (!while_busy([this, drop] { take_in_drop(drop); }) && drop) DragFinish(drop);
}

void MainDialog::take_in_drop(HDROP drop) {
    std::vector<std::wstring> paths = dropped_files(drop);
    // The names are read: the shell's drop memory is released here, once.
    if (drop) DragFinish(drop);

    drop_result result = take_drop(paths);
    if (!store().unreadable_list().empty())
        report_box(unreadable_list_message(store(), ui_translator()), 0, 0);
    if (!result.not_text.empty()) report_box(not_text_message(result.not_text, ui_translator()), 0, 0);
    if (result.code >= 0) encoding_box.set_cur_sel(encoding_index_for_code(result.code));
    folder_text = store().get_folder();
    if (!result.opened.empty() || result.recent_reloaded)
        fill_list(recent_list_box, store().recent_display());
    fill_list(file_list_box, store().file_entries());
    UpdateData(false);
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
    take_close_request();  // none from before the run counts
    busy_ = true;
    close_after_run_ = false;
    run_waited_ = false;
    run_cursor_ = std::make_unique<wait_cursor>();
    enable_during_run(false);
    run_ = std::make_unique<run_link>();
    run_->window = hwnd();
    // Esc reaches the dialog as its cancel command, like "終了": the filter
    // tells it apart first, so that Esc stops the run and leaves the window.
    esc_hook_ = SetWindowsHookExW(WH_GETMESSAGE, esc_filter, nullptr, GetCurrentThreadId());
    run_thread_ = std::thread(run_copy_for_window, std::ref(*run_), selected_code(encoding_box),
                              ui_translator());
}

void MainDialog::stop_run() {
    if (run_) run_->stop = true;
}

void MainDialog::on_run_event(WPARAM event, LPARAM number) {
    if (!run_) return;
    switch (event) {
    case run_begun:
        meter_ = std::make_unique<progress_meter>(L" ... ", 0);
        meter_->set_color(0x8000);
        meter_->set_total(static_cast<uint32_t>(number));
        find_status_bar();
        break;
    case run_entry_started:
        if (!meter_) break;
        if (run_waited_) meter_->set_text(L" ... ");
        run_waited_ = false;
        meter_->step();
        break;
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
        break;
    }
    case run_ended: finish_run(); break;
    default: break;
    }
}

void MainDialog::finish_run() {
    if (!run_) return;
    if (run_thread_.joinable()) run_thread_.join();
    if (esc_hook_) UnhookWindowsHookEx(esc_hook_);
    esc_hook_ = nullptr;
    meter_.reset();  // the title as it was
    std::unique_ptr<run_link> run = std::move(run_);
    enable_during_run(true);
    if (hwnd()) fill_list(file_list_box, run->result.entries);
    for (const std::wstring& message : run->messages) report_box(message, 0, 0);
    show_run_report(run->result);
    run_cursor_.reset();
    busy_ = false;
    take_close_request();
    if (close_after_run_) {
        close_after_run_ = false;
        OnCancel();
    }
}

void MainDialog::enable_during_run(bool enable) {
    for (int id : {IDC_COPY, IDC_RECENT_LIST, IDC_FILE_LIST, IDC_RELOAD_IDO, IDC_ENCODING})
        if (HWND control = item(id)) EnableWindow(control, enable);
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
