#include "engine/rescue_guard.h"

#include <set>
#include <utility>

#include "base/file_identity.h"
#include "base/paths.h"

namespace quillet {

namespace {

using file_key = std::pair<unsigned long, uint64_t>;

// The identities of the guarded files, counted per guard that added them.
std::multiset<file_key>& guarded() {
    static std::multiset<file_key> keys;
    return keys;
}

std::vector<file_key> keys_of(const std::vector<std::wstring>& sources) {
    std::vector<file_key> keys;
    for (const std::wstring& source : sources) {
        const file_identity id = identity_of(source);
        if (id.known) keys.emplace_back(id.volume, id.index);
    }
    return keys;
}

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

rescue_guard::rescue_guard(const std::vector<std::wstring>& sources) : keys_(keys_of(sources)) {
    for (const file_key& key : keys_) guarded().insert(key);
}

rescue_guard::~rescue_guard() {
    for (const file_key& key : keys_) {
        const auto it = guarded().find(key);
        if (it != guarded().end()) guarded().erase(it);
    }
}

bool rescue_keeps(const std::wstring& path) {
    if (guarded().empty()) return false;
    const file_identity id = identity_of(path);
    return id.known && guarded().count(file_key(id.volume, id.index)) > 0;
}

}  // namespace quillet
