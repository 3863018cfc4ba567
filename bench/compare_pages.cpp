// Benchmark of the update check's comparison: two 16 MB pages that differ
// only in their last line, compared as the check compares a new download with
// the last good one (same_page, then pages_differ with its comparison files).
// Three shapes of page: one long line of text, one long line of tags (which
// the comparison breaks into about 1.6 million lines), and many short lines.
// Prints the milliseconds of each step: same_page, pages_differ (its files,
// the "fc" lookup and run included) and, within it, the breaking of both pages
// at their tags.
//
//   compare_pages.exe [temporary folder]
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/paths.h"
#include "tools/update_check.h"

namespace {

constexpr size_t page_chars = 16u * 1024u * 1024u;

std::wstring repeated(const std::wstring& piece, const std::wstring& end) {
    std::wstring page;
    page.reserve(page_chars + end.size());
    while (page.size() + piece.size() <= page_chars) page += piece;
    return page + end;
}

double now_ms() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void measure(const wchar_t* shape, const std::wstring& piece) {
    const std::wstring old_page = repeated(piece, L"<p>1.0</p>");
    const std::wstring new_page = repeated(piece, L"<p>1.1</p>");
    const double start = now_ms();
    const bool same = quillet::same_page(old_page, new_page);
    const double compared = now_ms();
    // The text work of pages_differ alone: both pages broken at their tags.
    const size_t broken = quillet::html_line_breaks(old_page).size() + quillet::html_line_breaks(new_page).size();
    const double broken_at = now_ms();
    quillet::fetch_control control(600000);
    const bool differ = quillet::pages_differ(old_page, new_page, &control);
    const double done = now_ms();
    std::printf("%-18ls same_page %6.0f ms  pages_differ %6.0f ms (line breaks %6.0f ms)  total %6.0f ms  %s\n",
                shape, compared - start, done - broken_at, broken_at - compared,
                (compared - start) + (done - broken_at),
                !same && differ && broken > 0 ? "changed" : "WRONG: no change found");
}

}  // namespace

// The optional argument names the temporary folder (Wine sets TMP and TEMP
// itself at every start, so the run's own folder is set here).
int wmain(int argc, wchar_t** argv) {
    if (argc > 1) {
        SetEnvironmentVariableW(L"TMP", argv[1]);
        SetEnvironmentVariableW(L"TEMP", argv[1]);
    }
    measure(L"one line of text", L"lorem ipsum dolor sit amet ");
    measure(L"one line of tags", L"<li>7</li>");
    measure(L"many short lines", L"<p>7</p>\r\n");
    return 0;
}
