// The main dialog's tools: the About box on the system menu, Notepad on the
// list files, Explorer on the folders, the update check when the dialog opens
// and the window placement kept in the settings profile.
#include "app/about_dialog.h"
#include "app/main_dialog.h"
#include "app/resource.h"
#include "app/progress.h"
#include "app/report_box.h"
#include "base/paths.h"
#include "engine/store.h"
#include "tools/shell_launcher.h"
#include "tools/update_check.h"

namespace quillet {

namespace {

// The name the placement is kept under: the dialog's source unit.
const wchar_t placement_name[] = L"quilletDg";

// Posted to the dialog: begin the update check (handled once the window is
// up and its queue runs), and the check has ended.
const UINT update_check_start_message = WM_APP + 13;
const UINT update_check_done_message = WM_APP + 14;

}  // namespace

void MainDialog::add_about_menu_entry() {
    HMENU menu = GetSystemMenu(hwnd(), FALSE);
    if (!menu) return;
    wchar_t text[256] = {};
    if (LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 256) <= 0 || !text[0]) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text);
}

bool MainDialog::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) != IDM_ABOUTBOX) return false;  // the system's own commands
    show_about_box();
    return true;
}

void MainDialog::show_about_box() {
    about_dialog about;
    about.run_modal(hwnd());
}

void MainDialog::start_update_check() { PostMessageW(hwnd(), update_check_start_message, 0, 0); }

bool MainDialog::on_update_check_message(UINT msg) {
    if (msg == update_check_start_message) {
        update_check_.start(hwnd(), update_check_done_message);
        return true;
    }
    if (msg == update_check_done_message) {
        // The browser, when the check asks for it, opens from this thread.
        update_check_.apply();
        return true;
    }
    return false;
}

void MainDialog::stop_update_check() { update_check_.stop(1000); }

void MainDialog::restore_placement() {
    settings.restore_dialog_placement(hwnd(), placement_name);
    keep_controls_reachable();
}

void MainDialog::save_placement() { settings.save_dialog_placement(hwnd(), placement_name, nullptr); }

void MainDialog::OnCancel() {
    if (busy_) {
        // "終了" or the close box during a run (or while a list is read): a
        // run stops after its current file, then the window closes.
        stop_run();
        fill_stop_ = true;
        close_after_work_ = true;
        return;
    }
    stop_update_check();
    save_placement();
    dialog::OnCancel();
}

namespace {

// The shell's refusal of a launch, in a box.
void show_refusal(const shell_launcher& launcher) {
    if (!launcher.refusal().empty()) report_box(launcher.refusal(), 0, 0);
}

}  // namespace

bool MainDialog::store_in_use() const { return busy_ && !run_ && !filling_; }

void MainDialog::edit_in_notepad(const std::wstring& path) {
    shell_launcher launcher(hwnd());
    launcher.set_show(SW_SHOWNORMAL);
    // A "NotePad.exe" in the current folder is taken as it is; set_file
    // otherwise looks for the program in the usual folders.
    launcher.set_file(path_exists(L"NotePad.exe", false) ? std::wstring(L"NotePad.exe")
                                                         : find_program(L"NotePad.exe"));
    launcher.set_params(path);
    if (!launcher.execute()) show_refusal(launcher);
}

void MainDialog::OnEditIdo() { edit_in_notepad(recent_list_path()); }

void MainDialog::OnEditIlc() {
    if (store_in_use()) return;  // a list is being read into it
    UpdateData(true);
    int index = recent_list_box.cur_sel();
    std::vector<std::wstring> recent = store().get_recent();
    if (index < 0 || static_cast<size_t>(index) >= recent.size()) return;
    edit_in_notepad(recent[static_cast<size_t>(index)]);
}

void MainDialog::OnExplorer() {
    if (store_in_use()) return;
    shell_launcher launcher(hwnd());
    if (!launcher.explore(store().get_folder())) show_refusal(launcher);
}

void MainDialog::OnExplorerSrc() {
    if (store_in_use()) return;
    UpdateData(true);
    int index = file_list_box.cur_sel();
    std::vector<std::wstring> files = store().get_files();
    if (index < 0 || static_cast<size_t>(index) >= files.size()) return;
    shell_launcher launcher(hwnd());
    if (!launcher.explore(path_folder(files[static_cast<size_t>(index)]))) show_refusal(launcher);
}

}  // namespace quillet
