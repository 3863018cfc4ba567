// Where the status line of one large file spends its time, inside one
// process: the status query, the text test of the destination and of the
// source, the comparison of their texts, and the whole status line.
// Prints the milliseconds of each piece.
//
//   status_pieces.exe DEST_FOLDER SOURCE
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/paths.h"
#include "engine/dest_name.h"
#include "text/detect.h"
#include "text/encodings.h"
#include "engine/entries.h"
#include "text/file_pieces.h"

namespace {

double now_ms() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

template <typename Step>
void timed(const char* name, Step step) {
    const double start = now_ms();
    const std::wstring result = step();
    std::wprintf(L"%-28hs %9.1f ms  %ls\n", name, now_ms() - start, result.c_str());
}

std::wstring verdict(const quillet::text_check& check) {
    if (!check.readable) return L"unreadable";
    return (check.text ? L"text " : L"binary ") + quillet::encoding_label(check.code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace quillet;
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: status_pieces DEST_FOLDER SOURCE\n");
        return 2;
    }
    const std::wstring folder = argv[1], src = argv[2];
    const std::wstring dest = destination_of(folder, src).path;
    const bool has_dest = path_exists(dest, false);
    timed("status queries", [&] {
        return std::to_wstring(file_status(src).size()) + L" / " + std::to_wstring(file_status(dest).size());
    });
    if (has_dest) timed("text test, destination", [&] { return verdict(check_text_file(dest)); });
    timed("text test, source", [&] { return verdict(check_text_file(src)); });
    if (has_dest)
        timed("texts compared whole", [&] { return std::wstring(file_texts_equal(src, dest) ? L"equal" : L"differ"); });
    timed("whole status line", [&] { return status_line(folder, src).substr(0, 20); });
    return 0;
}
