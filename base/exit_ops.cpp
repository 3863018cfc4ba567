// Removals and copies deferred to the end of the process (or of an exit_ops
// object's life), and the two process-wide instances.
#include "base/exit_ops.h"

#include <windows.h>

#include "base/file_access.h"
#include "base/file_status.h"
#include "base/folders.h"
#include "base/path_text.h"

namespace quillet {

exit_ops::~exit_ops() {
    copy_step(true);
    remove_now();
}

void exit_ops::remove_later(const std::wstring& path) { remove_later(path.c_str()); }

void exit_ops::remove_later(const wchar_t* path) { removals_.push_back(path ? path : L""); }

void exit_ops::remove_later_all(const std::vector<std::wstring>& list) {
    removals_.insert(removals_.end(), list.begin(), list.end());
}

void exit_ops::move_later(const std::wstring& src, const std::wstring& dst) {
    removals_.push_back(src);
    destinations_.resize(removals_.size() - 1);
    destinations_.push_back(dst);
}

void exit_ops::copy_now() { copy_step(false); }

void exit_ops::copy_step(bool through_copy_file) {
    for (size_t i = 0; i < removals_.size() && i < destinations_.size(); ++i) {
        const std::wstring& src = removals_[i];
        const std::wstring& dst = destinations_[i];
        if (src.empty() || dst.empty() || !path_exists(src, false)) continue;
        bool copied;
        if (through_copy_file) {
            copied = copy_file(src, dst, false);
        } else {
            std::wstring folder = path_folder(dst);
            copied = (folder_exists(folder) || make_folders(folder)) &&
                     CopyFileW(extended_path(src).c_str(), extended_path(dst).c_str(), FALSE);
        }
        // A source that could not be copied must not be removed.
        if (!copied) removals_[i].clear();
    }
    destinations_.clear();
}

void exit_ops::remove_now() {
    // Deepest paths first, so that a folder is emptied before it is removed.
    for (const auto& entry : reversed(sorted_unique(removals_))) {
        if (entry.empty()) continue;
        std::wstring path = path_del_sep(entry);
        if (!path_exists(path, false)) continue;
        // The platform calls on the long form, so that paths past MAX_PATH go too.
        const std::wstring platform_path = extended_path(path);
        if (folder_exists(path)) {
            if (folder_is_empty(path)) RemoveDirectoryW(platform_path.c_str());
        } else {
            DeleteFileW(platform_path.c_str());
        }
    }
    removals_.clear();
}

exit_ops& aged_exit_ops() {
    static exit_ops ops;
    return ops;
}

exit_ops& batch_exit_ops() {
    static exit_ops ops;
    return ops;
}

}  // namespace quillet
