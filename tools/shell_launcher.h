// Hands a document, a program or a folder to the Windows shell (ShellExecuteW)
// and, when the shell refuses, tells the user why in a message box.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace quillet {

class shell_launcher {
public:
    // owner owns what the shell shows (the window launching, or none); the
    // show command is SW_SHOWNORMAL; verb, file and parameters are unset.
    explicit shell_launcher(HWND owner = nullptr);
    virtual ~shell_launcher() = default;

    virtual bool set_show(int command);
    virtual bool set_verb(const std::wstring& verb);
    // Uses file as it is when it exists, otherwise find_program(file).
    virtual bool set_file(const std::wstring& file);
    virtual bool set_params(const std::wstring& params);
    // Stores file exactly as given, never looked for as a program: for a web
    // address the shell picks its own handler.
    bool set_address(const std::wstring& address);
    // Asks the shell; on a refusal logs the reason, keeps it for refusal() (the
    // window shows it) and returns false. Without a file, the parameters take
    // the file's place.
    virtual bool execute();
    // Why the shell refused the last execute (shell_refusal_message), "" before.
    const std::wstring& refusal() const { return refusal_; }
    // Explorer ("explorer.exe") with folder as its parameter, quoted when
    // Explorer would otherwise cut it (explorer_argument).
    virtual bool explore(const std::wstring& folder);

    HWND owner() const { return owner_; }
    int show() const { return show_; }
    const std::wstring& verb() const { return verb_; }
    const std::wstring& file() const { return file_; }
    const std::wstring& params() const { return params_; }
    bool has_verb() const { return has_verb_; }
    bool has_file() const { return has_file_; }
    bool has_params() const { return has_params_; }

private:
    HWND owner_ = nullptr;
    int show_ = SW_SHOWNORMAL;
    std::wstring verb_, file_, params_, refusal_;
    bool has_verb_ = false, has_file_ = false, has_params_ = false;
};

// The full path of a program given by name: name itself when it exists, else
// the first existing of Program Files\name, C:\Program Files\name,
// C:\Program Files (x86)\name and, for an ".exe", the Windows and system
// folders; name unchanged when none exists (the shell then searches).
std::wstring find_program(const std::wstring& name);

// folder as one Explorer argument: in double quotes when it holds a space, a
// tab, a comma, a semicolon or "=", where Explorer cuts its command line.
std::wstring explorer_argument(const std::wstring& folder);

// True for an "https://" address with a server and no space, control
// character or double quote.
bool is_web_address(const std::wstring& address);
// Opens a web address through the shell's handler for web addresses (the
// user's browser); anything but an is_web_address is refused with a note on
// the standard error stream, and no program is ever looked for.
bool open_web_address(const std::wstring& address);

// The first part of a refusal message for a ShellExecuteW result code: the
// shell's documented reason, or "Error\n" + file + "\n" + parameters.
std::wstring shell_error_text(intptr_t code, const std::wstring& file, const std::wstring& params);
// The whole refusal message: the reason, then the Operation=, File= and
// Paramaters= lines with their values in double quotes.
std::wstring shell_refusal_message(intptr_t code, const std::wstring& verb,
                                   const std::wstring& file, const std::wstring& params);

// Test seam: when set, it is called instead of ShellExecuteW with the same
// arguments (null for an unset text) and its result is taken as the shell's.
using shell_execute_hook = std::function<intptr_t(HWND owner, const wchar_t* verb,
                                                  const wchar_t* file, const wchar_t* params,
                                                  const wchar_t* directory, int show)>;
void set_shell_execute_hook(shell_execute_hook hook);

}  // namespace quillet
