// The file list box's status lines: for each source file, what a copy run would
// do with it (change and time marks), the encodings of destination and source,
// the source's time, size and path, in fixed columns.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// What a copy run found out about a source and its destination after it
// converted the source or found the destination up to date: both are text
// files with equal texts, the source of code src_code. It stands for reading
// the two files again only while both still have the status recorded here.
struct entry_facts {
    int64_t src_mtime = 0;
    int64_t src_size = 0;
    int64_t dest_mtime = 0;
    int64_t dest_size = 0;
    bool dest_text_file = false;  // is_text_file of the destination
    int dest_code = 0;            // detect_code of the destination's bytes
    int src_code = 0;             // detect_code of the source's bytes
};

// The status line of source `src` whose destination is `dest_folder` + its name.
// known, when given, is what a copy run found out about the two files; it is
// used when both files still have the status it recorded, else the files are
// read as without it.
std::wstring status_line(const std::wstring& dest_folder, const std::wstring& src,
                         const entry_facts* known = nullptr);
// One status line per entry of files, in order; known, when not empty, has one
// element (possibly null) per entry.
std::vector<std::wstring> file_entries(const std::wstring& folder,
                                       const std::vector<std::wstring>& files,
                                       const std::vector<const entry_facts*>& known = {});
// A size in 8 characters (more when a value rounds up to 1,000.00) with its unit:
// "    999 ", "  0.98 K", "  1.00 M".
std::wstring size_text(int64_t bytes);

}  // namespace quillet
