// Times the steps of a copy run on each file of a folder, inside one process:
// the status of both files, the text test of the source, the conversion (into
// an empty destination folder: the whole conversion with its read-back; into
// the folder of an earlier run: the up-to-date check), and then, on their own,
// the pieces those steps are made of: reading the heads, judging the code of
// each head, and decoding and comparing both texts.
//   phases.exe SOURCE_FOLDER DEST_FOLDER CODE
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/paths.h"
#include "engine/convert.h"
#include "engine/run_context.h"
#include "text/detect.h"
#include "text/file_pieces.h"

using namespace quillet;

namespace {

double now_ms() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / frequency.QuadPart;
}

std::vector<std::wstring> names_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*.txt").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const std::wstring src_folder = argv[1], dest_folder = argv[2];
    const int code = _wtoi(argv[3]);
    const std::vector<std::wstring> names = names_in(src_folder);
    double t_compare = 0, t_head = 0, t_guess_src = 0, t_guess_dest = 0, t_src = 0, t_dest = 0, t_text = 0, t_convert = 0;
    int up = 0;
    for (const std::wstring& name : names) {
        const std::wstring src = src_folder + L"\\" + name, dest = dest_folder + L"\\" + name;
        double t0 = now_ms();
        run_shared shared({src});
        run_context run(shared);
        run.files.keep({src, dest});
        const file_status src_status(src);
        double t1 = now_ms();
        const file_status dest_status(dest);
        double t2 = now_ms();
        const text_check check = check_text_file(src);
        double t3 = now_ms();
        const entry_outcome outcome =
            convert_entry(&run, code, src, dest, src_status, dest_status, check.code);
        double t4 = now_ms();
        std::vector<uint8_t> head;
        read_file_head(src, head);
        double t5 = now_ms();
        volatile int c = head_code(head);
        (void)c;
        double t6 = now_ms();
        std::vector<uint8_t> dhead;
        read_file_head(dest, dhead);
        double t7 = now_ms();
        c = head_code(dhead);
        double t8 = now_ms();
        file_texts_equal(src, dest, check.code, c);
        double t9 = now_ms();
        t_head += t5 - t4 + t7 - t6, t_guess_src += t6 - t5, t_guess_dest += t8 - t7;
        t_compare += t9 - t8;
        t_src += t1 - t0, t_dest += t2 - t1, t_text += t3 - t2, t_convert += t4 - t3;
        up += outcome.result == entry_result::up_to_date;
    }
    const double n = names.empty() ? 1 : static_cast<double>(names.size());
    std::printf("%zu files, %d up to date; ms per file: source status %.3f, destination status "
                "%.3f, text test %.3f, conversion or up-to-date check %.3f\n",
                names.size(), up, t_src / n, t_dest / n, t_text / n, t_convert / n);
    std::printf("pieces, ms per file: head reads %.3f, code of the source's head %.3f, of the "
                "destination's head %.3f, both texts decoded and compared %.3f\n",
                t_head / n, t_guess_src / n, t_guess_dest / n, t_compare / n);
    return 0;
}
