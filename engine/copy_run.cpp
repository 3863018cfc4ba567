// The copy run and its plain copy of files that are not text.
#include "engine/copy_run.h"

#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <unordered_map>

#include "base/file_replace.h"
#include "base/folder_lock.h"
#include "base/log.h"
#include "base/paths.h"
#include "engine/convert.h"
#include "engine/dest_name.h"
#include "text/detect.h"
#include "engine/entries.h"
#include "engine/file_io.h"
#include "text/file_pieces.h"
#include "text/loss_report.h"
#include "engine/entry.h"
#include "engine/run_context.h"
#include "engine/rescue.h"
#include "engine/run_observer.h"

namespace quillet {
namespace {

entry_outcome left_alone(const std::wstring& reason) {
    return make_outcome(entry_result::left_alone, reason);
}

// Records why src, a text file, was copied unchanged instead of converted to
// code: the source is read again (the conversion has let its bytes go).
// Sources too large to hold are reported by the reason the conversion gave.
void note_kept(copy_run_result& run, const std::wstring& src, int code, const std::wstring& reason) {
    constexpr int64_t kMostHeld = int64_t(16) << 20;
    std::wstring text;
    if (file_status(src).size() <= kMostHeld)
        text = loss_report_text(src, conversion_loss(read_file_bytes(src), code), code);
    if (text.empty()) text = src + L": kept unchanged: " + reason + L"\n";
    run.kept.push_back(text);
}

// A file the run could not handle, as opposed to one it had no reason to touch.
bool is_failure(entry_result result) {
    return result == entry_result::source_unreadable || result == entry_result::backup_failed ||
           result == entry_result::refused;
}

// While entry index is worked on, the observer hears how far its files have
// been read: of about three passes over the source (the text test, the
// conversion or copy, the read-back), never beyond them.
void report_progress(run_context& context, run_observer& observer, size_t index,
                     const std::wstring& src) {
    context.files.on_progress([&observer, index, src, total = uint64_t(0)](uint64_t read) mutable {
        if (total == 0) total = 3 * static_cast<uint64_t>(std::max<int64_t>(1, file_status(src).size()));
        observer.entry_progress(index, std::min(read, total), total);
    });
}

// A path as a key of the run's record of written files.
std::wstring path_key(const std::wstring& path) { return to_lower(path_normalize(path)); }

// Runs the entries of files in order until the last, a stop by the user, or a
// destination that cannot be written, filling outcomes, last_writer (the last
// entry that wrote each path) and run's lists. No backup replaces a source
// while the entries read them.
void run_entries(run_context& context, int code, const std::vector<std::wstring>& files,
                 const text_translator& translate, run_observer& observer, copy_run_result& run,
                 std::vector<entry_outcome>& outcomes,
                 std::unordered_map<std::wstring, size_t>& last_writer) {
    // The first entry of each destination name holds it: a later entry of the
    // same name from another folder would replace its file. (The same source
    // listed twice is processed twice, as before: it finds itself current.)
    std::unordered_map<std::wstring, size_t> holders;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::wstring& src = files[i];
        observer.entry_started(i);
        // Stopped by the user: the files not reached are left alone.
        if (observer.stop_requested()) {
            run.not_updated.insert(run.not_updated.end(),
                                   files.begin() + static_cast<std::ptrdiff_t>(i), files.end());
            run.reasons.resize(run.not_updated.size(), L"the run was stopped");
            break;
        }
        ++run.processed;
        // The destination folder plus a plain name, or the entry's refusal.
        const dest_choice choice = destination_of(run.dest_folder, src);
        const std::wstring& dest = choice.path;
        const auto holder = choice.ok() ? holders.emplace(name_key(path_name(dest)), i).first : holders.end();
        if (holder != holders.end() && name_taken(files[holder->second], src)) {
            outcomes[i] = left_alone(same_name_reason(files[holder->second]));
            run.same_name.push_back(src + L"  (" + outcomes[i].reason + L")");
        } else {
            if (choice.ok()) last_writer[path_key(dest)] = i;
            if (choice.ok()) {
                report_progress(context, observer, i, src);
                outcomes[i] = process_entry(context, code, src, dest);
                context.files.on_progress(nullptr);
            } else {
                outcomes[i] = left_alone(choice.refusal);
            }
        }
        const entry_outcome& outcome = outcomes[i];
        if (!outcome.false_declaration.empty()) {
            log_line(L"::copy_run   " + outcome.false_declaration + L"   " + src);
            run.false_declarations.push_back(src + L": " + outcome.false_declaration);
        }
        if (outcome.result == entry_result::destination_unwritable) {
            log_line(L"::copy_run   " + outcome.reason + L"   " + dest);
            run.unsaved = src;
            run.unsaved_reason = outcome.reason;
            observer.entry_done(i, outcome);
            const std::wstring message = translated(translate, L"Unable to save.\r\n") + path_name(src);
            dump_report(message);  // the record, whether or not anyone shows it
            observer.cannot_save(dest, message);
            break;
        }
        if (outcome.kept_unchanged) note_kept(run, src, code, outcome.reason);
        if (!outcome.done()) {
            if (is_failure(outcome.result)) ++run.failed;
            log_line(L"::copy_run   " + outcome.reason + L"   " + src);
            run.not_updated.push_back(src);
            run.reasons.push_back(outcome.reason);
        }
        observer.entry_done(i, outcome);
    }
}

}  // namespace

int code_from_item_text(const std::wstring& text) {
    if (text.empty()) return -1;
    const long value = std::wcstol(text.c_str(), nullptr, 10);
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

std::wstring same_name_reason(const std::wstring& holder) {
    return L"same destination name as " + holder;
}

void log_kept_files(const copy_run_result& run, const text_translator& translate) {
    if (run.kept.empty()) return;
    std::wstring text = translated(translate, L"Kept unchanged.\r\n");
    for (const std::wstring& why : run.kept) text += why;
    dump_report(text);
}

bool dump_report(const std::wstring& text) {
    if (built_into_dll()) return false;
    return dump_write(wide_bytes(dump_line_text(text)));
}

copy_request store_request(int code, const text_translator& translate) {
    const copy_list_store& s = store();
    copy_request request;
    request.dest_folder = s.get_folder();
    request.files = s.get_files();
    request.code = code;
    request.translate = translate;
    request.unreadable_list = s.unreadable_list();
    request.list_problem = s.list_problem();
    return request;
}

copy_run_result copy_run(int code, const text_translator& translate, run_observer* observer) {
    return copy_run(store_request(code, translate), observer);
}

copy_run_result copy_run(const copy_request& request, run_observer* watcher) {
    run_observer silent;
    run_observer& observer = watcher ? *watcher : silent;
    const int code = request.code;
    const text_translator& translate = request.translate;
    const std::wstring& folder = request.dest_folder;
    const std::vector<std::wstring>& files = request.files;
    copy_run_result run;
    run.code = code;
    run.dest_folder = path_add_sep(folder);
    // A list that could not be read is not an empty list: nothing is run, and
    // the earlier record of the folder is not replaced by an empty one.
    if (!request.unreadable_list.empty()) {
        run.unreadable_list = request.unreadable_list;
        run.list_problem = request.list_problem;
        log_line(L"::copy_run   List not read   " + run.unreadable_list);
        observer.list_unreadable(unreadable_list_message(run.unreadable_list, run.list_problem, translate));
        run.entries = file_entries(folder, files);
        return run;
    }
    // What the run found out about each entry's files, for the status lines at
    // its end, and the last entry that wrote (or may have written) each path:
    // an entry's findings hold only while no later entry wrote either file.
    std::vector<entry_outcome> outcomes(files.size());
    std::unordered_map<std::wstring, size_t> last_writer;
    // The destination folder and the Rescue folders are listed once each, not
    // asked for every name that is not there yet.
    run_context context(files);
    observer.begin(files.size());
    // One run at a time per destination folder, the wait reported; no
    // backup replaces a file the run reads.
    const folder_lock lock(
        folder, [&] { observer.waiting(folder, L"another run into this folder"); },
        [&] { return observer.stop_requested(); });
    if (lock.stopped()) {
        // Stopped while another run held the folder: nothing was touched.
        run.not_updated = files;
        run.reasons.assign(files.size(), L"the run was stopped");
        run.entries = file_entries(folder, files);
        return run;
    }
    // The sources are guarded while the entries read them: the run's own
    // record, saved after them, is backed up without asking who they are.
    run_entries(context, code, files, translate, observer, run, outcomes, last_writer);
    context.guard.reset();
    if (request.write_record) {
        run.list_record = encoded_list_path(folder, code);
        run.list_saved = save_list_record(folder, files, code, &context);
        if (!run.list_saved) {
            log_line(L"::copy_run   Can't save the list   " + run.list_record);
            const std::wstring message =
                translated(translate, L"Unable to save.\r\n") + path_name(run.list_record);
            dump_report(message);
            observer.cannot_save(run.list_record, message);
        }
        last_writer[path_key(run.list_record)] = files.size();
    }
    if (!run.not_updated.empty())
        dump_report(translated(translate, L"Did not update.\r\n") + lines_text(run.not_updated));
    log_kept_files(run, translate);
    if (!run.false_declarations.empty())
        dump_report(translated(translate, L"Declared encoding differs.\r\n") +
                    lines_text(run.false_declarations));
    // The status lines, with what the run found out about each entry.
    std::vector<const entry_outcome*> known(files.size(), nullptr);
    const auto written_after = [&](const std::wstring& path, size_t i) {
        const auto it = last_writer.find(path_key(path));
        return it != last_writer.end() && it->second > i;
    };
    for (size_t i = 0; i < files.size(); ++i) {
        if (!outcomes[i].known && outcomes[i].result != entry_result::source_unreadable) continue;
        if (written_after(destination_of(run.dest_folder, files[i]).path, i) || written_after(files[i], i))
            continue;
        known[i] = &outcomes[i];
    }
    run.entries = file_entries(folder, files, known);
    return run;
}

}  // namespace quillet
