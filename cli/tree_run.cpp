// The tree front end of quillet-cli:
//
//   quillet-cli --code N [--status] [--jobs N] --tree SOURCE DEST
//               [--include PATTERN]... [--exclude PATTERN]...
//
// The source tree is walked folder by folder (engine/tree.h); each folder's
// files go to the same relative folder below DEST in one copy run of their
// own, without a list record, so every rule of a list run (newer destinations
// left alone, Rescue, times, the folder's lock, the same-name rule) holds per
// folder. Only one folder's files are held at a time.
#include "cli/tree_run.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "base/paths.h"
#include "cli/console.h"
#include "engine/copy_run.h"
#include "engine/entries.h"
#include "engine/run_observer.h"
#include "engine/tree.h"

namespace quillet {
namespace {

struct tree_arguments {
    bool status = false;
    bool has_code = false;
    int code = 0;
    // Accepted and checked; the runs work on one file at a time.
    size_t jobs = 0;  // 0: one per processor
    std::wstring source, dest;
    tree_filter filter;
};

bool parse_tree_arguments(int argc, wchar_t** argv, tree_arguments& args, std::wstring& problem) {
    bool has_tree = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        std::wstring value;
        if (arg == L"--tree") {
            if (has_tree || i + 2 >= argc) {
                problem = has_tree ? L"--tree given twice" : L"--tree needs SOURCE and DEST";
                return false;
            }
            has_tree = true;
            args.source = argv[++i];
            args.dest = argv[++i];
        } else if (arg == L"--status") {
            args.status = true;
        } else if (is_option(arg, L"--code")) {
            if (!code_option(argc, argv, i, args.code, problem)) return false;
            args.has_code = true;
        } else if (is_option(arg, L"--jobs")) {
            if (!jobs_option(argc, argv, i, args.jobs, problem)) return false;
        } else if (is_option(arg, L"--include") || is_option(arg, L"--exclude")) {
            const std::wstring name = arg.substr(0, 9);
            if (!option_value(argc, argv, i, name, value, problem)) return false;
            const bool taken = name == L"--include" ? args.filter.include(value) : args.filter.exclude(value);
            if (!taken) {
                problem = name + L" needs a pattern, not \"" + value + L"\"";
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == L'-') {
            problem = L"unknown option " + arg;
            return false;
        } else {
            problem = L"unexpected argument " + arg + L" (a tree run takes SOURCE and DEST after --tree)";
            return false;
        }
    }
    if (!args.has_code) {
        problem = L"--tree needs --code N";
        return false;
    }
    // Relative folders start at the current folder.
    const std::wstring source = full_path(args.source), dest = full_path(args.dest);
    if (source.empty() || !folder_exists(source)) {
        problem = L"no such folder: " + args.source;
        return false;
    }
    if (dest.empty() || (path_exists(dest, false) && !folder_exists(dest))) {
        problem = L"DEST is not a folder: " + args.dest;
        return false;
    }
    args.source = source;
    args.dest = dest;
    problem = tree_overlap(source, dest);
    return problem.empty();
}

// "1 file" / "2 files".
std::wstring count_of(size_t n, const wchar_t* one, const wchar_t* many) {
    return std::to_wstring(n) + L" " + (n == 1 ? one : many);
}

// What the tree run did, counted as the engine reports each entry, and the
// progress line kept up to date from it.
class tree_counts : public run_observer {
public:
    size_t found = 0;  // files the walk has found so far
    size_t done = 0;   // files handled (or refused) so far
    size_t converted = 0, current = 0, left_alone = 0, failed = 0;
    std::vector<std::pair<std::wstring, size_t>> copied;  // reason, count; in the order first met

    void entry_done(size_t, const entry_outcome& outcome) override {
        switch (outcome.result) {
        case entry_result::converted: ++converted; break;
        case entry_result::up_to_date: ++current; break;
        case entry_result::copied: add_copied(outcome.reason); break;
        case entry_result::left_alone: ++left_alone; break;
        default: ++failed; break;
        }
        ++done;
        tick();
    }
    void waiting(const std::wstring& path, const std::wstring& reason) override {
        write_out(STD_ERROR_HANDLE, L"Waiting (" + reason + L"): " + path + L"\n");
    }

    // The progress line, at most every tenth of a second, on a console only.
    void tick() {
        if (!on_console_) return;
        const ULONGLONG time = GetTickCount64();
        if (time - last_shown_ < 100) return;
        last_shown_ = time;
        show_progress(L"quillet-cli: " + std::to_wstring(done) + L" of " + count_of(found, L"file", L"files"));
    }

    std::wstring summary() const {
        std::wstring text = L"quillet-cli: " + count_of(done, L"file", L"files") + L": " +
                            std::to_wstring(converted) + L" converted, " + std::to_wstring(current) +
                            L" already current, ";
        size_t copies = 0;
        std::wstring reasons;
        for (const auto& reason : copied) {
            copies += reason.second;
            reasons += (reasons.empty() ? L"" : L", ") + std::to_wstring(reason.second) + L" " + reason.first;
        }
        text += std::to_wstring(copies) + L" copied unchanged";
        if (!reasons.empty()) text += L" (" + reasons + L")";
        return text + L", " + std::to_wstring(left_alone) + L" left alone, " + std::to_wstring(failed) +
               L" failed\n";
    }

private:
    void add_copied(const std::wstring& reason) {
        for (auto& known : copied) {
            if (known.first == reason) {
                ++known.second;
                return;
            }
        }
        copied.emplace_back(reason, 1);
    }

    bool on_console_ = progress_shown_on_console();
    ULONGLONG last_shown_ = 0;
};

// The walk's skips on standard error, under one heading; true when one of
// them is a failure (a folder that cannot be listed), not merely a link.
bool report_skips(std::vector<tree_skip>& skipped, size_t& left_alone, size_t& failed) {
    std::vector<std::wstring> lines;
    bool any_failed = false;
    for (const tree_skip& skip : skipped) {
        lines.push_back(with_reason(skip.path, skip.reason));
        ++(skip.failed ? failed : left_alone);
        any_failed = any_failed || skip.failed;
    }
    report_list(L"Skipped.", lines);
    skipped.clear();
    return any_failed;
}

// The full paths of a folder's files, in its order.
std::vector<std::wstring> source_paths(const tree_walk& walk, const tree_folder& folder) {
    const std::wstring base = path_add_sep(tree_path(walk.root(), folder.rel));
    std::vector<std::wstring> paths;
    paths.reserve(folder.files.size());
    for (const std::wstring& name : folder.files) paths.push_back(base + name);
    return paths;
}

// --status: each folder's status lines as a run into its mirror would see
// them; nothing is written.
int show_tree_status(const tree_arguments& args) {
    tree_walk walk(args.source, args.filter);
    tree_folder folder;
    std::vector<tree_skip> skipped;
    size_t files = 0, to_write = 0, left_alone = 0, failed = 0;
    int status = exit_done;
    while (walk.next(folder, skipped)) {
        if (report_skips(skipped, left_alone, failed)) status = exit_unsaved;
        if (folder.files.empty()) continue;
        const std::wstring refusal = mirror_folder_refusal(args.dest, folder.rel, false);
        if (!refusal.empty()) {
            report_list(L"Skipped.", {with_reason(tree_path(walk.root(), folder.rel), refusal)});
            failed += folder.files.size();
            status = exit_unsaved;
            continue;
        }
        const std::vector<std::wstring> lines =
            file_entries(tree_path(args.dest, folder.rel), source_paths(walk, folder));
        for (const std::wstring& line : lines) {
            if (line.size() > 1 && line[1] == L'<') ++to_write;
        }
        files += lines.size();
        write_out(STD_OUTPUT_HANDLE, lines_of(lines));
    }
    write_out(STD_ERROR_HANDLE, L"quillet-cli: " + count_of(files, L"file", L"files") + L": " +
                                    std::to_wstring(to_write) + L" to be written, " +
                                    std::to_wstring(left_alone) + L" left alone, " +
                                    std::to_wstring(failed) + L" failed\n");
    return status;
}

// The run: one copy run per folder with files, in the walk's order. A
// destination that cannot be written ends the whole run there.
int convert_tree(const tree_arguments& args) {
    tree_walk walk(args.source, args.filter);
    tree_folder folder;
    std::vector<tree_skip> skipped;
    tree_counts counts;
    int status = exit_done;
    while (walk.next(folder, skipped)) {
        if (report_skips(skipped, counts.left_alone, counts.failed)) status = std::max(status, exit_unsaved);
        if (folder.files.empty()) continue;
        counts.found += folder.files.size();
        counts.tick();
        copy_request request;
        request.dest_folder = tree_path(args.dest, folder.rel);
        request.code = args.code;
        request.write_record = false;
        request.jobs = args.jobs;
        request.files = source_paths(walk, folder);
        const std::wstring refusal = mirror_folder_refusal(args.dest, folder.rel, true);
        if (!refusal.empty()) {
            std::vector<std::wstring> lines;
            for (const std::wstring& src : request.files) lines.push_back(with_reason(src, refusal));
            report_list(L"Did not update.", lines);
            counts.failed += request.files.size();
            counts.done += request.files.size();
            status = std::max(status, exit_unsaved);
            continue;
        }
        const copy_run_result run = copy_run(request, &counts);
        status = std::max(status, report_run(run));
        if (!run.completed()) break;
    }
    write_out(STD_ERROR_HANDLE, counts.summary());
    return status;
}

}  // namespace

bool names_a_tree(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--") return false;
        if (arg == L"--tree") return true;
    }
    return false;
}

int run_tree(int argc, wchar_t** argv) {
    tree_arguments args;
    std::wstring problem;
    if (!parse_tree_arguments(argc, argv, args, problem)) return usage_error(problem);
    return args.status ? show_tree_status(args) : convert_tree(args);
}

}  // namespace quillet
