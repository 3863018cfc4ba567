// The copy run: every file of the store's file list converted (text) or copied
// (other files) into the destination folder, newer destinations left alone, the
// per-encoding folder list file written, the files left alone logged, and the
// status lines rebuilt. The run shows nothing: it reports to an observer
// (progress, waits, destinations it cannot write) and returns what it did.
#pragma once
#include <string>
#include <vector>

#include "engine/store.h"

namespace quillet {
class run_observer;
}

namespace quillet {

struct copy_run_result {
    int code = -1;                          // the target the run used
    std::wstring dest_folder;               // store folder with one trailing separator
    size_t processed = 0;                   // entries looked at before the run ended
    std::vector<std::wstring> not_updated;  // sources left alone, in list order
    std::vector<std::wstring> kept;         // why text files were copied unchanged (loss_report_text)
    std::vector<std::wstring> reasons;      // why, one per entry of not_updated
    std::vector<std::wstring> false_declarations;  // sources declaring an encoding their bytes
                                                   // are not in: "path: declares X, reads as Y"
    std::vector<std::wstring> same_name;    // entries left alone because an earlier entry of the
                                            // list holds their destination name, in list order,
                                            // each as "path  (reason)"
    std::wstring unsaved;                   // source whose destination could not be written
    std::wstring unsaved_reason;            // why it could not be written
    bool list_saved = false;                // the per-encoding folder list file was written
    std::wstring list_record;               // that file's path
    size_t failed = 0;                      // entries of not_updated that failed (unreadable
                                            // source, no backup, no memory), not merely skipped
    std::wstring unreadable_list;           // the list file that could not be read: no run
    std::wstring list_problem;              // why
    std::vector<std::wstring> entries;      // the file list's status lines after the run
    bool completed() const { return unsaved.empty(); }
    bool refused() const { return !unreadable_list.empty(); }
};

// What a copy run is asked to do: its sources, in list order, into one
// destination folder, converted to one target.
struct copy_request {
    std::wstring dest_folder;
    std::vector<std::wstring> files;
    int code = 0;  // 0 copy, 8 UTF-8, 16 UTF-16, 74 Shift_JIS
    text_translator translate;  // the texts of messages (English when empty)
    // The per-encoding list record is written into the destination folder
    // after the entries (a run that mirrors a tree writes none).
    bool write_record = true;
    // How many entries may be worked on at the same time: 0 for one per
    // processor (at most 8), 1 for one after the other on the calling thread.
    // Whatever the number, everything the run reports comes in list order.
    size_t jobs = 0;
    // The list the files came from could not be read, and why: the run then
    // refuses (see copy_run). Both "" otherwise.
    std::wstring unreadable_list;
    std::wstring list_problem;
};

// The request for what the store holds now: its folder and file list.
copy_request store_request(int code, const text_translator& translate = {});

// One copy run over the request's files (0 copy, 8 UTF-8, 16 UTF-16,
// 74 Shift_JIS; other values as the writers' fallback) (0 copy, 8 UTF-8, 16 UTF-16,
// 74 Shift_JIS; other values as the writers' fallback). A destination that
// cannot be written is reported to the observer (cannot_save, with "Unable to
// save.\r\n" + the file name, translated) and ends the loop; any other file
// that is not updated (a source that cannot be read, a destination whose
// backup cannot be made, ...) is left alone, logged with its reason and listed
// in not_updated, and the run goes on. The list file, the log line of files
// left alone and the status lines follow in every case; a list file that
// cannot be written is reported as cannot_save too. When the store's list file
// could not be read, nothing is run and no list file written (the earlier
// record stays): the observer hears list_unreadable and the result is
// refused(). Without an observer the run reports to nobody and never stops
// early.
copy_run_result copy_run(const copy_request& request, run_observer* observer = nullptr);
// copy_run of store_request(code, translate): what both front ends run.
copy_run_result copy_run(int code, const text_translator& translate = {},
                         run_observer* observer = nullptr);

// The code of an encoding drop-down item text such as "  8 : UTF-8": parsed as
// wcstol does, truncated to 16 bits; -1 for an empty text.
int code_from_item_text(const std::wstring& text);

// The reason an entry is left alone when the earlier entry `holder` has the
// same destination name.
std::wstring same_name_reason(const std::wstring& holder);

// The log line "Kept unchanged." with run.kept, when a text file was copied
// unchanged instead of converted.
void log_kept_files(const copy_run_result& run, const text_translator& translate = {});

// Writes text as one dated log line (CR and LF turned into tabs); false, and
// nothing written, inside a DLL.
bool dump_report(const std::wstring& text);

}  // namespace quillet
