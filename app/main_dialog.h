// The main dialog: the program's only window. It shows the destination folder,
// the encoding drop-down, the recent list and the file list with each file's
// state, starts the copy run, takes dropped files and folders, and opens list
// files in Notepad and folders in Explorer.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog.h"
#include "app/run_progress.h"
#include "app/run_report.h"
#include "app/progress.h"
#include "app/taskbar_progress.h"
#include "settings/profile.h"
#include "tools/update_check.h"

namespace quillet {

// The encoding code of the drop-down's current item, which the item carries
// as its data; -1 when nothing is selected.
int selected_code(const combo_box& combo);

// The paths of a shell drop handle, in the shell's order.
std::vector<std::wstring> dropped_files(HDROP drop);

class MainDialog : public dialog {
public:
    MainDialog();
    ~MainDialog() override;

    // The program's settings profile (opened with an empty name): it keeps
    // the window placement.
    profile settings;

    // Controls, bound by id once the window exists.
    combo_box encoding_box;   // 1004
    edit_box folder_edit;     // 1003
    list_box file_list_box;   // 1002
    list_box recent_list_box; // 1001
    std::wstring folder_text; // the text of 1003
    // Below the lists once a run has ended: what the run did (1011), and what
    // became of the file of the selected line, and why (1012).
    HWND run_summary = nullptr;
    HWND line_note = nullptr;

    HICON icon() const { return icon_; }

    // Selects the drop-down item matching a folder list file's name.
    void select_code_for_list(const std::wstring& list_path);
    // folder_text = the store's folder, shown in the edit box.
    void show_folder();
    // Dialog data exchange of folder_text with control 1003: true reads the
    // control into folder_text, false writes folder_text into it.
    void UpdateData(bool save);

    // Handlers, public so that tests can call them as the messages would.
    BOOL OnInitDialog() override;
    void OnCancel() override;
    // Enter: opens the list selected in the recent list when that list has
    // the focus; anywhere else it does nothing (it never ends the program).
    void OnOK() override;
    void OnSize(UINT type, int cx, int cy);
    bool OnPaint();
    HICON OnQueryDragIcon();
    void OnDropFiles(HDROP drop);
    void OnCopy();
    // Work (a copy run, a list being read) is going on its own thread; the
    // copy button and the lists are disabled meanwhile.
    bool running() const { return work_thread_.joinable(); }
    // Esc during a run: the run stops after its current file; the window stays.
    void stop_run();
    void OnRecentSelect();
    // A line of the file list was selected: its note from the last run.
    void OnFileSelect();
    // The status lines of the list shown are still being made.
    bool filling() const { return filling_; }
    void OnReloadIdo();
    bool OnSysCommand(UINT id, LPARAM param);
    void OnEditIdo();
    void OnEditIlc();
    void OnExplorer();
    void OnExplorerSrc();
    // The window moved to a screen of another DPI (or the DPI changed): the
    // controls are scaled, the fonts made again and the controls laid out.
    void OnDpiChanged(int dpi, const RECT* suggested);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    // The smallest window that shows the whole button row and drop-down.
    SIZE min_window_size() const;

protected:
    bool handle_message(UINT msg, WPARAM wp, LPARAM lp, INT_PTR& result) override;
    bool on_command(int id, int code, HWND control) override;

    // The daily update check (tools/update_check.h); a seam, so that tests
    // of the window never reach for the network. It asks for the check to
    // begin once the window is up; the check then runs on its own thread.
    virtual void start_update_check();
    // The update check's messages (its start, its end); true when msg was one.
    bool on_update_check_message(UINT msg);
    // Stops a running update check, waiting for it at most about a second.
    void stop_update_check();

private:
    void bind_controls();
    void add_about_menu_entry();
    void set_text_font(HFONT ui_font);
    void stretch_controls();
    void restore_placement();
    // Grows a window restored too small for its controls (within the screen).
    void keep_controls_reachable();
    void save_placement();
    void show_about_box();
    // Runs a handler's work that reads files (a run, a list being read) on a
    // thread of its own, with the wait cursor and the controls that would
    // start other work disabled, then `then` on the window's thread; the
    // window is closed afterwards when "終了" or the close box was used
    // meanwhile. False when other work is in progress.
    bool in_background(std::function<void()> work, std::function<void()> then);
    void on_work_done();
    void enable_during_work(bool enable);
    // Work that opens a list: read() changes the store on the work's thread
    // (opens a list file, takes a drop); then, on the window's thread,
    // shown() and the store's names in the file list at once, the controls
    // usable again but those that start work; the status lines then fill in
    // behind the names, and done() follows once they all are.
    bool read_list_in_background(std::function<void()> read, std::function<void()> shown,
                                 std::function<void()> done = nullptr);
    // Runs task on the window's thread (from any thread), in the order given.
    void post_to_window(std::function<void()> task);
    void run_posted_task();
    // The file list shows files, each with its status columns blank.
    void show_names(const std::vector<std::wstring>& files);
    // Puts status lines in place of the lines from first on.
    void put_status_lines(size_t first, const std::vector<std::wstring>& lines);
    void end_fill();
    bool on_set_cursor(HWND over);
    // A list is being read into the store on the work's thread: handlers that
    // read the store wait until it is done (a copy run only reads it).
    bool store_in_use() const;
    // The summary and line note below the lists: shown with a run's report.
    bool report_shown() const;
    void show_report_lines(const std::wstring& summary);
    void show_line_note();
    void edit_in_notepad(const std::wstring& path);
    // The run's thread reported (kRunMessage): progress or a wait.
    void on_run_event(WPARAM event, LPARAM number);
    // After the run's thread has ended: the list, the boxes, the report.
    void finish_run();
    // The current entry's share done, in the title and on the taskbar.
    void show_entry_progress();

    HICON icon_ = nullptr;
    HFONT text_font_ = nullptr;    // folder box and lists
    HFONT dialog_font_ = nullptr;  // buttons and drop-down, once the DPI changed
    int dpi_ = 96;
    bool busy_ = false;  // a run or a list opening is in progress
    background_update_check update_check_;
    // The work in progress, if any: its thread and what follows it.
    std::thread work_thread_;
    std::function<void()> work_then_;
    std::unique_ptr<wait_cursor> work_cursor_;
    bool close_after_work_ = false;  // "終了" or the close box meanwhile
    HHOOK esc_hook_ = nullptr;       // takes Esc while work is going
    HWND focus_before_work_ = nullptr;
    // The copy run in progress, if any, and its meter.
    std::unique_ptr<run_link> run_;
    std::unique_ptr<progress_meter> meter_;
    bool run_waited_ = false;  // the meter shows a wait or a share of a file
    size_t meter_steps_ = 0;   // entries the meter has counted
    std::unique_ptr<taskbar_progress> taskbar_;
    std::vector<std::wstring> run_files_;  // the entries of the run in progress
    // The last run's report, shown until the next run.
    std::unique_ptr<run_report> report_;
    // The paths behind the file list's lines, in order.
    std::vector<std::wstring> shown_files_;
    // Status lines being made behind the names shown; stop ends that early.
    bool filling_ = false;
    int fill_extent_ = 0;  // the scroll extent of the status lines put so far
    std::atomic<bool> fill_stop_{false};
    std::mutex tasks_guard_;
    std::deque<std::function<void()>> tasks_;  // under tasks_guard_
};

}  // namespace quillet
