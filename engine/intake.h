// Taking in dropped paths, for the main window's drop handler and the console
// front end alike: folders open their "_copy_.ilc", a folder list file (".ilc")
// opens that list and ends the intake, the recent-lists file reloads the recent
// list, text files join the file list, other files are reported as not text.
#pragma once
#include <string>
#include <vector>

#include "engine/store.h"

namespace quillet {

struct drop_options {
    bool record_recent = true;   // add the opened lists to the recent list and save it
};

struct drop_result {
    std::vector<std::wstring> opened;    // folder list files opened, in order
    std::vector<std::wstring> not_text;  // dropped files refused as not text, in order
    bool recent_reloaded = false;        // the recent-lists file was dropped
    // code_for_list of the last opened list, for the encoding drop-down; -1 when
    // no list was opened (the drop-down then stays as it is).
    int code = -1;
};

// Works the dropped paths into the store (see above), lists the files that are
// not text in the result (the front end shows them: not_text_message), removes
// later duplicates from the file list and, when lists were opened, adds them
// to the recent list. A list file the store could not read is the store's
// unreadable_list (unreadable_list_message).
drop_result take_drop(const std::vector<std::wstring>& dropped, const drop_options& options = {});

// The report of refused files: "Not a text file.\r\n" (translated), then each
// file name followed by CR LF.
std::wstring not_text_message(const std::vector<std::wstring>& not_text,
                              const text_translator& translate = {});

// The target code a folder list file selects by its title: "S_JIS" 74, "UTF16"
// 16, "UTF_8" 8, anything else 0 (exact, case-sensitive).
int code_for_list(const std::wstring& list_path);

// The \\server\share form of a path on a mapped network drive; other paths as given.
std::wstring to_unc_path(const std::wstring& path);

}  // namespace quillet
