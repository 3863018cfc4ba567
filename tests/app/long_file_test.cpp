// A run that spends seconds inside one file (here: waiting for a source
// another program holds): meanwhile the window as X shows it is painted again
// after another window covered it, and takes a new title.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "app_fixture.h"
#include "base/paths.h"
#include "x_side.h"

using namespace app_test;

namespace {

// Runs this thread's windows for ms milliseconds.
void pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    do {
        dispatch_pending();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount64() < end);
}

// Another program's black window over an area of the screen, painted by the
// thread that creates it as it pumps.
HWND cover(const RECT& area) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"quillet_test_cover";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                  wc.lpszClassName, L"", WS_POPUP, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return window;
}

RECT client_on_screen(HWND window) {
    RECT area{};
    GetClientRect(window, &area);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    return area;
}

class LongFileTest : public app_window {};

}  // namespace

TEST_F(LongFileTest, WindowIsRepaintedAndRetitledWhileTheRunWaitsInsideOneFile) {
    const HWND window = dlg->hwnd();
    ShowWindow(window, SW_SHOWNORMAL);
    dispatch_pending();
    const x_title_spy spy(window, scratch.file(L"titles.txt"));
    if (!spy.running()) GTEST_SKIP() << "no X window behind the dialog";

    // A Shift_JIS text held by another program when the run starts: the run
    // waits for it (seconds), then converts it to UTF-8.
    const std::wstring dest = make_folder(L"dest");
    const std::wstring source =
        make_file(L"src\\held.txt", "\x82\xa0\x82\xa2\x8a\xbf\x8e\x9a text\r\n");
    drop({quillet::path_del_sep(dest), source});
    dlg->encoding_box.set_cur_sel(1);
    dispatch_pending();
    const RECT client = client_on_screen(window);
    const std::wstring shot = scratch.file(L"shot.rgb");
    const std::vector<uint8_t> before = x_screen_pixels(client, shot);
    ASSERT_FALSE(before.empty());
    HANDLE held = CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    // The user's side, while the run goes: what X shows counts only while the
    // run is still inside the file (the destination appears at its end).
    const auto converting = [&] { return !testing_support::exists(dest + L"held.txt"); };
    std::atomic<bool> user_done{false};
    bool covered = false, repainted = false;
    int titles_shown = 0;
    std::thread user([&] {
        Sleep(300);
        const HWND other = cover(client);
        for (int i = 0; i < 40 && !covered; ++i) {
            pump(50);
            covered = colour_share(x_screen_pixels(client, shot), RGB(0, 0, 0)) > 0.9;
        }
        DestroyWindow(other);
        pump(100);
        while (covered && !repainted) {
            const bool matched = same_share(x_screen_pixels(client, shot), before) > 0.98;
            if (!converting()) break;
            repainted = matched;
        }
        for (int k = 1; k <= 3 && converting(); ++k) {
            const std::wstring title = L"quillet mark " + std::to_wstring(k);
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()),
                                SMTO_NORMAL, 60000, &answer);
            if (spy.shown(title, 2000) && converting()) ++titles_shown;
        }
        CloseHandle(held);  // the other program lets the file go: the run goes on
        user_done = true;
    });
    click(IDC_COPY);
    // The window's own messages, the user's last title among them.
    while (!user_done) {
        dispatch_pending();
        Sleep(10);
    }
    user.join();

    EXPECT_TRUE(testing_support::exists(dest + L"held.txt"));
    ASSERT_TRUE(covered) << "the covering window never reached the screen during the run";
    EXPECT_TRUE(repainted) << "the uncovered window stayed unpainted until the file was done";
    EXPECT_GE(titles_shown, 2) << "new titles reached X only after the file was done";
}
