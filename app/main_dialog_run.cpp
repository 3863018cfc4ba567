// The main dialog's two ways into the copy engine: files dropped onto the
// window, and the copy button.
#include <windows.h>
#include <shellapi.h>

#include "app/list_fill.h"
#include "app/main_dialog.h"
#include "app/run_progress.h"
#include "app/ui_text.h"
#include "base/report_box.h"
#include "engine/copy_run.h"
#include "engine/intake.h"
#include "engine/store.h"

namespace quillet {


std::vector<std::wstring> dropped_files(HDROP drop) {
    std::vector<std::wstring> paths;
    if (!drop) return paths;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring name(static_cast<size_t>(length) + 1, L'\0');
        DragQueryFileW(drop, i, &name[0], length + 1);
        name.resize(name.find(L'\0'));
        paths.push_back(name);
    }
    return paths;
}

void show_run_report(const copy_run_result& run);

void MainDialog::OnDropFiles(HDROP drop) {
    // Sent from elsewhere while a handler works: the drop is refused.
    if (!while_busy([this, drop] { take_in_drop(drop); }) && drop) DragFinish(drop);
}

void MainDialog::take_in_drop(HDROP drop) {
    std::vector<std::wstring> paths = dropped_files(drop);
    // The names are read: the shell's drop memory is released here, once.
    if (drop) DragFinish(drop);

    drop_result result = take_drop(paths);
    if (!store().unreadable_list().empty())
        report_box(unreadable_list_message(store(), ui_translator()), 0, 0);
    if (!result.not_text.empty()) report_box(not_text_message(result.not_text, ui_translator()), 0, 0);
    if (result.code >= 0) encoding_box.set_cur_sel(encoding_index_for_code(result.code));
    folder_text = store().get_folder();
    if (!result.opened.empty() || result.recent_reloaded)
        fill_list(recent_list_box, store().recent_display());
    fill_list(file_list_box, store().file_entries());
    UpdateData(false);
}

void MainDialog::OnCopy() {
    // Nothing to copy: the run would only write an empty list record (and back
    // up the last one); the window says what to drop instead.
    if (!busy_ && store().get_files().empty() && store().unreadable_list().empty()) {
        report_box(ui_text("Drop a folder, a list file (.ilc) or text files onto the window first.\r\n"),
                   0, 0);
        return;
    }
    // A second click during a run starts nothing.
    while_busy([this] {
        copy_run_result result;
        {
            window_run_observer shown;
            result = copy_run(selected_code(encoding_box), ui_translator(), &shown);
        }
        fill_list(file_list_box, result.entries);
        show_run_report(result);
    });
}

// What the status lines cannot say, in one box after the run (the log holds
// the same): text files copied unchanged instead of converted, each with its
// reason; files whose declared encoding their bytes are not in; entries left
// alone because an earlier entry has their file name.
void show_run_report(const copy_run_result& run) {
    constexpr size_t kShown = 10;
    std::wstring text;
    const auto add = [&text](const char* heading, const std::vector<std::wstring>& items,
                             const wchar_t* end) {
        if (items.empty()) return;
        text += ui_text(heading);
        for (size_t i = 0; i < items.size() && i < kShown; ++i) text += items[i] + end;
        if (items.size() > kShown)
            text += L"... (" + std::to_wstring(items.size() - kShown) + L" more in the log)\n";
    };
    add("Kept unchanged.\r\n", run.kept, L"");
    add("Declared encoding differs.\r\n", run.false_declarations, L"\n");
    add("Same file name.\r\n", run.same_name, L"\n");
    if (!text.empty()) report_box(text, 0, 0);
}

}  // namespace quillet
