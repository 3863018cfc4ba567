// What quillet-cli's two front ends (a file list, a folder tree) share: their
// exit statuses, the output of text to standard output and error (wide text
// to a console, UTF-8 bytes to a pipe or file), the one-line progress shown
// in place on a console, the report of one copy run, and usage errors.
#pragma once
#include <string>
#include <vector>

#include "engine/copy_run.h"

namespace quillet {

constexpr int exit_done = 0;
constexpr int exit_unsaved = 1;
constexpr int exit_usage = 2;

// Writes text to STD_OUTPUT_HANDLE or STD_ERROR_HANDLE; a progress line shown
// on the same console is cleared first.
void write_out(unsigned long which, const std::wstring& text);
// Each line followed by "\n".
std::wstring lines_of(const std::vector<std::wstring>& lines);
// A heading line followed by one line per item, on standard error; nothing
// when there are no items.
void report_list(const std::wstring& heading, const std::vector<std::wstring>& items);
// A path followed by its reason in brackets, when there is one.
std::wstring with_reason(const std::wstring& path, const std::wstring& reason);

// True when standard error is a console, where a progress line can be shown.
bool progress_shown_on_console();
// Shows text as the console's progress line, over the one shown before
// (nothing when standard error is not a console).
void show_progress(const std::wstring& text);
// Removes the progress line.
void clear_progress();

// One copy run's report: its status lines on standard output; the files left
// alone with their reasons, the files kept unchanged, the false declarations
// and what could not be saved on standard error. Returns the exit status.
int report_run(const copy_run_result& run);

// The usage lines of both front ends.
extern const wchar_t usage_lines[];
// "quillet-cli: " + problem and the usage lines on standard error; exit_usage.
int usage_error(const std::wstring& problem);

// A whole decimal number with an optional sign; its value as the encoding
// drop-down would give it.
bool parse_code(const std::wstring& text, int& code);

// The value of option `name` given as "--name VALUE" or "--name=VALUE" at
// argv[i] (i moves past a separate value); false (problem set) when it is
// missing.
bool option_value(int argc, wchar_t** argv, int& i, const std::wstring& name, std::wstring& value,
                  std::wstring& problem);
// arg is option name, alone or as "name=VALUE".
bool is_option(const std::wstring& arg, const std::wstring& name);
// A count of workers, 1 to 64.
bool parse_jobs(const std::wstring& text, size_t& jobs);
// The value of --code or --jobs at argv[i], read as parse_code or parse_jobs
// read it; false (problem set) when it is missing or not a number they take.
bool code_option(int argc, wchar_t** argv, int& i, int& code, std::wstring& problem);
bool jobs_option(int argc, wchar_t** argv, int& i, size_t& jobs, std::wstring& problem);

}  // namespace quillet
