// The run report the window shows after a run, and its rows of the UI text table.
#include "app/run_report.h"

#include <unordered_map>
#include <utility>

#include "app/ui_text.h"
#include "base/path_text.h"

namespace quillet {

namespace {

// Where a loss report line names its reason: "path: kept unchanged: reason\n".
const wchar_t kKeptMark[] = L": kept unchanged: ";

// The first line of each kept file's loss report, by the file's path.
std::unordered_map<std::wstring, std::wstring> kept_reasons(const copy_run_result& result) {
    std::unordered_map<std::wstring, std::wstring> reasons;
    for (const std::wstring& text : result.kept) {
        // A path holds no ": " (a drive's colon is followed by "\"), so the
        // first mark ends it.
        const size_t mark = text.find(kKeptMark);
        if (mark == std::wstring::npos) continue;
        const size_t start = mark + std::char_traits<wchar_t>::length(kKeptMark);
        const size_t end = text.find(L'\n', start);
        reasons.emplace(text.substr(0, mark),
                        text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    }
    return reasons;
}

bool is_failure(entry_result result) {
    return result == entry_result::source_unreadable || result == entry_result::backup_failed ||
           result == entry_result::refused || result == entry_result::destination_unwritable;
}

// What became of an entry, in a few words of the table.
const char* outcome_key(const entry_note& note) {
    if (!note.reached) return "Left alone";
    if (note.kept_unchanged) return "Kept unchanged";
    if (is_failure(note.result)) return "Failed";
    switch (note.result) {
    case entry_result::up_to_date: return "Already current";
    case entry_result::converted: return "Converted";
    case entry_result::copied: return "Copied unchanged";
    default: return "Left alone";
    }
}

// Converted and current entries need no reason; every other one has one.
bool reason_shown(const entry_note& note) {
    return !note.reached ||
           (note.result != entry_result::converted && note.result != entry_result::up_to_date);
}

}  // namespace

run_report make_run_report(const std::vector<std::wstring>& files, std::vector<entry_note> notes,
                           const copy_run_result& result, bool stopped, bool failed) {
    run_report report;
    report.files = files;
    report.notes = std::move(notes);
    report.notes.resize(files.size());
    if (result.refused())
        report.end = run_end::not_run;
    else if (failed || !result.completed())
        report.end = run_end::ended_early;
    else if (stopped && result.processed < files.size())
        report.end = run_end::stopped;
    const auto kept = kept_reasons(result);
    for (size_t i = 0; i < files.size(); ++i) {
        entry_note& note = report.notes[i];
        if (note.reached && note.kept_unchanged) {
            const auto found = kept.find(files[i]);
            if (found != kept.end() && !found->second.empty()) note.reason = found->second;
        }
        if (!note.reached && report.end == run_end::stopped) note.reason = L"the run was stopped";
    }
    return report;
}

outcome_counts count_outcomes(const run_report& report) {
    outcome_counts counts;
    for (const entry_note& note : report.notes) {
        if (!note.reached) continue;
        if (note.kept_unchanged)
            ++counts.kept;
        else if (is_failure(note.result))
            ++counts.failed;
        else if (note.result == entry_result::up_to_date)
            ++counts.current;
        else if (note.result == entry_result::converted || note.result == entry_result::copied)
            ++counts.converted;
        else
            ++counts.left_alone;
    }
    return counts;
}

std::wstring run_summary_text(const run_report& report) {
    if (report.end == run_end::not_run) return ui_text("Nothing was done: the list could not be read.");
    const outcome_counts counts = count_outcomes(report);
    const std::wstring reached = std::to_wstring(counts.reached());
    const std::wstring total = std::to_wstring(report.files.size());
    std::wstring text;
    switch (report.end) {
    case run_end::stopped: text = ui_text_with("Stopped after %1 of %2 files: ", {reached, total}); break;
    case run_end::ended_early: text = ui_text_with("Ended after %1 of %2 files: ", {reached, total}); break;
    default: text = ui_text("Done: "); break;
    }
    text += ui_text_with("%1 converted, %2 already current, %3 kept unchanged, %4 left alone, %5 failed.",
                         {std::to_wstring(counts.converted), std::to_wstring(counts.current),
                          std::to_wstring(counts.kept), std::to_wstring(counts.left_alone),
                          std::to_wstring(counts.failed)});
    if (counts.kept + counts.left_alone + counts.failed > 0 || counts.reached() < report.files.size())
        text += ui_text(" Select a file's line to see why.");
    return text;
}

std::wstring entry_note_text(const run_report& report, size_t index) {
    if (index >= report.files.size() || index >= report.notes.size()) return L"";
    const entry_note& note = report.notes[index];
    std::wstring what = ui_text(outcome_key(note));
    if (reason_shown(note) && !note.reason.empty())
        what = ui_text_with("%1 (%2)", {what, reason_text(note.reason)});
    return ui_text_with("%1: %2", {path_name(report.files[index]), what});
}

std::wstring reason_text(const std::wstring& reason) { return ui_text_matched(reason); }

void add_run_report_ui_texts() {
    // The summary line.
    add_ui_text("Done: ", L"完了：");
    add_ui_text("Stopped after %1 of %2 files: ", L"中止しました（%2 件中 %1 件まで）：");
    add_ui_text("Ended after %1 of %2 files: ", L"途中で終わりました（%2 件中 %1 件まで）：");
    add_ui_text("%1 converted, %2 already current, %3 kept unchanged, %4 left alone, %5 failed.",
                L"変換・コピー %1 件、更新不要 %2 件、変換せずにコピー %3 件、スキップ %4 件、失敗 %5 件。");
    add_ui_text(" Select a file's line to see why.", L"（行を選ぶと理由を表示します）");
    add_ui_text("Nothing was done: the list could not be read.", L"リストを読めないため、何もしませんでした。");
    add_ui_text("Copying...", L"変換してコピーしています…");
    // An entry's line.
    add_ui_text("%1: %2", L"%1：%2");
    add_ui_text("%1 (%2)", L"%1（%2）");
    add_ui_text("Converted", L"変換しました");
    add_ui_text("Copied unchanged", L"そのままコピーしました");
    add_ui_text("Kept unchanged", L"変換せずにコピーしました");
    add_ui_text("Already current", L"更新不要です");
    add_ui_text("Left alone", L"スキップしました");
    add_ui_text("Failed", L"失敗しました");
    // The engine's reasons: why a text file was kept unchanged ...
    add_ui_text("encoding undecided between %1 and %2", L"文字コードを決められません（%1 か %2）");
    add_ui_text("%1 (cut short)", L"%1（途中で切れています）");
    add_ui_text("encoding undecided", L"文字コードを決められません");
    add_ui_text("not recognised as Japanese text (closest reading: %1)",
                L"日本語のテキストと判断できません（最も近い読み方：%1）");
    add_ui_text("ends inside a character of %1 at byte offset %2",
                L"%1 の文字の途中で終わっています（バイト位置 %2）");
    add_ui_text("not valid in any encoding: first bad byte at offset %1 (nearest reading %2, %3 byte "
                "sequence(s) not valid)",
                L"どの文字コードでも正しく読めません（最初の不正なバイトは位置 %1、最も近い読み方 %2、"
                L"不正なバイト列 %3 個）");
    add_ui_text("%1 byte sequence(s) not valid %2", L"%2 として正しくないバイト列が %1 個あります");
    add_ui_text("%1 character(s) that %2 cannot hold", L"%2 で表せない文字が %1 個あります");
    add_ui_text("characters the target cannot hold", L"変換先の文字コードで表せない文字があります");
    add_ui_text("holds a NUL character", L"NUL 文字を含んでいます");
    add_ui_text("source does not decode exactly", L"コピー元を正確に読み取れません");
    add_ui_text("read-back differs", L"書いたファイルを読み直すと内容が違います");
    // ... why a file was copied as it is ...
    add_ui_text("not a text file", L"テキストファイルではありません");
    add_ui_text("copy target", L"「Copy」が選ばれています");
    // ... why a file was left alone ...
    add_ui_text("not a file", L"ファイルではありません");
    add_ui_text("destination is newer", L"コピー先のほうが新しいファイルです");
    add_ui_text("is its own destination", L"コピー元とコピー先が同じファイルです");
    add_ui_text("same destination name as %1", L"%1 とコピー先の名前が同じです");
    add_ui_text("the run was stopped", L"中止したため処理していません");
    add_ui_text("not a file name", L"ファイル名ではありません");
    add_ui_text("no file name", L"ファイル名がありません");
    add_ui_text("a file name too long", L"ファイル名が長すぎます");
    add_ui_text("a character no file name holds", L"ファイル名に使えない文字を含んでいます");
    add_ui_text("a device name", L"デバイス名です");
    add_ui_text("named like a list file of the run", L"実行時に書くリストファイルと同じ名前です");
    add_ui_text("outside the destination folder", L"コピー先フォルダの外を指しています");
    // ... and why it failed.
    add_ui_text("source cannot be read  (error %1)", L"コピー元を読めません（エラー %1）");
    add_ui_text("source cannot be read", L"コピー元を読めません");
    add_ui_text("not enough memory", L"メモリが足りません");
    add_ui_text("no backup could be made", L"バックアップを作れません");
    add_ui_text("cannot create the new file", L"新しいファイルを作れません");
    add_ui_text("cannot write the new file", L"新しいファイルを書き込めません");
    add_ui_text("cannot create the destination", L"コピー先を作れません");
    add_ui_text("destination is read-only", L"コピー先が読み取り専用です");
    add_ui_text("destination is a folder", L"コピー先がフォルダです");
    add_ui_text("cannot replace the destination", L"コピー先を置き換えられません");
    add_ui_text("the copy reads back differently", L"コピーを読み直すと内容が違います");
}

}  // namespace quillet
