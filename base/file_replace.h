// Writing a file so that it is never half-written: the new content goes to a
// temporary sibling in the same folder, is checked there, and only then is
// moved over the old file in one step. A link at the target's name is
// replaced as a name of its own; the file it pointed to is never written.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/file_access.h"
#include "base/handles.h"

namespace quillet {

// A new, uniquely named, empty file beside target (same folder, so the final
// move is a rename on one volume), open for reading and writing. Removed by
// the destructor unless commit() moved it over the target.
class sibling_file {
public:
    // folder, when given, is where the file is made instead of target's own
    // folder: a folder on target's volume (a small one, so that making a new
    // name there is quick where the platform searches a folder for every new
    // name).
    explicit sibling_file(const std::wstring& target, const std::wstring& folder = L"");
    ~sibling_file();
    sibling_file(const sibling_file&) = delete;
    sibling_file& operator=(const sibling_file&) = delete;

    bool ok() const { return static_cast<bool>(file_); }
    DWORD error() const { return error_; }  // why it could not be created (0: it was)
    HANDLE handle() const { return file_.get(); }
    const std::wstring& path() const { return path_; }
    const std::wstring& target() const { return target_; }

    // Flushes the handle's data to the disk; true when it got there. The
    // handle stays open (the file can be read back through it).
    bool flush();
    // Flushes and closes the handle (before the file is stamped or read back
    // by its name); true when the data reached the file system.
    bool close();
    // Moves the sibling over the target (replacing it, write-through), waiting
    // while another program holds the target; without replace, only when no
    // file holds the target's name. False, logged with the error code, when
    // the move fails: the target keeps its old content and the sibling is
    // removed.
    bool commit(bool replace = true);
    // Moves the sibling to the target's name only when nothing is there. When
    // something is (existed set), the sibling is kept for commit(); any other
    // failure is logged and removes the sibling, as commit() does.
    bool commit_new(bool& existed);

private:
    std::wstring target_;
    std::wstring path_;
    unique_hfile file_;
    DWORD error_ = 0;
    bool committed_ = false;
};

// Replaces (or creates) path with bytes through a sibling file: written, read
// back and compared, then moved over. False, with the old content in place and
// the failure logged with its error code, when any step fails; a read-only
// file is never replaced.
bool replace_file_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes);

}  // namespace quillet
