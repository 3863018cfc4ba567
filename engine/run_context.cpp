#include "engine/run_context.h"

#include "base/file_identity.h"
#include "base/file_replace.h"

namespace quillet {

bool may_exist(run_context* run, const std::wstring& path) {
    return run == nullptr || run->index.may_exist(path);
}

void note_created(run_context* run, const std::wstring& path) {
    if (run) run->index.note_created(path);
}

int commit_if_new(run_context* run, sibling_file& sibling) {
    if (may_exist(run, sibling.target())) return 0;
    bool existed = false;
    if (sibling.commit_new(existed)) {
        note_created(run, sibling.target());
        return 1;
    }
    if (!existed) return -1;
    note_created(run, sibling.target());
    return 0;
}

std::wstring staging_folder_for(run_context* run, const std::wstring& target) {
    return run ? run->index.staging_folder(target) : L"";
}

file_status indexed_status(run_context* run, const std::wstring& path) {
    return may_exist(run, path) ? file_status(path) : file_status(std::wstring());
}

bool rescue_keeps(run_context* run, const std::wstring& path) {
    if (!run || !run->guard) return false;
    const file_identity id = identity_of(path);
    return id.known && run->guard->holds(id.volume, id.index);
}

}  // namespace quillet
