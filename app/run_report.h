// What the window says about a run once it has ended, until the next one: a
// line that counts what became of the entries (and, when the run ended early,
// says so and how far it got), and for each entry a line saying what became
// of it and why. The texts are Japanese through the UI text table; the
// engine's reasons arrive in English (the log and the console front end keep
// them so) and go through the table's pattern rows, names and numbers kept.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "engine/copy_run.h"
#include "engine/entries.h"

namespace quillet {

// What the run told the window about one entry.
struct entry_note {
    bool reached = false;  // the run has finished working on it
    entry_result result = entry_result::left_alone;
    bool kept_unchanged = false;
    std::wstring reason;  // in English, as the engine gives it
};

enum class run_end {
    completed,    // every entry was worked on
    stopped,      // Esc or "終了": the entries after the last one done were not begun
    ended_early,  // a destination could not be written, or an error ended the run
    not_run,      // the list could not be read: nothing was done
};

struct run_report {
    run_end end = run_end::completed;
    std::vector<std::wstring> files;  // the run's entries, in list order
    std::vector<entry_note> notes;    // one per entry of files
};

// The entries reached, by what became of them.
struct outcome_counts {
    size_t converted = 0;   // converted, or copied where copying is all there was to do
    size_t current = 0;     // the destination already held it
    size_t kept = 0;        // copied unchanged where a conversion was asked for
    size_t left_alone = 0;  // not touched (not a file, newer destination, same name ...)
    size_t failed = 0;      // could not be read, backed up, held in memory or written
    size_t reached() const { return converted + current + kept + left_alone + failed; }
};

// The report of a run over files: notes as the run's observer heard them
// (one per entry), completed with the run's result. A kept text file's
// reason is the first line of its loss report; entries a stop left unreached
// have "the run was stopped". stopped: a stop was asked for.
run_report make_run_report(const std::vector<std::wstring>& files, std::vector<entry_note> notes,
                           const copy_run_result& result, bool stopped, bool failed);

outcome_counts count_outcomes(const run_report& report);

// The summary line, e.g. "完了：変換・コピー 3 件、更新不要 1 件、…".
std::wstring run_summary_text(const run_report& report);

// The line of entry index: its file name, what became of it and, for an
// entry that was not simply converted or found current, why. "" for an index
// the run did not have.
std::wstring entry_note_text(const run_report& report, size_t index);

// An English reason of the engine in Japanese (unchanged when no row matches).
std::wstring reason_text(const std::wstring& reason);

// The rows of the UI text table for the texts above (add_program_ui_texts
// adds them).
void add_run_report_ui_texts();

}  // namespace quillet
