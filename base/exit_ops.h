// Removals and copies deferred to the end of the process, and the two
// process-wide lists of them.
#pragma once
#include <string>
#include <vector>

namespace quillet {

// Removals and copies deferred until the object is destroyed (for the two
// process-wide instances: at process exit). The destructor copies first, then
// removes, deepest paths first; a folder is removed only when it is empty.
class exit_ops {
public:
    exit_ops() = default;
    ~exit_ops();
    exit_ops(const exit_ops&) = delete;
    exit_ops& operator=(const exit_ops&) = delete;
    void remove_later(const std::wstring& path);
    void remove_later(const wchar_t* path);
    void remove_later_all(const std::vector<std::wstring>& list);
    // Copies src to dst at work-off time, then removes src (a move); when the
    // copy fails, src is kept.
    void move_later(const std::wstring& src, const std::wstring& dst);
    void copy_now();
    void remove_now();
    const std::vector<std::wstring>& removals() const { return removals_; }
    const std::vector<std::wstring>& destinations() const { return destinations_; }

private:
    void copy_step(bool through_copy_file);
    std::vector<std::wstring> removals_;
    std::vector<std::wstring> destinations_;
};

// The two process-wide instances, each created on first use and worked off when
// the process exits: one for delete_aged, one for the batch runner's files.
exit_ops& aged_exit_ops();
exit_ops& batch_exit_ops();

}  // namespace quillet
