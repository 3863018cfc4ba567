// The copy list store: the one process-wide object holding the destination
// folder and file list of the next copy run, and the recent list of folder list
// files; plus the program's working folders and the list-file places.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillet {

struct run_context;

// Turns an English interface text into the text shown (the UI text table of the
// application); engine operations that report to the user take one, and use the
// English text as it is when none is given.
using text_translator = std::function<std::wstring(const std::wstring&)>;
std::wstring translated(const text_translator& translate, const std::wstring& text);

class copy_list_store {
public:
    copy_list_store() = default;
    copy_list_store(const copy_list_store&) = delete;
    copy_list_store& operator=(const copy_list_store&) = delete;

    // files = the entries of a list file, in file order. A list file that is
    // there but cannot be read leaves the file list empty and is remembered
    // (list_problem) until clear(): a run then refuses to work on it.
    void load_files(const std::wstring& path);
    void set_folder(const std::wstring& text);
    void add_file(const std::wstring& path);
    // Empties the folder and the file list and forgets a list it could not
    // read; the recent list stays.
    void clear();
    bool save_files(const std::wstring& path) const;
    // Removes later duplicates (exact comparison), keeping order.
    void dedupe_files();
    std::wstring get_folder() const { return folder_; }
    std::vector<std::wstring> get_files() const { return files_; }
    // clear(); the list's entries sorted and unique when it exists; its folder
    // becomes the destination (also when the list file is missing).
    void open_list(const std::wstring& path);
    // The list file load_files could not read, and why; both "" when the
    // file list holds what its list file holds.
    const std::wstring& unreadable_list() const { return unreadable_list_; }
    const std::wstring& list_problem() const { return list_problem_; }
    // One status line per file of the list (see engine/entries.h).
    std::vector<std::wstring> file_entries() const;

    void set_recent_path(const std::wstring& path) { recent_path_ = path; }
    std::wstring get_recent_path() const { return recent_path_; }
    std::vector<std::wstring> get_recent() const { return recent_; }
    // Reloads the recent list from its file (sorted, unique); returns recent_display().
    std::vector<std::wstring> load_recent();
    // Adds folder list paths to the recent list and saves the recent-lists file;
    // false (logged) when it could not be saved.
    bool add_recent(const std::vector<std::wstring>& paths);
    // Gives the recent-lists path its default when it is still empty.
    void default_recent_path();
    // One shortened display line per recent entry; a "_copy_.ilc" shows its folder.
    std::vector<std::wstring> recent_display() const;
    // Index of this folder's "_copy_.ilc" in the recent list (any letter case), or -1.
    int find_recent() const;
    // Writes the file list as the per-encoding folder list file in the folder,
    // in the target encoding, after a Rescue backup of the file it replaces;
    // false, and the earlier file kept, when that backup cannot be made. A
    // list the target's form would not give back (S_JIS.ilc with a path code
    // page 932 cannot write) is written as UTF-16 with byte-order mark under
    // the same name, and the log says so.
    bool save_encoded_list(int code) const;

private:
    std::wstring folder_;
    std::vector<std::wstring> files_;
    std::wstring unreadable_list_;
    std::wstring list_problem_;
    std::wstring recent_path_;
    std::vector<std::wstring> recent_;
};

// "Unable to read the list.\r\n" (translated), the list file's path, CR LF and
// the reason in parentheses: the report of a list file the store could not read.
std::wstring unreadable_list_message(const copy_list_store& s, const text_translator& translate = {});
// The message for a list file that could not be read, and why.
std::wstring unreadable_list_message(const std::wstring& list, const std::wstring& problem,
                                     const text_translator& translate = {});
// Writes files as the per-encoding list record of folder for target code
// (see copy_list_store::save_encoded_list).
// Inside a copy run, run is that run's context (null otherwise).
bool save_list_record(const std::wstring& folder, const std::vector<std::wstring>& files, int code,
                      run_context* run = nullptr);

// The one process-wide store shared by the dialog, the drop intake and the copy run.
copy_list_store& store();

// The program's title as named by its version resource (see store.cpp).
std::wstring program_title();
// temp\n_Bench.tmp\<title>\ (created), ending in "\\".
std::wstring work_folder();
// The working folder plus today's "%Y%m%d" folder, ending in "\\".
std::wstring dated_work_folder();
// folder\_copy_.ilc
std::wstring folder_list_path(const std::wstring& folder);
// folder\<label>.ilc
std::wstring encoded_list_path(const std::wstring& folder, int code);
// common documents\Temp\n_Bench\Recent\quillet.ido, created empty when missing.
std::wstring recent_list_path();
// A display form of path of at most max characters where possible.
std::wstring shorten_path(const std::wstring& path, size_t max);
// "C:" or "\\\\server" of a path, else "".
std::wstring path_root(const std::wstring& path);

}  // namespace quillet
