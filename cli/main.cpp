// quillet-cli: the console front end. Takes its paths as a drop onto the main
// window takes them, then performs one copy run (or, with --status, only shows
// what a run would do) and prints the file list's status lines as UTF-8.
//
//   quillet-cli [--code N] [--status] PATH...
//
// Exit status: 0 when the run completed, 1 when a destination could not be
// written, 2 for a usage error.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "base/codepage.h"
#include "base/paths.h"
#include "engine/copy_run.h"
#include "engine/intake.h"
#include "engine/store.h"

namespace {

using namespace quillet;

constexpr int exit_done = 0;
constexpr int exit_unsaved = 1;
constexpr int exit_usage = 2;

// Console windows get wide text; pipes and files get UTF-8 bytes.
void write_out(DWORD which, const std::wstring& text) {
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::vector<uint8_t> bytes = wide_to_utf8(text);
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(out, bytes.data() + done, chunk, &written, nullptr) || written == 0) return;
        done += written;
    }
}

void write_lines(DWORD which, const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\n";
    write_out(which, text);
}

int usage(const std::wstring& problem) {
    if (!problem.empty()) write_out(STD_ERROR_HANDLE, L"quillet-cli: " + problem + L"\n");
    write_out(STD_ERROR_HANDLE,
              L"usage: quillet-cli [--code N] [--status] PATH...\n"
              L"  PATH      folders (their _copy_.ilc), one .ilc list file, text files\n"
              L"  --code N  target: 0 copy, 8 UTF-8, 16 UTF-16, 74 Shift_JIS\n"
              L"            (default: by the name of the last opened list)\n"
              L"  --status  print the status lines only; change nothing\n");
    return exit_usage;
}

// A whole decimal number with an optional sign; its value as the encoding
// drop-down would give it.
bool parse_code(const std::wstring& text, int& code) {
    size_t i = (!text.empty() && (text[0] == L'-' || text[0] == L'+')) ? 1 : 0;
    if (i >= text.size()) return false;
    for (size_t j = i; j < text.size(); ++j) {
        if (!std::iswdigit(text[j])) return false;
    }
    code = code_from_item_text(text);
    return true;
}

// A drop always brings full paths; a command line may bring relative ones,
// which are taken from the current folder (a bare "x.ilc" would otherwise have
// the folder "\\", the root of the drive).
std::wstring full_path(const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring out(n, L'\0');
    n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(out.size()), &out[0], nullptr);
    if (n == 0 || n >= out.size()) return path;
    out.resize(n);
    return out;
}

struct arguments {
    bool status = false;
    bool has_code = false;
    int code = -1;
    std::vector<std::wstring> paths;
};

// Empty problem text and true on success.
bool parse_arguments(int argc, wchar_t** argv, arguments& args, std::wstring& problem) {
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (!options_done && arg == L"--") {
            options_done = true;
        } else if (!options_done && arg == L"--status") {
            args.status = true;
        } else if (!options_done && arg == L"--code") {
            if (i + 1 >= argc || !parse_code(argv[i + 1], args.code)) {
                problem = L"--code needs a number";
                return false;
            }
            args.has_code = true;
            ++i;
        } else if (!options_done && arg.size() > 1 && arg[0] == L'-') {
            problem = L"unknown option " + arg;
            return false;
        } else if (!arg.empty()) {
            args.paths.push_back(full_path(arg));
        }
    }
    if (args.paths.empty()) {
        problem = L"no PATH given";
        return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    arguments args;
    std::wstring problem;
    if (!parse_arguments(argc, argv, args, problem)) return usage(problem);

    // The store starts as the main window leaves it when it opens: the dated
    // working folder as destination and the recent-lists file's place known.
    copy_list_store& s = store();
    s.set_recent_path(recent_list_path());
    s.set_folder(dated_work_folder());

    drop_options options;
    options.record_recent = false;
    const drop_result drop = take_drop(args.paths, options);
    if (!drop.not_text.empty()) {
        std::wstring names;
        for (const std::wstring& path : drop.not_text) names += path_name(path) + L"\n";
        write_out(STD_ERROR_HANDLE, L"Not a text file.\n" + names);
    }

    if (args.status) {
        write_lines(STD_OUTPUT_HANDLE, s.file_entries());
        return exit_done;
    }

    // Without --code the target follows the last opened list, as the encoding
    // drop-down does; with no list opened nothing is selected there (-1).
    const int code = args.has_code ? args.code : drop.code;
    const copy_run_result run = copy_run(code);
    write_lines(STD_OUTPUT_HANDLE, run.entries);
    if (!run.not_updated.empty()) {
        std::wstring text = L"Did not update.\n";
        for (const std::wstring& path : run.not_updated) text += path + L"\n";
        write_out(STD_ERROR_HANDLE, text);
    }
    for (const std::wstring& why : run.kept) write_out(STD_ERROR_HANDLE, why);
    if (!run.completed()) {
        write_out(STD_ERROR_HANDLE, L"Unable to save.\n" + path_name(run.unsaved) + L"\n");
        return exit_unsaved;
    }
    return exit_done;
}
