// What the window tells while it works and after: the meter in the title from
// the start of a run and through a large file, the summary of a run and each
// file's reason below the lists, and a long list whose names show at once
// while the window keeps answering as their status lines fill in.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/list_status.h"
#include "app/resource.h"
#include "app/run_progress.h"
#include "app_fixture.h"
#include "base/paths.h"
#include "engine/entries.h"
#include "engine/store.h"

using namespace app_test;
using quillet::store;

namespace {

struct timed_title {
    ULONGLONG at;
    std::wstring text;
};

LRESULT CALLBACK record_timed_titles(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_SETTEXT && lp)
        reinterpret_cast<std::vector<timed_title>*>(data)->push_back(
            {GetTickCount64(), reinterpret_cast<const wchar_t*>(lp)});
    return DefSubclassProc(h, msg, wp, lp);
}

class RunFeedbackTest : public app_window {
protected:
    void TearDown() override {
        if (dlg && dlg->hwnd()) RemoveWindowSubclass(dlg->hwnd(), record_timed_titles, 1);
        app_window::TearDown();
    }
    // n small text files dropped after the destination folder.
    std::vector<std::wstring> prepare(int n) {
        dest = make_folder(L"dest");
        return drop_folder_and_files(dest, n, [](int i) { return "line " + std::to_string(i) + "\r\n"; });
    }
    void record_titles_with_time() {
        ASSERT_TRUE(SetWindowSubclass(dlg->hwnd(), record_timed_titles, 1,
                                      reinterpret_cast<DWORD_PTR>(&titles)));
    }
    // Selects the file list's line of path as a user would (LBN_SELCHANGE).
    void select_file(const std::wstring& path) {
        const std::vector<std::wstring> files = store().get_files();
        const auto at = std::find(files.begin(), files.end(), path);
        ASSERT_NE(at, files.end());
        HWND box = dlg->item(IDC_FILE_LIST);
        SendMessageW(box, LB_SETCURSEL, static_cast<WPARAM>(at - files.begin()), 0);
        SendMessageW(dlg->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_FILE_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(box));
    }
    const timed_title* first_title_with(const std::wstring& part) const {
        for (const timed_title& t : titles)
            if (t.text.find(part) != std::wstring::npos) return &t;
        return nullptr;
    }

    std::wstring dest;
    std::vector<timed_title> titles;
};

}  // namespace

TEST_F(RunFeedbackTest, AfterARunTheWindowSaysWhatHappenedAndWhyAFileWasKept) {
    dest = make_folder(L"dest");
    const std::wstring emoji = make_file(L"src\\emoji.txt", "smile \xF0\x9F\x98\x80\r\n");
    const std::wstring plain = make_file(L"src\\plain.txt", "plain\r\n");
    const std::wstring older = make_file(L"src\\older.txt", "old source\r\n");
    ASSERT_TRUE(testing_support::set_mtime(older, 1000000000));
    make_file(L"dest\\older.txt", "newer destination\r\n");
    drop({quillet::path_del_sep(dest), emoji, plain, older});
    EXPECT_FALSE(GetWindowLongW(dlg->item(IDC_RUN_SUMMARY), GWL_STYLE) & WS_VISIBLE);
    dlg->encoding_box.set_cur_sel(3);  // " 74 : SJIS"

    click(IDC_COPY);

    EXPECT_EQ(text_of(IDC_RUN_SUMMARY),
              L"完了：変換・コピー 1 件、更新不要 0 件、変換せずにコピー 1 件、スキップ 1 件、失敗 0 件。"
              L"（行を選ぶと理由を表示します）");
    const HWND summary = dlg->item(IDC_RUN_SUMMARY);
    EXPECT_TRUE(GetWindowLongW(summary, GWL_STYLE) & WS_VISIBLE);
    EXPECT_LE(child_rect(dlg->item(IDC_FILE_LIST)).bottom, child_rect(summary).top);
    // The status lines stay as they were; the reasons are one selection away.
    EXPECT_EQ(dlg->file_list_box.texts(), store().file_entries());
    select_file(emoji);
    EXPECT_EQ(text_of(IDC_LINE_NOTE),
              L"emoji.txt：変換せずにコピーしました（Shift_JIS で表せない文字が 1 個あります）");
    select_file(older);
    EXPECT_EQ(text_of(IDC_LINE_NOTE), L"older.txt：スキップしました（コピー先のほうが新しいファイルです）");
    select_file(plain);
    EXPECT_EQ(text_of(IDC_LINE_NOTE), L"plain.txt：変換しました");
}

TEST_F(RunFeedbackTest, MeterShowsWithinASecondOfTheStartOfA30FileRun) {
    const std::vector<std::wstring> files = prepare(30);
    dlg->encoding_box.set_cur_sel(1);
    record_titles_with_time();
    // The first file takes seconds: another program holds it for 2 s.
    testing_support::held_file other_program(files[0], 2000);
    ASSERT_TRUE(other_program.held());
    const ULONGLONG start = GetTickCount64();

    click(IDC_COPY);

    const timed_title* first = first_title_with(L"/ 30 )");
    ASSERT_NE(first, nullptr) << "the meter never showed";
    EXPECT_LE(first->at - start, 1000u);
    EXPECT_NE(first->text.find(L"( 0 / 30 )"), std::wstring::npos) << first->text;
}

TEST_F(RunFeedbackTest, MeterFollowsTheBytesDoneInsideALargeFile) {
    std::vector<std::wstring> files = prepare(10);
    // The first file is large: the run reports how far it has read it.
    std::string large;
    while (large.size() < (size_t(48) << 20)) large += "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x8d\x73 ASCII line\r\n";
    testing_support::put_text(files[0], large);
    large.clear();
    dlg->encoding_box.set_cur_sel(1);
    record_titles_with_time();
    const std::wstring before = quillet::window_text(dlg->hwnd());
    click(IDC_COPY);

    const timed_title* inside = first_title_with(L"% ");
    ASSERT_NE(inside, nullptr) << "no title showed how far the large file was";
    EXPECT_NE(inside->text.find(L"/ 10 )"), std::wstring::npos) << inside->text;
    // The run went on to its end, the taskbar button with it, and the title is back.
    EXPECT_TRUE(quillet::path_exists(dest + quillet::path_name(files[9]), false));
    EXPECT_EQ(quillet::window_text(dlg->hwnd()), before);
}

TEST_F(RunFeedbackTest, KeyAnsweredWithin100msWhileA2000FileListFills) {
    const std::wstring folder = make_folder(L"lists");
    std::vector<std::wstring> files;
    std::string body;
    for (int line = 0; line < 300; ++line) body += "line " + std::to_string(line) + " of some text\r\n";
    // Each line compares a source with its older destination: seconds of work.
    for (int i = 0; i < 2000; ++i) make_file(L"lists\\f" + std::to_wstring(i) + L".txt", body);
    for (int i = 0; i < 2000; ++i)
        files.push_back(make_file(L"src\\f" + std::to_wstring(i) + L".txt", body));
    write_list(folder + L"_copy_.ilc", files);
    write_list(ido, {folder + L"_copy_.ilc"});
    click(IDC_RELOAD_IDO);

    const HWND window = dlg->hwnd();
    const HWND list = dlg->item(IDC_FILE_LIST);
    const HWND quit = dlg->item(IDCANCEL);
    std::vector<ULONGLONG> answers;
    bool names_at_once = false, filling_after_keys = false, busy_over_list = false,
         busy_elsewhere = true;
    const auto probe = [&] {
        // The names show at once, their status columns still blank.
        for (int i = 0; i < 1000 && !names_at_once; ++i) {
            DWORD_PTR count = 0;
            names_at_once = SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 1000, &count) &&
                            count == files.size();
            if (!names_at_once) Sleep(5);
        }
        DWORD_PTR handled = 0;
        SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(list),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_NORMAL, 1000, &handled);
        busy_over_list = handled != 0;
        SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(quit),
                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), SMTO_NORMAL, 1000, &handled);
        busy_elsewhere = handled != 0;
        for (int key = 0; key < 7; ++key) {
            const ULONGLONG sent = GetTickCount64();
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(list, WM_KEYDOWN, VK_DOWN, 0, SMTO_NORMAL, 2000, &result))
                answers.push_back(GetTickCount64() - sent);
            Sleep(10);
        }
        // The last line still has its status columns blank.
        const WPARAM last = files.size() - 1;
        DWORD_PTR length = 0;
        SendMessageTimeoutW(list, LB_GETTEXTLEN, last, 0, SMTO_NORMAL, 2000, &length);
        if (length >= 4096) length = 0;  // LB_ERR
        std::wstring line(length + 1, L'\0');
        if (length > 0)
            SendMessageTimeoutW(list, LB_GETTEXT, last, reinterpret_cast<LPARAM>(&line[0]), SMTO_NORMAL,
                                2000, &length);
        const std::wstring blank = quillet::pending_status_line(L"");
        filling_after_keys = length > 0 && line.compare(0, blank.size(), blank) == 0;
    };
    std::atomic<bool> user_done{false};
    std::thread user([&] {
        probe();
        user_done = true;
    });
    select_recent(0);
    // The user's last messages are answered too.
    while (!user_done) {
        dispatch_pending();
        Sleep(5);
    }
    user.join();

    EXPECT_TRUE(names_at_once);
    ASSERT_TRUE(filling_after_keys) << "the lines were all made before the keys were timed";
    EXPECT_TRUE(busy_over_list);
    EXPECT_FALSE(busy_elsewhere);
    ASSERT_EQ(answers.size(), 7u);
    // Most keys are answered at once; a loaded machine may delay one or two.
    std::sort(answers.begin(), answers.end());
    EXPECT_LE(answers[answers.size() / 2], 100u) << "median of the key answers, ms";
    // Filled in batches, the lines end as the list's status lines made in one go.
    EXPECT_EQ(dlg->file_list_box.texts(), quillet::file_entries(store().get_folder(), store().get_files()));
}
