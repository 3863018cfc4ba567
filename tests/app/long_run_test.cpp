// The window in real use: the title the X server shows moves on during a long
// run, Esc or "終了" stop a run after the current file and clicks made meanwhile
// start nothing, the close box used while a list is read closes the window
// after it, a held file does not hold the window, and the About box opens
// centred on the window.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/about_dialog.h"
#include "app/resource.h"
#include "app_fixture.h"
#include "engine/entry_workers.h"
#include "x_side.h"
#include "base/paths.h"
#include "app/progress.h"

using namespace app_test;

namespace {

class LongRunTest : public app_window {
protected:
    // n text files of a few kilobytes, dropped after the destination folder.
    std::vector<std::wstring> prepare(int n) {
        dest = make_folder(L"dest");
        std::string body;
        for (int line = 0; line < 200; ++line) body += "line " + std::to_string(line) + " text\r\n";
        return drop_folder_and_files(dest, n, [&body](int) { return body; });
    }
    // A UTF-8 run of 150 files during which the user acts once the third is
    // done; the run stops after a few files, with its list file written.
    // Returns how many files it converted.
    size_t run_interrupted_by(const std::function<void()>& act) {
        files = prepare(150);
        dlg->encoding_box.set_cur_sel(1);
        // The user acts from a thread of their own, posting input as the system would.
        const std::wstring third = dest + quillet::path_name(files[2]);
        std::thread user([&] {
            for (int i = 0; i < 12000 && !testing_support::exists(third); ++i) Sleep(5);
            act();
        });
        click(IDC_COPY);
        user.join();
        const size_t done = converted_prefix();
        EXPECT_GE(done, 3u);
        EXPECT_LT(done, files.size());
        EXPECT_TRUE(quillet::path_exists(dest + L"UTF_8.ilc", false));
        return done;
    }
    static void click_by_mouse(HWND button) {
        PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    }
    // How many files, from the first on, have their destination; the rest of
    // the list must have none.
    size_t converted_prefix() {
        size_t done = 0;
        while (done < files.size() && quillet::path_exists(dest + quillet::path_name(files[done]), false))
            ++done;
        for (size_t i = done; i < files.size(); ++i)
            EXPECT_FALSE(quillet::path_exists(dest + quillet::path_name(files[i]), false)) << i;
        return done;
    }

    std::vector<std::wstring> titles;
    std::vector<std::wstring> files;
    std::wstring dest;
};

}  // namespace

TEST_F(LongRunTest, EscStopsTheRunAfterTheCurrentFileAndASecondClickStartsNothing) {
    const HWND window = dlg->hwnd();
    const HWND copy_button = dlg->item(IDC_COPY);
    const size_t done = run_interrupted_by([=] {
        click_by_mouse(copy_button);
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    dispatch_pending();  // whatever the run left queued
    EXPECT_EQ(converted_prefix(), done);  // no second run

    EXPECT_TRUE(IsWindow(window));
    // The window says that the run stopped, and how far it got.
    const std::wstring stopped = L"中止しました（150 件中 " + std::to_wstring(done) + L" 件まで）：";
    EXPECT_EQ(text_of(IDC_RUN_SUMMARY).substr(0, stopped.size()), stopped);
    // The status lines tell the converted files from those still to do.
    const std::vector<std::wstring> lines = dlg->file_list_box.texts();
    ASSERT_EQ(lines.size(), files.size());
    EXPECT_EQ(lines[0].substr(0, 3), L"  =");
    EXPECT_EQ(lines[done].substr(0, 3), L" <<");
}

TEST_F(LongRunTest, WindowAnswersAtOnceAndStopsWhileTheRunWaitsForAHeldFile) {
    // Another program holds the first sources for 3 s, one for each of the
    // run's workers: the run waits inside them.
    const size_t workers = quillet::default_worker_count();
    files = prepare(workers + 2);
    dlg->encoding_box.set_cur_sel(1);
    const HWND window = dlg->hwnd();
    std::vector<std::unique_ptr<testing_support::held_file>> other_program;
    for (size_t i = 0; i < workers; ++i) {
        other_program.emplace_back(new testing_support::held_file(files[i], 3000));
        ASSERT_TRUE(other_program.back()->held());
    }
    ULONGLONG answered_ms = 0;
    std::thread user([&] {
        Sleep(700);
        const ULONGLONG start = GetTickCount64();
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 250, &result))
            answered_ms = GetTickCount64() - start + 1;
        PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    click(IDC_COPY);
    user.join();
    EXPECT_GT(answered_ms, 0u) << "the window did not answer within 250 ms";
    // The run stopped after the held files: the others were not begun.
    EXPECT_TRUE(IsWindow(window));
    EXPECT_FALSE(quillet::path_exists(dest + quillet::path_name(files[workers]), false));
    EXPECT_FALSE(quillet::path_exists(dest + quillet::path_name(files[workers + 1]), false));
}

TEST_F(LongRunTest, QuitDuringARunStopsItThenClosesTheWindow) {
    const HWND window = dlg->hwnd();
    const HWND quit_button = dlg->item(IDCANCEL);
    run_interrupted_by([=] { click_by_mouse(quit_button); });
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(LongRunTest, CloseBoxDuringAReloadOfTheRecentListClosesTheWindowAfterIt) {
    const HWND window = dlg->hwnd();
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(100);  // the reading of the list lets the window take its messages at once
    click(IDC_RELOAD_IDO);
    dispatch_pending();
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(LongRunTest, TitleOnTheScreenMovesOnDuringARun) {
    ShowWindow(dlg->hwnd(), SW_SHOWNORMAL);
    dispatch_pending();
    const x_title_spy spy(dlg->hwnd(), scratch.file(L"titles.txt"));
    if (!spy.running()) GTEST_SKIP() << "no X window behind the dialog";

    prepare(150);
    dlg->encoding_box.set_cur_sel(1);
    // Every title the run gives the window (the subclass goes with the window).
    ASSERT_TRUE(SetWindowSubclass(dlg->hwnd(), record_titles, 1, reinterpret_cast<DWORD_PTR>(&titles)));
    // A clock that moves 1 s per reading: the run draws at every percent,
    // however fast it goes here.
    double clock_ms = 0;
    quillet::set_meter_clock([&clock_ms] { return clock_ms += 1000.0; });
    click(IDC_COPY);
    quillet::set_meter_clock(nullptr);
    // The last changes reach the file.
    Sleep(500);

    std::set<std::wstring> given, shown;
    for (const std::wstring& t : titles)
        if (t.find(L"/ 150 )") != std::wstring::npos) given.insert(t);
    for (const std::wstring& t : spy.titles())
        if (t.find(L"/ 150 )") != std::wstring::npos) shown.insert(t);
    ASSERT_GE(given.size(), 10u);
    // Nearly every title the run set reached the screen, not one frozen value.
    EXPECT_GE(shown.size() * 2, given.size()) << shown.size() << " of " << given.size();
}

TEST_F(LongRunTest, HeldFileShowsAsUnreadableWithoutHoldingTheWindow) {
    const std::wstring folder = make_folder(L"lists");
    const std::wstring held_path = make_file(L"src\\held.txt", "held text\r\n");
    const std::wstring free_path = make_file(L"src\\free.txt", "free text\r\n");
    write_list(folder + L"_copy_.ilc", {free_path, held_path});
    write_list(ido, {folder + L"_copy_.ilc"});
    click(IDC_RELOAD_IDO);
    {
        // Another program keeps the file for 3 s; the lines must not wait for it.
        testing_support::held_file other_program(held_path, 3000);
        ASSERT_TRUE(other_program.held());
        select_recent(0);
        HANDLE probe = CreateFileW(held_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(probe, INVALID_HANDLE_VALUE) << "the lines were made only after the file was let go";
        if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
    }
    const std::vector<std::wstring> lines = dlg->file_list_box.texts();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"ASCII"), std::wstring::npos);
    // No destination yet; the held source is labelled as unreadable.
    EXPECT_EQ(lines[1].substr(4, 13), L"-----   NO_RD");
}

TEST_F(LongRunTest, AboutBoxOpensCentredOnTheWindow) {
    MoveWindow(dlg->hwnd(), 100, 80, 700, 400, FALSE);
    quillet::about_dialog about;
    ASSERT_TRUE(about.create_modeless(dlg->hwnd()));
    RECT owner{}, box{};
    GetWindowRect(dlg->hwnd(), &owner);
    GetWindowRect(about.hwnd(), &box);
    EXPECT_NEAR((box.left + box.right) / 2, (owner.left + owner.right) / 2, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2, (owner.top + owner.bottom) / 2, 1);
}
