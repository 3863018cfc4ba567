// Command lookup through a hidden batch file: get_which runs the "where"
// command the way a user would at a command prompt and returns the first path
// it prints; windows_version names the running Windows from the version
// resource of the system's own library.
#pragma once
#include <mutex>
#include <string>

namespace quillet {

// temp\n_Bench.tmp\cmd_bat\<today as %Y%m%d>, created when missing; no
// trailing separator.
std::wstring batch_folder();

// The batch file for a command line: the batch folder + "\\" + the command
// with ">", ":", " ", "/", "\\" and '"' made into "_" (runs collapsed), at
// most 50 characters, + ".bat". The same command always gives the same file.
std::wstring bat_path(const std::wstring& command);

// Writes the command line (and a line end) as a Shift_JIS batch file at
// bat_path(command); returns its path.
std::wstring write_batch(const std::wstring& command);

// The full path of a program as "where" finds it (the first line of its
// answer), name itself when it is an existing path with a folder part, or ""
// when nothing is found. "where" runs in the dated working folder with its
// output in name.chk and its error output in name.err (removed when the
// process ends), and is waited for until it ends, at most about 10 seconds
// (the update check asks from its own thread, never the window's). The
// command line is kept as a batch file in the batch folder. Names other than
// plain program names (letters, digits, ".", "_", "-", "+") are refused with "".
std::wstring get_which(const std::wstring& name);

// True when name can be handed to "where" and used as an answer file's name.
bool is_lookup_name(const std::wstring& name);

// The command line of a lookup, as its batch file holds it (to be run in the
// dated working folder): where "name" > name.chk 2> name.err
std::wstring which_command(const std::wstring& name);

// The lock under which lookups, from any thread, queue the removal of their
// answer files in batch_exit_ops().
std::mutex& batch_exit_ops_guard();

// The command processor: %ComSpec%, else cmd.exe in the system folder.
std::wstring command_processor();

// The ProductVersion of the system's kernel32.dll, with spaces removed and ","
// as ".", e.g. "10.0.19041.1"; no program is started for it.
std::wstring windows_version();

}  // namespace quillet
