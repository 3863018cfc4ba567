// The update check as the main window starts it: whatever the update server
// does, the window is up at once, and closing it ends the check promptly
// without leaving anything that would count as the day's try.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/main_dialog.h"
#include "app_fixture.h"
#include "engine/run_fixture.h"
#include "support/http_server.h"
#include "tools/http_fetch.h"
#include "tools/update_check.h"

using testing_support::exists;

namespace {

const char page_path[] = "/n_Bench/download";

// The main window's own fixture (scratch temporary folder, boxes and shell
// launches caught, placement put back) with the update server set.
class UpdateCheckWindow : public app_test::app_window {
protected:
    void SetUp() override {
        quillet::set_update_settings_file(scratch.file(L"Tool.ini"));
        WritePrivateProfileStringW(L"IR_update", L"server_name", server.host().c_str(),
                                   scratch.file(L"Tool.ini").c_str());
        app_window::SetUp();
    }
    void TearDown() override {
        app_window::TearDown();
        quillet::set_update_settings_file(L"");
    }

    testing_support::http_server server;
};

}  // namespace

TEST_F(UpdateCheckWindow, WindowIsUpAtOnceAndClosesPromptlyWhateverTheServerDoes) {
    // A server that never answers, one that sends a byte every 5 s, and one
    // that floods without a length: the check waits, or reads, when stopped.
    for (int behaviour = 0; behaviour < 3; ++behaviour) {
        SCOPED_TRACE(behaviour);
        // A temporary folder of its own, so that no earlier try counts as today's.
        run_test::temp_redirect fresh(scratch.path() + L"temp" + std::to_wstring(behaviour));
        switch (behaviour) {
        case 0: server.set_stall(page_path); break;
        case 1: server.set_trickle(page_path, std::string(100, 'a'), 5000); break;
        case 2: server.set_big_page(page_path, 500ull * 1024 * 1024, false); break;
        }
        const int before = server.requests(page_path);

        const ULONGLONG start = GetTickCount64();
        auto dialog = std::make_unique<quillet::MainDialog>();
        ASSERT_TRUE(dialog->create_modeless());
        ShowWindow(dialog->hwnd(), SW_SHOWNORMAL);
        app_test::dispatch_pending();
        EXPECT_LT(GetTickCount64() - start, 3000u);
        EXPECT_TRUE(IsWindowVisible(dialog->hwnd()));

        // The check begins once the window's queue runs, on its own thread.
        while (server.requests(page_path) == before && GetTickCount64() - start < 20000) {
            app_test::dispatch_pending();
            Sleep(20);
        }
        EXPECT_GT(server.requests(page_path), before);

        // Under Wine on an X server without a window manager, taking a shown
        // window off the screen waits about 2 s for the server whatever the
        // program does; the close is timed from there.
        ShowWindow(dialog->hwnd(), SW_HIDE);
        const ULONGLONG closing = GetTickCount64();
        dialog.reset();
        EXPECT_LT(GetTickCount64() - closing, 1500u);
        if (behaviour == 2) continue;  // the flood fails at the cap: a try, noted
        // Stopped mid-request: no page and no note of a try today.
        const std::wstring page = quillet::local_file_of(quillet::update_url());
        EXPECT_FALSE(exists(page));
        EXPECT_FALSE(exists(page.substr(0, page.size() - 3) + L"txt"));
    }
    EXPECT_TRUE(shell_calls.empty());
}
