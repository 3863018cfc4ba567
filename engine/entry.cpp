// One entry of a copy run: decide what its two files need, then convert or
// copy (or leave them alone), and say what happened.
#include "engine/entry.h"

#include <new>

#include "base/paths.h"
#include "engine/convert.h"
#include "engine/place.h"
#include "engine/run_context.h"
#include "text/detect.h"

namespace quillet {

namespace {

entry_outcome left_alone(const std::wstring& reason) {
    return make_outcome(entry_result::left_alone, reason);
}

// A file that is not text: copied unchanged (the file it replaces kept in
// Rescue), unless it is its own destination or already its copy.
entry_outcome copy_binary(run_context& run, const std::wstring& src, const std::wstring& dest,
                          const file_status& src_status) {
    if (may_exist(&run, dest) && same_file(src, dest)) return left_alone(L"is its own destination");
    return copy_unchanged(&run, src, dest, src_status, true, L"not a text file");
}

// One entry, from the checks on its two files to its outcome.
entry_outcome decide_and_do(run_context& run, int code, const std::wstring& src,
                            const std::wstring& dest) {
    const file_status src_status(src);
    if (!src_status.is_file()) return left_alone(L"not a file");
    const file_status dest_status = indexed_status(&run, dest);
    if (!dest_status.failed() && dest_status.mtime() > src_status.mtime())
        return left_alone(L"destination is newer");
    const text_check check = check_text_file(src, &run.files);
    if (!check.readable) {
        entry_outcome outcome = make_outcome(entry_result::source_unreadable,
                                             L"source cannot be read" + win32_error_text(check.error));
        outcome.src_mtime = src_status.mtime();
        outcome.src_size = src_status.size();
        return outcome;
    }
    // Converted or kept as detection decides; a declaration that says
    // otherwise is what breaks such a file in a browser, so it is told.
    // (Read before the conversion: a source may be its own destination.)
    const std::wstring declared_wrong = check.text ? false_declaration(src, check.code, &run.files) : L"";
    entry_outcome outcome = check.text
                                ? convert_entry(&run, code, src, dest, src_status, dest_status, check.code)
                                : copy_binary(run, src, dest, src_status);
    outcome.false_declaration = declared_wrong;
    // A copy holds the source's bytes: its text test and code are the source's.
    if (outcome.result == entry_result::copied || (!check.text && outcome.result == entry_result::up_to_date))
        record_facts(outcome, src_status, dest, check.text, check.code, check.code);
    return outcome;
}

}  // namespace

entry_outcome process_entry(run_context& run, int code, const std::wstring& src,
                            const std::wstring& dest) {
    // Each of the two files is opened once for all the reading of the entry.
    run.files.keep(src == dest ? std::vector<std::wstring>{src} : std::vector<std::wstring>{src, dest});
    entry_outcome outcome;
    try {
        outcome = decide_and_do(run, code, src, dest);
    } catch (const std::bad_alloc&) {
        outcome = make_outcome(entry_result::refused, L"not enough memory");
    }
    run.files.release();
    return outcome;
}


}  // namespace quillet
