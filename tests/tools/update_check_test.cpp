// Tests of the daily update check against a local web server whose page
// changes between runs.
#include <gtest/gtest.h>
#include <windows.h>

#include "base/paths.h"
#include "engine/store.h"
#include "support/scratch.h"
#include "tools/http_fetch.h"
#include "tools/update_check.h"
#include "tools_support.h"

using namespace quillet;
using testing_support::exists;
using testing_support::get_bytes;
using testing_support::scratch_folder;
using tools_test::utf16_file_text;

namespace {

const char page_path[] = "/n_Bench/download";

}  // namespace

TEST(UpdateText, NormalizeLinesDropsEmptyLines) {
    EXPECT_EQ(normalize_lines(L"a\r\n\r\nb"), L"a\r\nb\r\n");
    EXPECT_EQ(normalize_lines(L"\r\n\r\n"), L"");
    EXPECT_EQ(normalize_lines(L""), L"");
    EXPECT_EQ(normalize_lines(L"a\nb\n\nc\rd"), L"a\r\nb\r\nc\r\nd\r\n");
    // A line that starts with a quote runs to the closing quote, as the list
    // splitting has it.
    EXPECT_EQ(normalize_lines(L"\"a\r\n\r\nb\"\r\n\r\nc"), L"\"a\r\n\r\nb\"\r\nc\r\n");
    EXPECT_EQ(normalize_lines(L"x\r\n'open\r\n\r\ny"), L"x\r\n'open\r\n\r\ny\r\n");
}

TEST(UpdateText, LineBreaksAroundTheListedTags) {
    EXPECT_EQ(html_line_breaks(L"<div>a</div><div>b</DIV>"),
              L"<div>a</div>\r\n<div>b</div>\r\n");
    EXPECT_EQ(html_line_breaks(L"<ul><li>x</li></ul>"), L"<ul>\r\n<li>x</li>\r\n</ul>");
    EXPECT_EQ(html_line_breaks(L"<br/><p>f();g();</p>"), L"<br/>\r\n<p>f();\r\ng();\r\n</p>");
    EXPECT_EQ(html_line_breaks(L"<a href=x>t</a><span>s</span><img src=y>"),
              L"<a href=x>t</a>\r\n<span>s</span>\r\n<img src=y>");
    EXPECT_EQ(html_line_breaks(L"<p>x</p><div><script>s</script><style>"),
              L"<p>x</p>\r\n<div>\r\n<script>s</script>\r\n<style>");
    EXPECT_EQ(html_line_breaks(L"<p>plain</p>"), L"<p>plain</p>");
}

TEST(UpdateText, SamePageIgnoresSchemesEmptyLinesAndLineEnds) {
    EXPECT_TRUE(same_page(L"<a href=\"https://x/\">x</a>\r\n", L"<a href=\"http://x/\">x</a>\r\n"));
    EXPECT_TRUE(same_page(L"a\r\n\r\n\r\nb", L"a\r\nb\r\n"));
    EXPECT_TRUE(same_page(L"a\nb\n", L"a\r\nb\r\n"));
    EXPECT_FALSE(same_page(L"a\r\nb\r\n", L"a\r\nc\r\n"));
    EXPECT_FALSE(same_page(L"ab", L"a\r\nb"));
}

class UpdateCheck : public ::testing::Test {
protected:
    scratch_folder dir;
    tools_test::temp_redirect temp{dir.path() + L"tmp"};
    tools_test::http_server server;
    tools_test::shell_recorder browser{42};

    void SetUp() override {
        set_update_settings_file(ini());
        WritePrivateProfileStringW(L"IR_update", L"server_name", server.host().c_str(), ini().c_str());
    }
    void TearDown() override { set_update_settings_file(L""); }

    std::wstring ini() const { return dir.file(L"Tool.ini"); }
    std::wstring page_file() const { return local_file_of(update_url()); }
    std::wstring note_file() const { return path_folder(page_file()) + L"\\_.txt"; }
    // The raw "update count" entry, or -1 when it is absent.
    int count() const {
        return static_cast<int>(GetPrivateProfileIntW(L"IR_update", L"update count", -1, ini().c_str()));
    }
    // Makes the last check (and the note of a failed try, if any) look as if
    // it ran yesterday.
    void next_day() {
        ASSERT_TRUE(testing_support::set_mtime(page_file(), tools_test::days_ago(1)));
        testing_support::set_mtime(note_file(), tools_test::days_ago(1));
    }
    // Serves page and runs the check as on a new day.
    bool check_next_day(const std::string& page) {
        next_day();
        server.set_page(page_path, page);
        return check_for_update();
    }
};

TEST_F(UpdateCheck, DefaultServerIsAReservedNameThatNeverResolves) {
    set_update_settings_file(dir.file(L"empty.ini"));
    EXPECT_EQ(update_url(), L"//quillet-update.invalid/n_Bench/download");
    const std::wstring name = default_update_server;
    EXPECT_EQ(name.substr(name.size() - 8), L".invalid");
}

TEST_F(UpdateCheck, AddressFromServerAndPathSettings) {
    EXPECT_EQ(update_url(), L"//" + server.host() + L"/n_Bench/download");
    WritePrivateProfileStringW(L"IR_update", L"server_name", L"srv.example/", ini().c_str());
    WritePrivateProfileStringW(L"IR_update", L"path_name", L"/dl//page.htm", ini().c_str());
    EXPECT_EQ(update_url(), L"//srv.example/dl/page.htm");
}

TEST_F(UpdateCheck, FirstRunIsNewAndChangesNothing) {
    server.set_page(page_path, "<html>first</html>");
    EXPECT_FALSE(check_for_update());
    EXPECT_EQ(server.requests(page_path), 1);
    EXPECT_TRUE(exists(page_file()));
    EXPECT_EQ(count(), -1);
    EXPECT_TRUE(browser.calls().empty());
}

TEST_F(UpdateCheck, SecondOpeningOnTheSameDayDownloadsNothing) {
    server.set_page(page_path, "<html>first</html>");
    check_for_update();
    server.set_page(page_path, "<html>second</html>");
    EXPECT_FALSE(check_for_update());
    EXPECT_EQ(server.requests(page_path), 1);
}

TEST_F(UpdateCheck, NextDayKeepsThePreviousPageAsNumberedCopy) {
    server.set_page(page_path, "<html>first</html>");
    check_for_update();
    check_next_day("<html>first</html>");
    EXPECT_EQ(server.requests(page_path), 2);
    const std::wstring older = path_folder(page_file()) + L"\\_.000.htm";
    std::vector<uint8_t> bytes = get_bytes(older);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<html>first</html>");
}

TEST_F(UpdateCheck, PagesDifferingOnlyInFormCountAsUnchanged) {
    server.set_page(page_path, "<html>\r\n<a href=\"https://x/\">x</a>\r\n<p>text</p>\r\n</html>");
    check_for_update();
    EXPECT_FALSE(check_next_day("<html>\r\n<a href=\"http://x/\">x</a>\r\n<p>text</p>\r\n</html>"));
    EXPECT_FALSE(check_next_day("<html>\r\n\r\n<a href=\"http://x/\">x</a>\r\n\r\n<p>text</p>\r\n</html>\r\n"));
    EXPECT_FALSE(check_next_day("<html>\n<a href=\"https://x/\">x</a>\n<p>text</p>\n</html>\n"));
    // Where the lines break around the listed tags does not matter either.
    EXPECT_FALSE(check_next_day("<html>\r\n<a href=\"https://x/\">x</a><p>text</p>\r\n</html>"));
    EXPECT_EQ(count(), -1);
    EXPECT_TRUE(browser.calls().empty());
}

TEST_F(UpdateCheck, BreaksAroundTagsAreComparedAfterNormalising) {
    server.set_page(page_path, "<ul><li>one</li><li>two</li></ul>");
    check_for_update();
    EXPECT_FALSE(check_next_day("<ul>\r\n<li>one</li>\r\n\r\n<li>two</li>\r\n</ul>"));
    const compare_files files = last_compare_files();
    EXPECT_EQ(path_folder(files.old_file) + L"\\", dated_work_folder());
    EXPECT_EQ(utf16_file_text(files.old_file), utf16_file_text(files.new_file));
    EXPECT_EQ(utf16_file_text(files.new_file), L"<ul>\r\n<li>one</li>\r\n<li>two</li>\r\n</ul>\r\n");
    EXPECT_FALSE(exists(files.report));  // no comparison was needed
    EXPECT_EQ(count(), -1);
}

TEST_F(UpdateCheck, RealChangeRaisesTheCountAndLeavesAReport) {
    server.set_page(page_path, "<html><div>Version 1.0</div></html>");
    check_for_update();
    EXPECT_TRUE(check_next_day("<html><div>Version 1.1</div></html>"));
    EXPECT_EQ(count(), 4);
    const compare_files files = last_compare_files();
    EXPECT_TRUE(exists(files.old_file));
    EXPECT_TRUE(exists(files.new_file));
    // The platform's file compare program writes its report beside them.
    EXPECT_GT(get_bytes(files.report).size(), 0u);
    const std::wstring stem = path_title(files.new_file);
    EXPECT_TRUE(exists(dated_work_folder() + stem + L".utf_8.txt"));
    EXPECT_TRUE(exists(dated_work_folder() + stem + L".utf16.txt"));
    EXPECT_TRUE(browser.calls().empty());
}

TEST_F(UpdateCheck, BrowserOpensAtTheThirdChangeAndAgainAfterSixMore) {
    server.set_page(page_path, "<p>0</p>");
    check_for_update();
    const std::wstring page = L"https:" + update_url();
    for (int change = 1; change <= 9; ++change) {
        EXPECT_TRUE(check_next_day("<p>" + std::to_string(change) + "</p>")) << change;
        if (change < 3) {
            EXPECT_EQ(count(), 3 + change);
            EXPECT_TRUE(browser.calls().empty());
        } else if (change == 3) {
            ASSERT_EQ(browser.calls().size(), 1u);
            EXPECT_EQ(browser.calls()[0].verb, L"open");
            EXPECT_EQ(browser.calls()[0].file, page);
            EXPECT_EQ(count(), 0);
        } else {
            EXPECT_EQ(browser.calls().size(), change < 9 ? 1u : 2u) << change;
            EXPECT_EQ(count(), change < 9 ? change - 3 : 0) << change;
        }
    }
}

TEST_F(UpdateCheck, CountAboveFiveOpensTheBrowserEvenWithoutChange) {
    WritePrivateProfileStringW(L"IR_update", L"update count", L"6", ini().c_str());
    server.set_page(page_path, "<p>same</p>");
    EXPECT_FALSE(check_for_update());
    ASSERT_EQ(browser.calls().size(), 1u);
    EXPECT_EQ(count(), 0);
}

TEST_F(UpdateCheck, FailedDownloadIsNotedAndNeverCountsAsAChange) {
    server.set_page(page_path, "<p>first</p>");
    check_for_update();
    const std::wstring page = page_file();
    next_day();
    // The server is gone: nothing listens on the configured port any more.
    WritePrivateProfileStringW(L"IR_update", L"server_name",
                               (L"127.0.0.1:" + std::to_wstring(tools_test::free_port())).c_str(),
                               ini().c_str());
    const std::wstring url = update_url();
    const std::wstring gone_page = local_file_of(url);
    EXPECT_FALSE(check_for_update());
    EXPECT_EQ(count(), -1);
    const std::wstring note_file = path_folder(gone_page) + L"\\_.txt";
    EXPECT_EQ(utf16_file_text(note_file),
              url + L"\r\n" + url_to_local_name(url) + L"\r\n" + note_file + L"\r\n");
    EXPECT_FALSE(exists(gone_page));
    EXPECT_TRUE(exists(page));  // the first server's page is untouched
}

TEST_F(UpdateCheck, FailedTryIsTheDaysTryAndKeepsTheBaseline) {
    server.set_page(page_path, "<p>first</p>");
    check_for_update();
    next_day();
    // An error page is a failed download, never a change.
    server.set_status_page(page_path, "404 Not Found", "<p>gone</p>");
    EXPECT_FALSE(check_for_update());
    const std::vector<uint8_t> kept = get_bytes(page_file());
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "<p>first</p>");
    server.set_page(page_path, "<p>second</p>");
    // Once a day: the failed try was today's.
    EXPECT_FALSE(check_for_update());
    EXPECT_EQ(server.requests(page_path), 2);
    // The next day's good page is compared with the last good one, and only
    // that change is counted.
    EXPECT_TRUE(check_next_day("<p>second</p>"));
    EXPECT_EQ(count(), 4);
}

TEST_F(UpdateCheck, BrowserGetsTheWebAddressNeverAProgram) {
    // A shared settings file naming a path that ends like a system program.
    WritePrivateProfileStringW(L"IR_update", L"path_name", L"x/notepad.exe", ini().c_str());
    WritePrivateProfileStringW(L"IR_update", L"update count", L"6", ini().c_str());
    server.set_page("/x/notepad.exe", "<p>page</p>");
    check_for_update();
    ASSERT_EQ(browser.calls().size(), 1u);
    EXPECT_EQ(browser.calls()[0].file, L"https://" + server.host() + L"/x/notepad.exe");
    EXPECT_EQ(browser.calls()[0].verb, L"open");
    EXPECT_FALSE(browser.calls()[0].has_params);
    EXPECT_EQ(count(), 0);
}

// A server that never answers, against the check's own deadline: the check
// ends by it, counts nothing and keeps the last good page.
TEST_F(UpdateCheck, StallingServerEndsTheCheckByTheDeadlineAndChangesNothing) {
    server.set_page(page_path, "<p>first</p>");
    check_for_update();
    const std::vector<uint8_t> first = get_bytes(page_file());
    next_day();
    server.set_stall(page_path);
    fetch_control control(3000);
    const ULONGLONG start = GetTickCount64();
    const update_outcome outcome = run_update_check(control);
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(get_bytes(page_file()), first);
    EXPECT_TRUE(exists(note_file()));
    EXPECT_FALSE(exists(page_file() + L".part"));
    EXPECT_EQ(count(), -1);
}

TEST_F(UpdateCheck, StoppedCheckEndsWithinASecondAndLeavesNothingThatCountsAsToday) {
    server.set_page(page_path, "<p>first</p>");
    check_for_update();
    next_day();
    server.set_trickle(page_path, std::string(100, 'a'), 200);
    background_update_check check;
    ASSERT_TRUE(check.start(nullptr, 0));
    while (server.requests(page_path) < 2 && !check.finished()) Sleep(20);
    Sleep(500);  // well into the page
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(check.stop(1000));
    EXPECT_LT(GetTickCount64() - start, 1100u);
    EXPECT_FALSE(exists(note_file()));
    EXPECT_FALSE(exists(page_file() + L".part"));
    // The page is yesterday's still: the next opening tries again.
    server.set_page(page_path, "<p>first</p>");
    EXPECT_FALSE(check_for_update());
    EXPECT_EQ(server.requests(page_path), 3);
}

TEST_F(UpdateCheck, PageOfManyShortLinesComparesWithinTheDeadline) {
    // Half a million short lines once took most of a minute.
    std::string many;
    for (int i = 0; i < 500000; ++i) many += "<li>" + std::to_string(i % 10) + "</li>";
    server.set_page(page_path, many);
    check_for_update();
    next_day();
    server.set_page(page_path, many + "<li>new</li>");
    fetch_control control(update_check_budget_ms);
    EXPECT_TRUE(run_update_check(control).changed);
    EXPECT_GT(control.remaining_ms(), 0u);
}

TEST_F(UpdateCheck, BackgroundCheckReportsToTheWindowAndAppliesThere) {
    WritePrivateProfileStringW(L"IR_update", L"update count", L"6", ini().c_str());
    server.set_page(page_path, "<p>page</p>");
    tools_test::answering_window window;
    const UINT done = WM_APP + 7;
    background_update_check check;
    ASSERT_TRUE(check.start(window.window(), done));
    MSG msg{};
    const ULONGLONG start = GetTickCount64();
    while (!PeekMessageW(&msg, window.window(), done, done, PM_REMOVE) &&
           GetTickCount64() - start < 20000)
        Sleep(20);
    ASSERT_EQ(msg.message, done);
    // Nothing was opened on the check's own thread.
    EXPECT_TRUE(browser.calls().empty());
    EXPECT_TRUE(check.apply());
    ASSERT_EQ(browser.calls().size(), 1u);
    EXPECT_FALSE(check.apply());  // once
    EXPECT_EQ(count(), 0);
}

TEST_F(UpdateCheck, CompareFileIsWrittenWithSideCopies) {
    const std::wstring path = dir.file(L"x.txt");
    EXPECT_TRUE(write_compare_file(path, L"a\r\n\r\nb\u00e9"));
    EXPECT_EQ(utf16_file_text(path), L"a\r\nb\u00e9\r\n");
    std::vector<uint8_t> utf8 = get_bytes(dated_work_folder() + L"x.utf_8.txt");
    EXPECT_EQ(std::string(utf8.begin(), utf8.end()), "a\r\n\r\nb\xc3\xa9");
    EXPECT_EQ(utf16_file_text(dated_work_folder() + L"x.utf16.txt"), L"a\r\n\r\nb\u00e9");
}

TEST_F(UpdateCheck, DefaultServerIsNeverReachedAndChangesNothing) {
    set_update_settings_file(dir.file(L"empty.ini"));
    const std::wstring page = local_file_of(update_url());
    EXPECT_FALSE(check_for_update());
    EXPECT_FALSE(exists(page));
    EXPECT_TRUE(exists(path_folder(page) + L"\\_.txt"));  // the failure is noted
    EXPECT_TRUE(browser.calls().empty());
    EXPECT_EQ(server.all_requests(), 0);
}

namespace {

HANDLE stuck_check_entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);

// A check that never ends, as one blocked in a name lookup would.
update_outcome stuck_check(fetch_control&) {
    SetEvent(stuck_check_entered);
    Sleep(INFINITE);
    return {};
}

// Leaves a file when the runtime destroys it: only a normal process exit does.
struct destroyed_marker {
    std::wstring path;
    ~destroyed_marker() {
        if (!path.empty()) testing_support::put_text(path, "destroyed");
    }
};

}  // namespace

// Run by ProgramEndsAroundACheckThatIsStillRunning in a process of its own.
TEST(UpdateCheckChild, DISABLED_ClosesWhileTheCheckIsStuck) {
    const std::wstring folder = get_env(L"QUILLET_EXIT_TEST_FOLDER");
    static destroyed_marker marker;
    marker.path = folder + L"destroyed.txt";
    batch_exit_ops().remove_later(folder + L"deferred.txt");
    background_update_check check;
    ASSERT_TRUE(check.start(nullptr, 0, stuck_check));
    ASSERT_EQ(WaitForSingleObject(stuck_check_entered, 60000), WAIT_OBJECT_0);
    EXPECT_FALSE(check.stop(100));
    end_process_if_update_check_alive(7);
}

TEST(UpdateCheckExit, ProgramEndsAroundACheckThatIsStillRunning) {
    scratch_folder dir;
    const std::wstring marker = dir.file(L"destroyed.txt");
    const std::wstring removal = dir.file(L"deferred.txt");
    ASSERT_TRUE(testing_support::put_text(removal, "queued for removal at exit"));
    SetEnvironmentVariableW(L"QUILLET_EXIT_TEST_FOLDER", dir.path().c_str());
    std::wstring command = L"\"" + module_path() +
                           L"\" --gtest_also_run_disabled_tests --gtest_filter=UpdateCheckChild.*";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    SetEnvironmentVariableW(L"QUILLET_EXIT_TEST_FOLDER", nullptr);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // Ended by the exit code given, with the deferred removals worked off and
    // no object of the program destroyed under the check's thread.
    EXPECT_EQ(code, 7u);
    EXPECT_FALSE(exists(removal));
    EXPECT_FALSE(exists(marker));
}
