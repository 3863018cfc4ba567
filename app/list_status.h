// The file list's status lines made in the background: the window shows the
// names of a list at once, each on a line whose status columns are still
// blank, and the work's thread makes the status lines in list order and hands
// them over in batches, which the window puts in place of the blank ones.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

// The status lines of files with the destination folder `folder`, as
// file_entries makes them (an entry whose destination name an earlier entry
// holds is shown as taken), handed to batch in list order: batch(first,
// lines) has the lines of files[first] onward, about ten batches a second
// however fast the lines come. Ends early, without handing on the rest, once
// stop is true.
void make_status_lines(const std::wstring& folder, const std::vector<std::wstring>& files,
                       const std::atomic<bool>& stop,
                       const std::function<void(size_t first, std::vector<std::wstring> lines)>& batch);

}  // namespace quillet
