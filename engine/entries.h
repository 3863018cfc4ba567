// The file list box's status lines: for each source file, what a copy run would
// do with it (change and time marks), the encodings of destination and source,
// the source's time, size and path, in fixed columns.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// The status line of source `src` whose destination is `dest_folder` + its name.
std::wstring status_line(const std::wstring& dest_folder, const std::wstring& src);
// One status line per entry of files, in order.
std::vector<std::wstring> file_entries(const std::wstring& folder,
                                       const std::vector<std::wstring>& files);
// A size in 8 characters (more when a value rounds up to 1,000.00) with its unit:
// "    999 ", "  0.98 K", "  1.00 M".
std::wstring size_text(int64_t bytes);

}  // namespace quillet
