#include "engine/rescue_guard.h"

#include <algorithm>
#include <utility>

#include "base/file_identity.h"
#include "base/paths.h"

namespace quillet {

namespace {

using file_key = std::pair<unsigned long, uint64_t>;

}  // namespace

std::wstring rescue_root() {
    const std::wstring root = path_add_sep(path_add_sep(temp_folder()) + L"Rescue");
    const std::wstring full = full_path(root);
    return path_add_sep(full.empty() ? root : full);
}

bool in_rescue_tree(const std::wstring& path) {
    const std::wstring full = to_lower(full_path(path));
    const std::wstring root = to_lower(rescue_root());
    return full.size() > root.size() && full.compare(0, root.size(), root) == 0;
}

rescue_guard::rescue_guard(const std::vector<std::wstring>& sources) : sources_(sources) {}

bool rescue_guard::holds(unsigned long volume, uint64_t index) {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (!resolved_) {
        for (const std::wstring& source : sources_) {
            const file_identity id = identity_of(source);
            if (id.known) keys_.emplace_back(id.volume, id.index);
        }
        std::sort(keys_.begin(), keys_.end());
        resolved_ = true;
    }
    return std::binary_search(keys_.begin(), keys_.end(), file_key(volume, index));
}

}  // namespace quillet
