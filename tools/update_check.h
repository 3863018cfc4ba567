// The daily update check: once a day the download page of the update server is
// fetched and compared with the copy fetched last time; each real change
// raises the "update count" in Tool.ini, and when it passes 5 the page is
// opened in the browser and the count starts again.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "base/handles.h"
#include "settings/tool_settings.h"
#include "tools/http_fetch.h"

namespace quillet {

// The update server used when Tool.ini names none ([IR_update] "server_name"):
// a reserved name that never resolves, so that no stranger's host is asked.
extern const wchar_t default_update_server[];
// [IR_update] "path_name" when Tool.ini names none.
extern const wchar_t default_update_path[];

// The page address without scheme: "//" + server + "/" + path.
std::wstring update_url();

// How long one check may take, downloads and comparison included.
constexpr DWORD update_check_budget_ms = default_budget_ms;

// What a check found and decided.
struct update_outcome {
    bool ran = false;           // false when it had already run today
    bool changed = false;       // the page changed since the last good download
    bool open_browser = false;  // the count passed 5: the page is to be shown
    std::wstring address;       // "https:" + the page address
};

// The check's work, on any thread: unless it already ran today (a page or a
// failure note written today tells), downloads the page within control's
// bounds, compares it with the last good one and raises the count on a
// change. A failed download is noted (and so counts as today's try) and
// changes nothing else; a stopped check leaves nothing behind. Opens nothing.
update_outcome run_update_check(fetch_control& control);
// On the user-interface thread: when the outcome says so, opens the page in
// the browser and starts the count again.
void apply_update_outcome(const update_outcome& outcome);
// Both, on the calling thread; true when the page changed in this run. Notes
// go to the standard error stream only.
bool check_for_update();

// The work of a background check: run_update_check, or a stand-in in tests.
using update_work = update_outcome (*)(fetch_control& control);

// The check on a thread of its own, so that the window never waits for the
// network: start() begins it and posts done_message to window when it has
// ended; apply() then acts on its outcome on the window's thread. Ending the
// object stops the check and waits for it at most about a second; a thread
// that has not ended by then is left to the end of the process (see
// end_process_if_update_check_alive).
class background_update_check {
public:
    background_update_check() = default;
    ~background_update_check();
    background_update_check(const background_update_check&) = delete;
    background_update_check& operator=(const background_update_check&) = delete;

    bool start(HWND window, UINT done_message, update_work work = run_update_check);
    bool started() const { return static_cast<bool>(state_); }
    bool finished() const;
    // Asks the check to stop and waits at most wait_ms for it to end; true
    // when it has ended (or never started).
    bool stop(DWORD wait_ms);
    // Applies the outcome of a finished check once; false before it ended.
    bool apply();

    // What the check's thread shares with this object.
    struct state;

private:
    std::shared_ptr<state> state_;
    unique_handle thread_;
    bool applied_ = false;
    bool stop_asked_ = false;
};

// True while the thread of any background check is still running, also one
// whose object has stopped waiting for it.
bool update_check_alive();
// For the program's entry point, as it returns: when a check's thread is still
// running (blocked in a name lookup, say), the runtime must not destroy this
// program's objects around it. The deferred removals that would run at exit
// are then worked off here and the process ends with exit_code (which ends
// that thread first); otherwise this returns and the program ends normally.
void end_process_if_update_check_alive(UINT exit_code);

// text with a line break after the closing tags </div>, </script>, </span>,
// </li>, </a>, before the opening tags <div, <script, <span, <style, <img,
// <li, <ul, <ol that follow a ">", after "/>" and after ");".
std::wstring html_line_breaks(const std::wstring& text);
// The non-empty lines of text (cut at CR LF, and at a lone LF or CR), each
// followed by CR LF.
std::wstring normalize_lines(const std::wstring& text);
// True when both texts are equal after normalize_lines and with "https:" read
// as "http:".
bool same_page(const std::wstring& old_page, const std::wstring& new_page);
// Writes text as UTF-8 and UTF-16 side copies (x.utf_8.txt, x.utf16.txt) in the
// dated working folder, then its normalize_lines form as UTF-16 to path.
bool write_compare_file(const std::wstring& path, const std::wstring& text);
// Writes both pages, broken at their tags, as comparison files; true when they
// differ, and then "fc" (when there is one) writes its report file beside them.
// The file compare program runs no longer than control allows.
bool pages_differ(const std::wstring& old_page, const std::wstring& new_page,
                  fetch_control* control = nullptr);

// The settings object of the check (Tool.ini, or the file given to
// set_update_settings_file).
tool_settings update_settings();
// Makes the check keep its settings in another INI file ("" for Tool.ini).
void set_update_settings_file(const std::wstring& ini_file);

// The comparison files of the last pages_differ call: stamp + "o.txt",
// stamp + "n.txt" and the report stamp + "_.txt" in the dated working folder.
struct compare_files {
    std::wstring old_file, new_file, report;
};
compare_files last_compare_files();

}  // namespace quillet
