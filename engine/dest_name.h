// The destination of one list entry: always the destination folder plus a
// plain file name, never a path that leads anywhere else. A list file is
// something users download and share, so every entry is treated as hostile:
// its name is taken after the last "\\" or "/", and a name that is no plain
// file name makes the entry a refusal with its reason.
#pragma once
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillet {

// The text after the last "\\" or "/" of an entry (the whole entry when it
// has neither).
std::wstring entry_name(const std::wstring& entry);

// The name as the file system stores it: trailing dots and spaces dropped
// (Windows drops them from the last part of every path it opens).
std::wstring stored_name(const std::wstring& name);

// True for the device names CON, PRN, AUX, NUL, COM0-9, LPT0-9 (also with the
// superscript digits ¹²³), CONIN$ and CONOUT$, in any letter case and also
// with an extension or spaces before it ("nul.txt", "Com1 .log").
bool is_device_name(const std::wstring& name);

// True for the names of the folder list files a run writes itself:
// "UTF_8.ilc", "UTF16.ilc", "S_JIS.ilc", "copy_.ilc", and the user's own
// "_copy_.ilc", in any letter case.
bool is_run_list_name(const std::wstring& name);

// Why an entry_name cannot name a destination ("" when it can): "." or "..",
// empty once stored, a device name, a stream (":"), a character no file name
// holds, or longer than a file name may be.
std::wstring name_refusal(const std::wstring& raw);

// True when path is folder + "\\" + a single name once both are made full
// paths (letter case aside). An empty folder is the current folder.
bool lies_directly_in(const std::wstring& path, const std::wstring& folder);

// A name as the file system compares names: letter case aside (upper-cased
// as the platform upper-cases text without regard to language), so that two
// names with the same key are one file.
std::wstring name_key(const std::wstring& name);

// True when entry, whose destination name the earlier entry holder has, is
// another file than holder's: a run leaves it alone rather than replace
// holder's destination with it. The same path listed twice is one file.
bool name_taken(const std::wstring& holder, const std::wstring& entry);

// An entry's destination, or the reason it has none.
struct dest_choice {
    std::wstring path;     // folder\name; "" when refused
    std::wstring refusal;  // "" when path is good
    bool ok() const { return refusal.empty(); }
};

// The destination of entry in dest_folder (which may end in a separator):
// dest_folder + stored_name(entry_name(entry)), checked to lie directly in
// the folder. A name like one of the run's list files is refused too: the
// run's own list file would replace that copy at the end of the run.
dest_choice destination_of(const std::wstring& dest_folder, const std::wstring& entry);

// The first entry of a list that has a destination name holds it: a later
// entry of that name from another file is left alone, never written over it
// (the same file listed twice is worked on twice). Asked about the entries in
// list order.
class name_holders {
public:
    // The earlier entry of files that holds the name of entry i's
    // destination (choice) when entry i is another file; SIZE_MAX otherwise
    // (entry i then holds the name itself, or has no destination).
    size_t taken_by(const std::vector<std::wstring>& files, size_t i, const dest_choice& choice);
private:
    std::unordered_map<std::wstring, size_t> first_;
};

}  // namespace quillet
