// Standard output and error of quillet-cli, its progress line and its report
// of a copy run.
#include "cli/console.h"

#include <windows.h>

#include <cwctype>

#include "base/paths.h"
#include "text/codepage.h"

namespace quillet {
namespace {

// The width of the progress line on the console now; 0 when none is shown.
size_t progress_width = 0;

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void write_console(HANDLE console, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

// Console windows get wide text; pipes and files get UTF-8 bytes.
void write_out(unsigned long which, const std::wstring& text) {
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || text.empty()) return;
    if (is_console(out)) {
        // Standard output may share the console with the progress line.
        clear_progress();
        write_console(out, text);
        return;
    }
    write_open_file(out, wide_to_utf8(text));
}

std::wstring lines_of(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\n";
    return text;
}

void report_list(const std::wstring& heading, const std::vector<std::wstring>& items) {
    if (!items.empty()) write_out(STD_ERROR_HANDLE, heading + L"\n" + lines_of(items));
}

std::wstring with_reason(const std::wstring& path, const std::wstring& reason) {
    return reason.empty() ? path : path + L"  (" + reason + L")";
}

bool progress_shown_on_console() { return is_console(GetStdHandle(STD_ERROR_HANDLE)); }

void show_progress(const std::wstring& text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!is_console(err)) return;
    // Written over the line shown before; a shorter text blanks what is left of it.
    std::wstring line = L"\r" + text;
    if (text.size() < progress_width) line += std::wstring(progress_width - text.size(), L' ');
    write_console(err, line);
    progress_width = text.size();
}

void clear_progress() {
    if (progress_width == 0) return;
    const size_t width = progress_width;
    progress_width = 0;
    write_console(GetStdHandle(STD_ERROR_HANDLE), L"\r" + std::wstring(width, L' ') + L"\r");
}

int report_run(const copy_run_result& run) {
    write_out(STD_OUTPUT_HANDLE, lines_of(run.entries));
    std::vector<std::wstring> left;
    for (size_t i = 0; i < run.not_updated.size(); ++i)
        left.push_back(with_reason(run.not_updated[i], i < run.reasons.size() ? run.reasons[i] : L""));
    report_list(L"Did not update.", left);
    for (const std::wstring& why : run.kept) write_out(STD_ERROR_HANDLE, why);
    report_list(L"Declared encoding differs.", run.false_declarations);
    if (!run.completed())
        report_list(L"Unable to save.", {with_reason(path_name(run.unsaved), run.unsaved_reason)});
    if (!run.list_saved && !run.list_record.empty())
        report_list(L"Unable to save.", {with_reason(run.list_record, L"the run's list record")});
    // What failed most decides.
    if (!run.completed() || (!run.list_saved && !run.list_record.empty())) return exit_unsaved;
    return run.failed > 0 || !run.same_name.empty() ? exit_unsaved : exit_done;
}

const wchar_t usage_lines[] =
    L"usage: quillet-cli [--code N] [--status] [--jobs N] [--] PATH...\n"
    L"       quillet-cli --code N [--status] [--jobs N] --tree SOURCE DEST\n"
    L"                   [--include PATTERN]... [--exclude PATTERN]...\n"
    L"       quillet-cli --help | --version\n";

int usage_error(const std::wstring& problem) {
    write_out(STD_ERROR_HANDLE, L"quillet-cli: " + problem + L"\n" + usage_lines +
                                    L"Try 'quillet-cli --help' for more.\n");
    return exit_usage;
}

bool parse_code(const std::wstring& text, int& code) {
    size_t i = (!text.empty() && (text[0] == L'-' || text[0] == L'+')) ? 1 : 0;
    if (i >= text.size()) return false;
    for (size_t j = i; j < text.size(); ++j) {
        if (!std::iswdigit(text[j])) return false;
    }
    code = code_from_item_text(text);
    return true;
}

bool parse_jobs(const std::wstring& text, size_t& jobs) {
    if (text.empty() || text.size() > 2) return false;
    for (wchar_t c : text) {
        if (!std::iswdigit(c)) return false;
    }
    jobs = static_cast<size_t>(std::stoi(text));
    return jobs >= 1 && jobs <= 64;
}

bool option_value(int argc, wchar_t** argv, int& i, const std::wstring& name, std::wstring& value,
                  std::wstring& problem) {
    const std::wstring arg = argv[i];
    if (arg.size() > name.size()) {
        value = arg.substr(name.size() + 1);
        return true;
    }
    if (i + 1 >= argc) {
        problem = name + L" needs a value";
        return false;
    }
    value = argv[++i];
    return true;
}

bool is_option(const std::wstring& arg, const std::wstring& name) {
    return arg == name || arg.rfind(name + L"=", 0) == 0;
}

bool code_option(int argc, wchar_t** argv, int& i, int& code, std::wstring& problem) {
    std::wstring value;
    if (!option_value(argc, argv, i, L"--code", value, problem)) return false;
    if (parse_code(value, code)) return true;
    problem = L"--code needs a number, not \"" + value + L"\"";
    return false;
}

bool jobs_option(int argc, wchar_t** argv, int& i, size_t& jobs, std::wstring& problem) {
    std::wstring value;
    if (!option_value(argc, argv, i, L"--jobs", value, problem)) return false;
    if (parse_jobs(value, jobs)) return true;
    problem = L"--jobs needs a number from 1 to 64, not \"" + value + L"\"";
    return false;
}

}  // namespace quillet
