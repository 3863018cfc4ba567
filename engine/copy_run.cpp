// The copy run and its plain copy of files that are not text.
#include "engine/copy_run.h"

#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>

#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/progress.h"
#include "base/report_box.h"
#include "engine/convert.h"
#include "engine/detect.h"
#include "engine/entries.h"
#include "engine/file_io.h"
#include "engine/loss_report.h"
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
// then overwrite the source itself. distinct is set when they were found to be
// two files by their identities, or the destination is missing.
bool same_file(const std::wstring& a, const std::wstring& b, const file_status& b_status,
               bool& distinct) {
    distinct = false;
    if (to_lower(path_normalize(a)) == to_lower(path_normalize(b))) return true;
    // A destination that is not there cannot be the source (and needs no open).
    if (b_status.failed() && b_status.error() == ENOENT) {
        distinct = true;
        return false;
    }
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    if (!file_identity(a, ia) || !file_identity(b, ib)) return false;
    const bool same = ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
                      ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    distinct = !same;
    return same;
}

// Records why src, a text file, was copied unchanged instead of converted to
// code: the source is read again (the conversion has let its bytes go).
void note_kept(copy_run_result& run, const std::wstring& src, int code) {
    std::wstring text = loss_report_text(src, conversion_loss(read_file_bytes(src), code), code);
    if (text.empty()) text = src + L": kept unchanged: the converted file did not read back the same\n";
    run.kept.push_back(text);
}

// A path as a key of the run's record of written files.
std::wstring path_key(const std::wstring& path) { return to_lower(path_normalize(path)); }

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

void log_kept_files(const copy_run_result& run, const text_translator& translate) {
    if (run.kept.empty()) return;
    std::wstring text = translated(translate, L"Kept unchanged.\r\n");
    for (const std::wstring& why : run.kept) text += why;
    dump_report(text);
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
    // What the run found out about each entry's files, for the status lines at
    // its end, and the last entry that wrote (or may have written) each path:
    // an entry's findings hold only while no later entry wrote either file.
    std::vector<entry_facts> facts(files.size());
    std::vector<bool> has_facts(files.size(), false);
    std::unordered_map<std::wstring, size_t> last_writer;
    {
        progress_meter meter(L" ... ", 0);
        meter.set_color(0x8000);
        meter.set_total(static_cast<uint32_t>(files.size()));
        find_status_bar();
        for (size_t i = 0; i < files.size(); ++i) {
            const std::wstring& src = files[i];
            meter.step();
            ++run.processed;
            const std::wstring dest = run.dest_folder + path_name(src);
            const file_status src_status(src);
            if (!src_status.is_file()) {
                run.not_updated.push_back(src);
                continue;
            }
            const file_status dest_status(dest);
            bool distinct = false;
            if (dest_status.mtime() > src_status.mtime() || same_file(src, dest, dest_status, distinct)) {
                run.not_updated.push_back(src);
                continue;
            }
            last_writer[path_key(dest)] = i;
            // The text test, with the source read once for the test and the
            // conversion (the archive test looks at the head on its own).
            source_data data;
            bool text = !is_archive(src);
            if (text) {
                data.bytes = read_file_bytes(src);
                data.text = decode_text(data.bytes);
                data.read = true;
                text = is_text_read(data.bytes, data.text, src_status.size());
            }
            if (!text) {
                data = source_data();
                // A destination is never replaced unless its backup exists:
                // without one, the file is left alone like any other.
                if (!backup_before_replace(dest)) {
                    log_line(L"::copy_run   Can't back up   " + dest);
                    run.not_updated.push_back(src);
                    continue;
                }
                if (!copy_if_newer(src, dest)) run.not_updated.push_back(src);
                continue;
            }
            const text_code src_code = detect_code(data.bytes);
            convert_outcome outcome;
            if (convert_read_file(code, src, dest, src_status, dest_status, distinct, data, &outcome)) {
                if (outcome.kept_unchanged) note_kept(run, src, code);
                if (outcome.known) {
                    entry_facts& f = facts[i];
                    f.src_mtime = outcome.src_mtime;
                    f.src_size = outcome.src_size;
                    f.dest_mtime = outcome.dest_mtime;
                    f.dest_size = outcome.dest_size;
                    f.dest_text_file = outcome.dest_text_file;
                    f.dest_code = outcome.dest_code;
                    f.src_code = src_code;
                    has_facts[i] = true;
                }
                continue;
            }
            run.unsaved = src;
            report_box(translated(translate, L"Unable to save.\r\n") + path_name(src), 0, 0);
            break;
        }
        run.list_saved = s.save_encoded_list(code);
        last_writer[path_key(encoded_list_path(s.get_folder(), code))] = files.size();
        if (!run.not_updated.empty())
            dump_report(translated(translate, L"Did not update.\r\n") + lines_text(run.not_updated));
        log_kept_files(run, translate);
        // The status lines of the store's list, which the run has not changed.
        const std::vector<std::wstring> listed = s.get_files();
        std::vector<const entry_facts*> known(listed.size(), nullptr);
        const auto written_after = [&](const std::wstring& path, size_t i) {
            const auto it = last_writer.find(path_key(path));
            return it != last_writer.end() && it->second > i;
        };
        if (listed == files) {
            for (size_t i = 0; i < files.size(); ++i) {
                if (!has_facts[i]) continue;
                if (written_after(run.dest_folder + path_name(files[i]), i) ||
                    written_after(files[i], i))
                    continue;
                known[i] = &facts[i];
            }
        }
        run.entries = file_entries(s.get_folder(), listed, known);
    }
    return run;
}

}  // namespace quillet
