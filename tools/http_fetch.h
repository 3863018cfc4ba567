// Downloading one web resource to a local file below the download folder
// (HTTPS first, then HTTP) with the program's user-agent text, and the text and
// file helpers that go with it: URL to local name, numbered free names, moves
// and the replace-every-occurrence helper.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace quillet {

// Responses larger than this are cut off and count as failed downloads.
constexpr uint64_t max_response_bytes = 16u * 1024u * 1024u;
// Redirects followed for one request; one more is a failed download.
constexpr int max_redirects = 5;
// The longest wait for a connection, for the server to take the request, and
// between two pieces of its answer.
constexpr DWORD request_timeout_ms = 20000;
// The deadline of a download (or comparison) that is given no control.
constexpr DWORD default_budget_ms = 30000;

// The bounds of a group of downloads: one deadline for all of them, and a stop
// that another thread may ask for at any time. Every wait of a download ends
// at the deadline or within about 100 ms of a stop.
class fetch_control {
public:
    explicit fetch_control(DWORD budget_ms);
    fetch_control(const fetch_control&) = delete;
    fetch_control& operator=(const fetch_control&) = delete;

    // Thread-safe.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }
    // True once stopped or past the deadline.
    bool expired() const { return stopped_ || remaining_ms() == 0; }
    // Milliseconds left before the deadline (0 when stopped or past it).
    DWORD remaining_ms() const;
    // The wait allowed for one step: the request timeout or what is left,
    // whichever is shorter.
    DWORD step_ms() const;

private:
    ULONGLONG deadline_;
    std::atomic<bool> stopped_{false};
};

// Downloads url (with or without scheme) to its local file and returns that
// file's path, whether or not the download succeeded. A good download moves
// the earlier one of the same address to the next numbered name; a failed
// one leaves the earlier one as it was.
std::wstring fetch_url(const std::wstring& url);
// The same, within control's bounds when given; true when a good response
// (status 2xx, not empty, not larger than max_response_bytes) was stored.
bool fetch_page(const std::wstring& url, fetch_control* control = nullptr);

// One GET of scheme ("https:" or "http:") + url (beginning "//"), following
// up to max_redirects redirects with the same rules at every hop. The answer
// goes to a sibling of local ("<local>.part") first and replaces local (whose
// earlier copy moves to the next numbered name) only when it is whole: status
// 2xx, not empty and not larger than max_response_bytes. False when the
// address cannot be parsed, the server fails or refuses, the deadline passes
// or the transfer is stopped; local is then untouched.
bool http_get(const std::wstring& scheme, const std::wstring& url, const std::wstring& local,
              fetch_control* control = nullptr);

// The full address a redirect leads to: location taken relative to the full
// address from (scheme, server and folder); "" when it leads to a scheme
// other than http or https.
std::wstring redirect_target(const std::wstring& from, const std::wstring& location);

// url without any "https:" and "http:", beginning with "//".
std::wstring normalize_url(const std::wstring& url);

// The relative path ("_\\server\\folder\\name") of a URL's local copy; an
// address without a known file extension gets the name "_.htm" or "_.html",
// query characters become folder separators and no folder holds a ".".
std::wstring url_to_local_name(const std::wstring& url);

// temp\n_Bench.tmp\I_Read (created when missing), without trailing separator.
std::wstring download_folder();
// The download folder plus url_to_local_name(url); its folder is created.
std::wstring local_file_of(const std::wstring& url);

// path itself when always is false and path does not exist; otherwise the
// first free name of the form stem.000.ext to stem.999.ext (path itself when
// all are taken).
std::wstring numbered_free_name(const std::wstring& path, bool always);

// Moves src to dst (creating dst's folder). False when src is missing, when
// no_replace is set and dst exists, or when the move fails; when a plain move
// is refused the file is copied and src removed only after a good copy.
bool move_file(const std::wstring& src, const std::wstring& dst, bool no_replace);

// text with every occurrence of from replaced by to, found regardless of the
// case of the letters A-Z (an exact match is what is normally found). When to
// is shorter than from, the scan goes on at the replacement, so runs collapse
// (".." by "." turns "...." into "."); otherwise it goes on after it.
std::wstring replace_all(std::wstring text, const std::wstring& from, const std::wstring& to);

// The user-agent text of every request: program, Windows version, program
// version, build marks and screen scale (never the login name); computed once
// per process.
std::wstring u_agent();

// The pieces u_agent() is made of, in its order.
// 1. The program title, or the running file's name when the title is empty.
std::wstring agent_program(const std::wstring& title, const std::wstring& file_name);
// 2. "Windows NT " + number + " (" + version + ")"; the number is version read
//    as a floating-point number with at most 6 significant digits.
std::wstring agent_windows(const std::wstring& version);
// 3. "(file_name)" when the title is not empty and differs from file_name other
//    than in case; then " Ver." + the file version (spaces removed, "," as
//    ".") + " " when there is one.
std::wstring agent_suffix(const std::wstring& title, const std::wstring& file_name,
                          const std::wstring& file_version);
// 4. " WOW64 " for a 32-bit process on 64-bit Windows, then " UNICODE ",
//    " AFXDLL " and " Win 400 ".
std::wstring agent_platform(bool wow64);
// 5. " VC 6  MSC 12 ": the tool-set marks, each between single spaces.
std::wstring agent_toolset();
// 6. "  DPI " + dpi * 100 / 96 + "%" when dpi is not 96, else "".
std::wstring agent_dpi(int dpi);
// Whole-number form of a number with at most 6 significant digits ("%g").
std::wstring short_number(double value);
// The pieces put together: program + " " + windows + " " + suffix + platform
// + toolset + dpi.
std::wstring agent_text(const std::wstring& program, const std::wstring& windows,
                        const std::wstring& suffix, const std::wstring& platform,
                        const std::wstring& toolset, const std::wstring& dpi);

}  // namespace quillet
