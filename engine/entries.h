// The file list box's status lines: for each source file, what a copy run would
// do with it (change and time marks), the encodings of destination and source,
// the source's time, size and path, in fixed columns.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// What happened to one entry of a copy run.
enum class entry_result {
    up_to_date,              // the destination already held the text in the target encoding
    converted,               // written in the target encoding
    copied,                  // copied unchanged (see the reason)
    left_alone,              // not a plain file, a newer destination, or nothing to do
    source_unreadable,       // the source could not be read; its destination is untouched
    backup_failed,           // the destination was not replaced: no backup could be made
    refused,                 // not enough memory to handle the file; nothing was changed
    destination_unwritable,  // the destination could not be written: the run stops
};

// The outcome of one entry, and what the run found out about its two files
// (known set, after a conversion or an up-to-date destination: both are text
// files with equal texts, the source of code src_code). The facts stand for
// reading the two files again only while both still have the status recorded.
struct entry_outcome {
    entry_result result = entry_result::left_alone;
    std::wstring reason;  // in a few English words, for the log and the console
    // A conversion was asked for and the source was copied unchanged instead
    // (it would have lost something, or its encoding was undecided).
    bool kept_unchanged = false;
    bool known = false;
    int64_t src_mtime = 0;
    int64_t src_size = 0;
    int64_t dest_mtime = 0;
    int64_t dest_size = 0;
    bool dest_text_file = false;  // is_text_file of the destination
    int dest_code = 0;            // head_code of the destination's bytes
    int src_code = 0;             // head_code of the source's bytes
    // The source declares an encoding its bytes are not in: what it declares
    // and what they are ("" when it does not).
    std::wstring false_declaration;

    // The destination holds the source's content now (written or found so).
    bool done() const {
        return result == entry_result::up_to_date || result == entry_result::converted ||
               result == entry_result::copied;
    }
};

inline entry_outcome make_outcome(entry_result result, const std::wstring& reason) {
    entry_outcome outcome;
    outcome.result = result;
    outcome.reason = reason;
    return outcome;
}

// The status line of source `src` whose destination is `dest_folder` + its name.
// known, when given, is what a copy run found out about the two files; it is
// used when both files still have the status it recorded, else the files are
// read as without it.
// With name_taken (an earlier entry of the list has the same destination
// name, so a run will not write this one), the change mark is "!" and the
// destination's label "TAKEN".
std::wstring status_line(const std::wstring& dest_folder, const std::wstring& src,
                         const entry_outcome* known = nullptr, bool name_taken = false);
// The line of src while its status line is being made: the status columns
// blank, the path where status_line puts it.
std::wstring pending_status_line(const std::wstring& src);

// One status line per entry of files, in order; known, when not empty, has one
// element (possibly null) per entry. Entries whose destination name an
// earlier entry has are shown as name_taken.
std::vector<std::wstring> file_entries(const std::wstring& folder,
                                       const std::vector<std::wstring>& files,
                                       const std::vector<const entry_outcome*>& known = {});
// A size in 8 characters (more when a value rounds up to 1,000.00) with its unit:
// "    999 ", "  0.98 K", "  1.00 M".
std::wstring size_text(int64_t bytes);

}  // namespace quillet
