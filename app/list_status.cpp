// Status lines made on the work's thread, in batches.
#include "app/list_status.h"

#include <windows.h>

#include <unordered_map>
#include <utility>

#include "base/file_access.h"
#include "base/path_text.h"
#include "engine/dest_name.h"
#include "engine/entries.h"

namespace quillet {

namespace {

// How long a batch collects lines before it is handed on.
constexpr ULONGLONG kBatchMs = 100;

}  // namespace

void make_status_lines(const std::wstring& folder, const std::vector<std::wstring>& files,
                       const std::atomic<bool>& stop,
                       const std::function<void(size_t first, std::vector<std::wstring> lines)>& batch) {
    const short_read_waits quick;  // a file another program holds shows as unreadable
    name_holders holders;  // as file_entries, which makes the same lines in one go
    std::vector<std::wstring> lines;
    size_t first = 0;
    ULONGLONG handed = GetTickCount64();
    for (size_t i = 0; i < files.size() && !stop; ++i) {
        const bool taken = holders.taken_by(files, i, destination_of(folder, files[i])) != SIZE_MAX;
        lines.push_back(status_line(folder, files[i], nullptr, taken));
        if (GetTickCount64() - handed >= kBatchMs || i + 1 == files.size()) {
            const size_t count = lines.size();
            batch(first, std::move(lines));
            lines.clear();
            first += count;
            handed = GetTickCount64();
        }
    }
}

}  // namespace quillet
