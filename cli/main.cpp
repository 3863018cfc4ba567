// quillet-cli: the console front end. Takes its paths as a drop onto the main
// window takes them, then performs one copy run (or, with --status, only shows
// what a run would do) and prints the file list's status lines as UTF-8.
// With --tree it mirrors a whole folder tree instead (cli/tree_run.cpp).
//
//   quillet-cli [--code N] [--status] [--] PATH...
//   quillet-cli --code N [--status] [--jobs N] --tree SOURCE DEST [--include P]... [--exclude P]...
//   quillet-cli --help | --version
//
// Exit status: 0 when every file was handled, 1 when anything failed (a
// destination or the run's list record could not be written, the list file
// could not be read, or some files could not be read or backed up), 2 for a
// usage error (a missing PATH among them); see help_text.
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "base/paths.h"
#include "cli/console.h"
#include "cli/tree_run.h"
#include "engine/copy_run.h"
#include "engine/intake.h"
#include "engine/store.h"
#include "quillet_version.h"

namespace {

using namespace quillet;

void report_not_text(const drop_result& drop) {
    std::vector<std::wstring> names;
    for (const std::wstring& path : drop.not_text) names.push_back(path_name(path));
    report_list(L"Not a text file.", names);
}

// ---------------------------------------------------------------------------
// Help and version texts

std::wstring version_text() { return L"quillet-cli " QUILLET_VERSION L"\n"; }

std::wstring help_text() {
    return version_text() +
           L"Copies the files of a file list into a destination folder, converting\n"
           L"text files to the chosen encoding, as the quillet window does.\n"
           L"\n" +
           usage_lines +
           L"\n"
           L"PATHs are taken as a drop onto the quillet window takes them:\n"
           L"  folder       opens the folder's _copy_.ilc (one source path per line);\n"
           L"               the folder becomes the destination\n"
           L"  list.ilc     opens that list; its folder becomes the destination;\n"
           L"               PATHs after it are not looked at\n"
           L"  text file    joins the file list (with no folder or list given, the\n"
           L"               destination is today's working folder,\n"
           L"               %TEMP%\\n_Bench.tmp\\quillet-cli\\YYYYMMDD)\n"
           L"  other file   refused and named under \"Not a text file.\"\n"
           L"Every PATH must exist. Relative PATHs start at the current folder.\n"
           L"\n"
           L"Options (any order, before the PATHs; -- ends them):\n"
           L"  --code N     target encoding: 0 copy unchanged, 8 UTF-8, 16 UTF-16,\n"
           L"               74 Shift_JIS (code page 932). Default: the one the opened\n"
           L"               list's name selects (UTF_8.ilc 8, UTF16.ilc 16, S_JIS.ilc 74,\n"
           L"               _copy_.ilc and any other list 0); with no list opened,\n"
           L"               UTF-16 with a byte-order mark\n"
           L"  --status     print the status lines only; change nothing\n"
           L"  --jobs N     work on up to N files at the same time (default: one per\n"
           L"               processor, at most 8; 1 works on one after the other).\n"
           L"               Lines, messages and records come in list order whatever N\n"
           L"  --help       print this text\n"
           L"  --version    print the version\n"
           L"\n"
           L"A run never changes a source (except a source listed into its own\n"
           L"folder, which is its own destination: it is converted in place, after\n"
           L"its backup) and never replaces a file, with any --code, without first\n"
           L"copying it to %TEMP%\\Rescue. Destinations newer than their source are\n"
           L"left alone. A conversion that would lose characters, or whose source's\n"
           L"encoding cannot be told for sure, copies the source unchanged and says\n"
           L"why on standard error.\n"
           L"The run writes the list it used into the destination folder as\n"
           L"UTF_8.ilc, UTF16.ilc, S_JIS.ilc or copy_.ilc.\n"
           L"\n"
           L"Standard output (UTF-8 into a pipe or file): one status line per file:\n"
           L"  column 2      \"<\" the run will write the destination's text; \" \" not\n"
           L"                (the same text already, not text, or destination newer);\n"
           L"                \"!\" never: an earlier entry has the same file name\n"
           L"  column 3      \"<\" destination older than the source or missing,\n"
           L"                \"=\" same modification time, \" \" destination newer\n"
           L"  columns 5-9   encoding of the destination: UTF_8, UTF16, ASCII, S_JIS,\n"
           L"                EUCJP (EUC-JP), JIS_7 (ISO-2022-JP), or ----- (missing,\n"
           L"                not text, or not recognised);\n"
           L"                TAKEN when an earlier entry has the same file name;\n"
           L"                NO_RD when the file could not be read (held by another\n"
           L"                program, permission denied)\n"
           L"  columns 13-17 encoding of the source, in the same way\n"
           L"  then          the source's modification time, its size (B, KB, MB...)\n"
           L"                and its path\n"
           L"Standard error: files refused as not text (\"Not a text file.\"), files\n"
           L"the run left alone (\"Did not update.\": missing, a folder, or with a\n"
           L"newer destination, or a file name an earlier entry has), files whose\n"
           L"declared encoding differs from their bytes (\"Declared encoding\n"
           L"differs.\"; converted as their bytes read) and a destination that\n"
           L"could not be written (\"Unable to save.\").\n"
           L"Converted files that declare their encoding (XML, HTML <meta>, CSS\n"
           L"@charset) declare the one they are written in.\n"
           L"\n"
           L"A whole folder tree (--tree SOURCE DEST):\n"
           L"  Every file below SOURCE goes to the same relative path below DEST,\n"
           L"  converted as above (other files copied unchanged); folders are made\n"
           L"  as needed. Each folder is one run: the same backups, times, checks and\n"
           L"  reports, but no list record, so DEST holds only the source tree's\n"
           L"  files. Links (symbolic links, junctions) inside SOURCE are not\n"
           L"  followed: they are listed under \"Skipped.\". Folders go in name order.\n"
           L"  --code N           required: the target encoding, as above\n"
           L"  --status           print the status lines of every file; write nothing\n"
           L"  --jobs N           files worked on at the same time, as above\n"
           L"  --include PATTERN  take only the files that match (or lie in a folder\n"
           L"                     that matches) some --include\n"
           L"  --exclude PATTERN  leave out files and folders (and all below them)\n"
           L"                     that match\n"
           L"  PATTERN: \"*\" and \"?\" within one name, letter case aside. Without a\n"
           L"  separator it matches a name at any depth (--exclude .git); with \\\n"
           L"  or / the path below SOURCE (--exclude old\\*).\n"
           L"  DEST inside SOURCE, SOURCE inside DEST or both the same folder (also\n"
           L"  through links) is a usage error. Standard error ends with a summary\n"
           L"  line; on a console a progress line shows the files done of found.\n"
           L"  Example: a site converted to UTF-8, its .git left out:\n"
           L"    quillet-cli --code 8 --tree C:\\work\\site D:\\site-utf8 --exclude .git\n"
           L"\n"
           L"Exit status:\n"
           L"  0  every file was handled (files left alone as missing, folders or\n"
           L"     with a newer destination are not failures)\n"
           L"  1  something failed: a destination could not be written (the files\n"
           L"     after it were not started; those already being worked on with\n"
           L"     --jobs above 1 were finished and are reported), the run's list\n"
           L"     record could not be\n"
           L"     written, the list file could not be read (\"Unable to read the\n"
           L"     list.\": nothing was run and the earlier record stays), or some\n"
           L"     files failed: a source that could not be read, a backup that could\n"
           L"     not be made (under \"Did not update.\" with the reason); those files\n"
           L"     were left as they were and the run went on; or two entries have\n"
           L"     the same file name (the first is processed, the others left alone)\n"
           L"  2  usage error: unknown option, a bad --code or --jobs, no PATH, or a PATH that\n"
           L"     does not exist; for --tree also no --code, a bad --jobs or an\n"
           L"     empty pattern, SOURCE not a folder, or the two folders overlapping;\n"
           L"     nothing was changed\n"
           ;
}

// ---------------------------------------------------------------------------
// Arguments

enum class action { run, status, help, version };

struct arguments {
    action what = action::run;
    bool has_code = false;
    int code = -1;
    size_t jobs = 0;  // 0: one per processor
    std::vector<std::wstring> paths;
};

// Options may come in any order; "--" ends them, so that a PATH may begin
// with "-". Empty problem text and true on success.
bool parse_arguments(int argc, wchar_t** argv, arguments& args, std::wstring& problem) {
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool option = !options_done && arg.size() > 1 && arg[0] == L'-';
        if (!option && !options_done && arg == L"/?") {
            args.what = action::help;
        } else if (!option) {
            // A drop always brings full paths; a command line may bring
            // relative ones, taken from the current folder (a bare "x.ilc"
            // would otherwise have the root of the drive as its folder).
            const std::wstring full = full_path(arg);
            if (!arg.empty()) args.paths.push_back(full.empty() ? arg : full);
        } else if (arg == L"--") {
            options_done = true;
        } else if (arg == L"--help" || arg == L"-h") {
            args.what = action::help;
        } else if (arg == L"--version") {
            if (args.what != action::help) args.what = action::version;
        } else if (arg == L"--status") {
            if (args.what == action::run) args.what = action::status;
        } else if (is_option(arg, L"--code")) {
            if (!code_option(argc, argv, i, args.code, problem)) return false;
            args.has_code = true;
        } else if (is_option(arg, L"--jobs")) {
            if (!jobs_option(argc, argv, i, args.jobs, problem)) return false;
        } else {
            problem = L"unknown option " + arg;
            return false;
        }
    }
    if (args.what == action::help || args.what == action::version) return true;
    if (args.paths.empty()) {
        problem = L"no PATH given";
        return false;
    }
    for (const std::wstring& path : args.paths) {
        // A folder may be given with a trailing separator, which the file
        // status query alone refuses.
        if (!path_exists(path, false) && !folder_exists(path)) {
            problem = L"no such file or folder: " + path;
            return false;
        }
    }
    return true;
}

// The program itself, below the guard of wmain.
int run_program(int argc, wchar_t** argv) {
    if (names_a_tree(argc, argv)) {
        // The tree's own syntax, unless help or the version is asked for.
        for (int i = 1; i < argc; ++i) {
            const std::wstring arg = argv[i];
            if (arg == L"--") break;
            if (arg == L"--help" || arg == L"-h" || arg == L"/?") {
                write_out(STD_OUTPUT_HANDLE, help_text());
                return exit_done;
            }
            if (arg == L"--version") {
                write_out(STD_OUTPUT_HANDLE, version_text());
                return exit_done;
            }
        }
        return run_tree(argc, argv);
    }
    arguments args;
    std::wstring problem;
    if (!parse_arguments(argc, argv, args, problem)) return usage_error(problem);
    if (args.what == action::help) {
        write_out(STD_OUTPUT_HANDLE, help_text());
        return exit_done;
    }
    if (args.what == action::version) {
        write_out(STD_OUTPUT_HANDLE, version_text());
        return exit_done;
    }

    // The store starts as the main window leaves it when it opens: the dated
    // working folder as destination and the recent-lists file's place known.
    copy_list_store& s = store();
    s.set_recent_path(recent_list_path());
    s.set_folder(dated_work_folder());

    drop_options options;
    options.record_recent = false;
    const drop_result drop = take_drop(args.paths, options);
    report_not_text(drop);
    // A list file that cannot be read is never taken for an empty one.
    if (!s.unreadable_list().empty()) {
        report_list(L"Unable to read the list.",
                    {s.unreadable_list(), L"(" + s.list_problem() + L")"});
        return exit_unsaved;
    }

    if (args.what == action::status) {
        write_out(STD_OUTPUT_HANDLE, lines_of(s.file_entries()));
        return exit_done;
    }
    // Without --code the target follows the last opened list, as the encoding
    // drop-down does; with no list opened nothing is selected there (-1).
    copy_request request = store_request(args.has_code ? args.code : drop.code);
    request.jobs = args.jobs;
    return report_run(copy_run(request));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Each file the engine has no memory for is refused on its own; whatever
    // still runs out ends the program with a message, never silently.
    try {
        return run_program(argc, argv);
    } catch (const std::bad_alloc&) {
        write_out(STD_ERROR_HANDLE, L"quillet-cli: not enough memory\n");
        return exit_unsaved;
    }
}
