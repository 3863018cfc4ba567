// The copy run and its plain copy of files that are not text.
#include "engine/copy_run.h"

#include <windows.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>

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
#include "engine/entry_workers.h"
#include "engine/run_context.h"
#include "engine/rescue.h"
#include "engine/run_observer.h"

namespace quillet {
namespace {

entry_outcome left_alone(const std::wstring& reason) {
    return make_outcome(entry_result::left_alone, reason);
}

// A file the run could not handle, as opposed to one it had no reason to touch.
bool is_failure(entry_result result) {
    return result == entry_result::source_unreadable || result == entry_result::backup_failed ||
           result == entry_result::refused;
}

// How far entry job has been read, of about three passes over its source
// (the text test, the conversion or copy, the read-back), never beyond them.
void report_progress(run_observer& observer, const entry_job& job) {
    const uint64_t total = 3 * static_cast<uint64_t>(std::max<int64_t>(1, file_status(job.src).size()));
    observer.entry_progress(job.index, std::min<uint64_t>(job.read, total), total);
}

// A path as a key of the run's record of written files.
std::wstring path_key(const std::wstring& path) { return to_lower(path_normalize(path)); }

// The run's entries, handed to the workers in list order and reported in list
// order: the entries of one destination never at the same time, no entry
// started once the user asked to stop or a destination could not be written
// (those already running finish and are reported).
class entry_runner {
public:
    entry_runner(const copy_request& request, run_observer& observer, copy_run_result& run,
                 std::vector<entry_outcome>& outcomes,
                 std::unordered_map<std::wstring, size_t>& last_writer)
        : request_(request), files_(request.files), observer_(observer), run_(run),
          outcomes_(outcomes), last_writer_(last_writer) {}

    void run_all(run_shared& shared) {
        const size_t count = request_.jobs > 0 ? request_.jobs : default_worker_count();
        entry_workers workers(shared, count, [this](const entry_job& job) { report_progress(observer_, job); });
        const size_t window = entries_handed_out(workers.count());
        size_t next = 0;
        dest_choice choice;  // next's destination, once asked for
        size_t chosen = SIZE_MAX;
        for (;;) {
            report_finished();
            if (!ending_ && !pending_.empty() && observer_.stop_requested()) {
                // Stopped by the user: nothing more is begun.
                ending_ = true;
                stopped_from_ = next;
            }
            if (ending_) withdraw_waiting(workers);
            if (!ending_ && next < files_.size() && busy_.size() < window) {
                if (chosen != next) choice = destination_of(run_.dest_folder, files_[chosen = next]);
                // An entry of a destination another entry is still writing waits for it.
                if (!choice.ok() || busy_.count(path_key(choice.path)) == 0) {
                    start(workers, next++, choice);
                    continue;
                }
            }
            if (pending_.empty() && (ending_ || next == files_.size())) break;
            // The first entry to finish, its progress told meanwhile.
            const entry_job& first = *pending_.front();
            workers.wait_for(first, 100);
            if (!entry_workers::finished(first) && first.read > 0) report_progress(observer_, first);
        }
        if (stopped_from_ < files_.size()) {
            // Stopped by the user: the files not reached are left alone.
            run_.not_updated.insert(run_.not_updated.end(),
                                    files_.begin() + static_cast<std::ptrdiff_t>(stopped_from_), files_.end());
            run_.reasons.resize(run_.not_updated.size(), L"the run was stopped");
        }
    }

private:
    // Hands out entry i, whose destination is choice (or left alone at once).
    void start(entry_workers& workers, size_t i, const dest_choice& choice) {
        const std::wstring& src = files_[i];
        observer_.entry_started(i);
        if (observer_.stop_requested()) {
            ending_ = true;
            stopped_from_ = i;
            return;
        }
        ++run_.processed;
        std::unique_ptr<entry_job> job(new entry_job());
        job->index = i;
        job->src = src;
        job->code = request_.code;
        job->dest = choice.path;
        // The first entry of each destination name holds it: a later entry of
        // the same name from another folder would replace its file. (The same
        // source listed twice is worked on twice, one after the other: the
        // second finds itself current.)
        const size_t holder = holders_.taken_by(files_, i, choice);
        if (holder != SIZE_MAX) {
            job->outcome = left_alone(same_name_reason(files_[holder]));
            run_.same_name.push_back(src + L"  (" + job->outcome.reason + L")");
            job->finished = true;
        } else if (!choice.ok()) {
            job->outcome = left_alone(choice.refusal);
            job->finished = true;
        } else {
            last_writer_[path_key(choice.path)] = i;
            busy_.insert(path_key(choice.path));
            job->handed_out = true;
            workers.submit(*job);
        }
        pending_.push_back(std::move(job));
    }

    // Once the run ends, the entries handed out that no worker has begun are
    // taken back: they are not reached, as if never handed out.
    void withdraw_waiting(entry_workers& workers) {
        while (!pending_.empty()) {
            entry_job& last = *pending_.back();
            if (entry_workers::finished(last) || !workers.withdraw(last)) break;
            busy_.erase(path_key(last.dest));
            --run_.processed;
            stopped_from_ = stopped_from_ == SIZE_MAX ? SIZE_MAX : std::min(stopped_from_, last.index);
            pending_.pop_back();
        }
    }

    // Reports the finished entries at the front of the list, in list order.
    void report_finished() {
        while (!pending_.empty() && entry_workers::finished(*pending_.front())) {
            std::unique_ptr<entry_job> job = std::move(pending_.front());
            pending_.pop_front();
            // (An entry left alone at once never held its destination: a
            // running entry of the same destination may hold it now.)
            if (job->handed_out) busy_.erase(path_key(job->dest));
            report(*job);
        }
    }

    void report(entry_job& job) {
        if (!job.log.empty()) dump_write(job.log);
        const entry_outcome& outcome = outcomes_[job.index] = std::move(job.outcome);
        const std::wstring& src = job.src;
        if (!outcome.false_declaration.empty()) {
            log_line(L"::copy_run   " + outcome.false_declaration + L"   " + src);
            run_.false_declarations.push_back(src + L": " + outcome.false_declaration);
        }
        if (outcome.result == entry_result::destination_unwritable && run_.unsaved.empty()) {
            // The first destination that cannot be written ends the run.
            log_line(L"::copy_run   " + outcome.reason + L"   " + job.dest);
            run_.unsaved = src;
            run_.unsaved_reason = outcome.reason;
            ending_ = true;
            observer_.entry_done(job.index, outcome);
            const std::wstring message =
                translated(request_.translate, L"Unable to save.\r\n") + path_name(src);
            dump_report(message);  // the record, whether or not anyone shows it
            observer_.cannot_save(job.dest, message);
            return;
        }
        if (outcome.kept_unchanged) run_.kept.push_back(job.kept);
        if (!outcome.done()) {
            if (is_failure(outcome.result)) ++run_.failed;
            log_line(L"::copy_run   " + outcome.reason + L"   " + src);
            run_.not_updated.push_back(src);
            run_.reasons.push_back(outcome.reason);
        }
        observer_.entry_done(job.index, outcome);
    }

    const copy_request& request_;
    const std::vector<std::wstring>& files_;
    run_observer& observer_;
    copy_run_result& run_;
    std::vector<entry_outcome>& outcomes_;
    std::unordered_map<std::wstring, size_t>& last_writer_;
    name_holders holders_;
    std::deque<std::unique_ptr<entry_job>> pending_;  // started, not reported; in list order
    std::unordered_set<std::wstring> busy_;            // destinations of entries still running
    bool ending_ = false;
    size_t stopped_from_ = SIZE_MAX;
};

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
    run_shared shared(files);
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
    entry_runner(request, observer, run, outcomes, last_writer).run_all(shared);
    shared.guard.reset();
    if (request.write_record) {
        run.list_record = encoded_list_path(folder, code);
        run_context context(shared);
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
