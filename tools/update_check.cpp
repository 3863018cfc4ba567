#include "tools/update_check.h"

#include <windows.h>
#include <shlobj.h>

#include <process.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <exception>

#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "text/encodings.h"
#include "engine/file_io.h"
#include "engine/store.h"
#include "base/diagnostic.h"
#include "tools/http_fetch.h"
#include "tools/shell_launcher.h"
#include "tools/which.h"

namespace quillet {

const wchar_t default_update_server[] = L"quillet-update.invalid";
const wchar_t default_update_path[] = L"n_Bench/download/";

namespace {

const wchar_t section[] = L"IR_update";

std::wstring& settings_file() {
    static std::wstring file;
    return file;
}

int compare_counter = 0;
compare_files last_files;

// path with its extension replaced by ext.
std::wstring with_ext(const std::wstring& path, const std::wstring& ext) {
    std::wstring old = path_ext(path);
    std::wstring stem = old.empty() ? path : path.substr(0, path.size() - old.size() - 1);
    return stem + L"." + ext;
}

// x.txt in the dated working folder as x.<kind>.txt.
std::wstring side_name(const std::wstring& path, const std::wstring& kind) {
    std::wstring side = path_add_sep(dated_work_folder(), L"\\") + path_name(path);
    std::wstring ext = path_ext(side);
    return with_ext(side, kind) + (ext.empty() ? L"" : L"." + ext);
}

// Runs "fc /U old new > report" through the command processor, in the folder
// of the files: only their plain names appear in the command (the arguments
// quoted), so nothing in the folder's path can change what runs.
bool run_file_compare(const compare_files& files, fetch_control* control) {
    const std::wstring folder = path_folder(files.report);
    std::wstring line = L"\"" + command_processor() + L"\" /c fc  /U \"" +
                        path_name(files.old_file) + L"\" \"" + path_name(files.new_file) +
                        L"\" > " + path_name(files.report);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring app = command_processor();
    if (!CreateProcessW(app.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &startup, &process)) {
        error_note(L"fc   Can't start   " + app);
        return false;
    }
    unique_handle process_handle(process.hProcess);
    unique_handle thread_handle(process.hThread);
    // Waited for in short steps: a check that is stopped or out of time ends
    // the comparison too.
    fetch_control own(default_budget_ms);
    fetch_control& limits = control ? *control : own;
    while (WaitForSingleObject(process.hProcess, 100) == WAIT_TIMEOUT) {
        if (limits.expired()) {
            TerminateProcess(process.hProcess, 1);
            error_note(L"fc   stopped");
            return false;
        }
    }
    return true;
}

// The note of a failed download: the page file with the extension "txt" (or
// with ".txt" added when the page already is a .txt file).
std::wstring note_file_of(const std::wstring& page) {
    std::wstring note = with_ext(page, L"txt");
    return note == page ? page + L".txt" : note;
}

bool written_today(const std::wstring& path) {
    file_status status(path);
    return !status.failed() && time_text(status.mtime(), L"%Y/%m/%d") == now_text(L"%Y/%m/%d");
}

}  // namespace

void set_update_settings_file(const std::wstring& ini_file) { settings_file() = ini_file; }

tool_settings update_settings() {
    if (settings_file().empty()) return tool_settings();
    return tool_settings(settings_file());
}

compare_files last_compare_files() { return last_files; }

std::wstring update_url() {
    std::wstring server = update_settings().get_string(section, L"server_name", default_update_server);
    std::wstring path = update_settings().get_string(section, L"path_name", default_update_path);
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) path.erase(0, 1);
    if (!server.empty() && (server.back() == L'\\' || server.back() == L'/')) server.pop_back();
    std::wstring url = path_normalize(server + L"/" + path, L"/");
    if (url.empty() || (url[0] != L'\\' && url[0] != L'/')) url = L"//" + url;
    return url;
}

std::wstring html_line_breaks(const std::wstring& text) {
    static const wchar_t* const pairs[][2] = {
        {L"</div>", L"</div>\r\n"},       {L"</script>", L"</script>\r\n"},
        {L"</span>", L"</span>\r\n"},     {L"</li>", L"</li>\r\n"},
        {L"</a>", L"</a>\r\n"},           {L"><div", L">\r\n<div"},
        {L"><script", L">\r\n<script"},   {L"><span", L">\r\n<span"},
        {L"><style", L">\r\n<style"},     {L"><img", L">\r\n<img"},
        {L"><li", L">\r\n<li"},           {L"><ul", L">\r\n<ul"},
        {L"><ol", L">\r\n<ol"},           {L"/><", L"/>\r\n<"},
        {L");", L");\r\n"}};
    std::wstring result = text;
    for (const auto& pair : pairs) result = replace_all(std::move(result), pair[0], pair[1]);
    return result;
}

std::wstring normalize_lines(const std::wstring& text) {
    // A lone LF or CR ends a line as CR LF does, so that pages differing only
    // in their kind of line end read the same.
    std::wstring lines = replace_all(replace_all(text, L"\r\n", L"\n"), L"\r", L"\n");
    lines = replace_all(std::move(lines), L"\n", L"\r\n");
    // lines_text(drop_empty(split_text(lines, "\r\n", true))) in one pass,
    // without a string per line: a line that starts with a quote runs to the
    // closing quote as split_text has it, line ends inside included.
    std::wstring out;
    out.reserve(lines.size() + 2);
    size_t pos = 0;
    while (pos < lines.size()) {
        const wchar_t first = lines[pos];
        size_t from = pos;
        if (first == L'"' || first == L'\'') {
            from = lines.find(first, pos + 1);
            if (from != std::wstring::npos) ++from;
        }
        const size_t found = from == std::wstring::npos ? from : lines.find(L"\r\n", from);
        const size_t end = found == std::wstring::npos ? lines.size() : found;
        if (end > pos) out.append(lines, pos, end - pos).append(L"\r\n");
        if (found == std::wstring::npos) break;
        pos = found + 2;
    }
    return out;
}

bool same_page(const std::wstring& old_page, const std::wstring& new_page) {
    return replace_all(normalize_lines(old_page), L"https:", L"http:") ==
           replace_all(normalize_lines(new_page), L"https:", L"http:");
}

bool write_compare_file(const std::wstring& path, const std::wstring& text) {
    write_file_bytes(side_name(path, L"utf_8"), utf8_form(text, false));
    const std::wstring utf16 = side_name(path, L"utf16");
    write_file_bytes(utf16, utf16_text_form(text));
    return write_file_bytes(path, utf16_text_form(normalize_lines(read_whole_text(utf16))));
}

bool pages_differ(const std::wstring& old_page, const std::wstring& new_page,
                  fetch_control* control) {
    const std::wstring o = html_line_breaks(old_page);
    const std::wstring n = html_line_breaks(new_page);
    ++compare_counter;
    wchar_t number[16];
    swprintf(number, 16, L"%02d", compare_counter);
    const std::wstring stamp =
        path_add_sep(dated_work_folder(), L"\\") + now_text(L"%H%M_") + number;
    last_files = {stamp + L"o.txt", stamp + L"n.txt", stamp + L"_.txt"};

    write_compare_file(last_files.old_file, o);
    write_compare_file(last_files.new_file, n);
    if (path_exists(last_files.old_file, false) && path_exists(last_files.new_file, false) &&
        read_whole_text(last_files.old_file) == read_whole_text(last_files.new_file)) {
        error_note(L"no update");
        return false;
    }
    if (!get_which(L"fc").empty()) {
        run_file_compare(last_files, control);
        error_note(L"changed");
    }
    return true;
}

update_outcome run_update_check(fetch_control& control) {
    update_outcome outcome;
    const std::wstring url = update_url();
    const std::wstring page = local_file_of(url);
    const std::wstring note_file = note_file_of(page);
    // Once a day, whether the day's try brought a page or only a note.
    if (written_today(page) || written_today(note_file)) return outcome;

    const std::wstring old_page = read_whole_text(page);
    const bool fetched = fetch_page(url, &control);
    // A stopped download leaves no trace that would count as today's try (a
    // download that was stopped keeps nothing, see http_get).
    if (!fetched && control.stopped()) return outcome;
    outcome.ran = true;
    outcome.address = L"https:" + url;
    if (!fetched) {
        // A failed download tells nothing about the page: it is noted (the
        // note keeps the day's try) and the last good page stays the baseline.
        const std::wstring note =
            url + L"\r\n" + url_to_local_name(url) + L"\r\n" + note_file + L"\r\n";
        error_note(note);
        write_file_bytes(note_file, utf16_text_form(note));
    } else {
        const std::wstring new_page = read_whole_text(page);
        if (old_page.empty()) {
            error_note(L"new");
        } else if (same_page(old_page, new_page)) {
            error_note(L"no update");
        } else {
            outcome.changed = pages_differ(old_page, new_page, &control);
        }
    }

    if (outcome.changed) {
        uint32_t count = update_settings().get_dword(section, L"update count", 3);
        update_settings().set_dword(section, L"update count", count + 1);
    }
    outcome.open_browser = update_settings().get_dword(section, L"update count", 3) > 5;
    return outcome;
}

void apply_update_outcome(const update_outcome& outcome) {
    if (!outcome.open_browser) return;
    open_web_address(outcome.address);
    update_settings().set_dword(section, L"update count", 0);
}

bool check_for_update() {
    fetch_control control(update_check_budget_ms);
    const update_outcome outcome = run_update_check(control);
    apply_update_outcome(outcome);
    return outcome.changed;
}

struct background_update_check::state {
    fetch_control control{update_check_budget_ms};
    update_work work = run_update_check;
    HWND window = nullptr;
    UINT message = 0;
    update_outcome outcome;
    std::atomic<bool> done{false};
};

namespace {

// Threads of background checks still running. Constant-initialised and never
// destroyed, so a thread may count itself out at any time.
std::atomic<int> live_check_threads{0};

unsigned __stdcall update_thread(void* argument) {
    // The thread owns its share of the state: the object that started it may
    // be gone (the window closed) before the check ends.
    std::shared_ptr<background_update_check::state> shared =
        *static_cast<std::shared_ptr<background_update_check::state>*>(argument);
    delete static_cast<std::shared_ptr<background_update_check::state>*>(argument);
    try {
        shared->outcome = shared->work(shared->control);
    } catch (const std::exception& e) {
        error_note(L"update check failed: " + std::wstring(e.what(), e.what() + strlen(e.what())));
    } catch (...) {
        error_note(L"update check failed");
    }
    shared->done = true;
    if (shared->window) PostMessageW(shared->window, shared->message, 0, 0);
    shared.reset();
    --live_check_threads;
    return 0;
}

}  // namespace

// A close that has already waited for the check does not wait again.
background_update_check::~background_update_check() { stop(stop_asked_ ? 0 : 1000); }

bool background_update_check::start(HWND window, UINT done_message, update_work work) {
    if (state_) return false;
    state_ = std::make_shared<state>();
    state_->window = window;
    state_->message = done_message;
    state_->work = work;
    auto* argument = new std::shared_ptr<state>(state_);
    ++live_check_threads;
    uintptr_t thread = _beginthreadex(nullptr, 0, &update_thread, argument, 0, nullptr);
    if (!thread) {
        --live_check_threads;
        delete argument;
        error_note(L"update check   Can't start its thread");
        state_->done = true;
        return false;
    }
    thread_.reset(reinterpret_cast<HANDLE>(thread));
    return true;
}

bool background_update_check::finished() const { return state_ && state_->done; }

bool background_update_check::stop(DWORD wait_ms) {
    if (!state_) return true;
    stop_asked_ = true;
    state_->control.stop();
    if (!thread_) return true;
    return WaitForSingleObject(thread_.get(), wait_ms) == WAIT_OBJECT_0;
}

bool background_update_check::apply() {
    if (!finished() || applied_) return false;
    applied_ = true;
    apply_update_outcome(state_->outcome);
    return true;
}

bool update_check_alive() { return live_check_threads > 0; }

void end_process_if_update_check_alive(UINT exit_code) {
    if (!update_check_alive()) return;
    error_note(L"update check   still running at exit");
    // The lock under which lookups queue their removals stays taken: a check
    // that wakes now waits there until the process ends.
    batch_exit_ops_guard().lock();
    for (exit_ops* ops : {&batch_exit_ops(), &aged_exit_ops()}) {
        ops->copy_now();
        ops->remove_now();
    }
    std::fflush(nullptr);
    ExitProcess(exit_code);
}

}  // namespace quillet
