// The copy run and its plain copy of files that are not text.
#include "engine/copy_run.h"

#include <windows.h>
#include <io.h>

#include <cstdint>
#include <cstdlib>

#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/progress.h"
#include "base/report_box.h"
#include "engine/convert.h"
#include "engine/detect.h"
#include "engine/file_io.h"
#include "engine/rescue.h"

namespace quillet {
namespace {

HMODULE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&this_module), &module);
    return module;
}

bool file_identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    unique_hfile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info);
}

// True when both paths name one file, also through another spelling of the
// path (letter case, "/" for "\\", short names): writing the destination would
// then overwrite the source itself.
bool same_file(const std::wstring& a, const std::wstring& b) {
    if (to_lower(path_normalize(a)) == to_lower(path_normalize(b))) return true;
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (!file_identity(a, ia) || !file_identity(b, ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

}  // namespace

int code_from_item_text(const std::wstring& text) {
    if (text.empty()) return -1;
    const long value = std::wcstol(text.c_str(), nullptr, 10);
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

bool copy_if_newer(const std::wstring& src, const std::wstring& dest) {
    if (src.empty() || dest.empty()) return false;
    if (to_lower(src) == to_lower(dest)) return false;
    if (!path_exists(src, false)) return false;
    bool replace = false;
    const bool network = dest.size() >= 2 && dest[0] == L'\\' && dest[1] == L'\\';
    if (network ? _waccess(dest.c_str(), 0) != 0 : file_status(dest).failed())
        replace = true;
    else
        replace = file_status(src).mtime() >= file_status(dest).mtime();
    if (!replace) return false;
    if (!path_exists(src, false)) return false;
    const std::wstring folder = path_folder(dest);
    if (!folder_exists(folder) && !make_folders(folder)) return false;
    return CopyFileW(src.c_str(), dest.c_str(), FALSE) != 0;
}

bool dump_report(const std::wstring& text) {
    if (path_ext_lower(module_path(this_module())) == L"dll") return false;
    const std::wstring line = dump_line_text(text);
    std::vector<uint8_t> bytes;
    bytes.reserve(line.size() * 2);
    for (wchar_t unit : line) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>((unit >> 8) & 0xFF));
    }
    return dump_write(bytes);
}

copy_run_result copy_run(int code, const text_translator& translate) {
    copy_run_result run;
    run.code = code;
    copy_list_store& s = store();
    run.dest_folder = path_add_sep(s.get_folder());
    const std::vector<std::wstring> files = s.get_files();
    {
        progress_meter meter(L" ... ", 0);
        meter.set_color(0x8000);
        meter.set_total(static_cast<uint32_t>(files.size()));
        find_status_bar();
        for (const std::wstring& src : files) {
            meter.step();
            ++run.processed;
            const std::wstring dest = run.dest_folder + path_name(src);
            const file_status src_status(src);
            if (!src_status.is_file() || file_status(dest).mtime() > src_status.mtime() ||
                same_file(src, dest)) {
                run.not_updated.push_back(src);
                continue;
            }
            if (!is_text_file(src)) {
                backup_if_exists(dest);
                if (!copy_if_newer(src, dest)) run.not_updated.push_back(src);
                continue;
            }
            if (convert_file(code, src, run.dest_folder)) continue;
            run.unsaved = src;
            report_box(translated(translate, L"Unable to save.\r\n") + path_name(src), 0, 0);
            break;
        }
        run.list_saved = s.save_encoded_list(code);
        if (!run.not_updated.empty())
            dump_report(translated(translate, L"Did not update.\r\n") + lines_text(run.not_updated));
        run.entries = s.file_entries();
    }
    return run;
}

}  // namespace quillet
