// The progress meter: its counters, nesting, and the title it draws on a real
// top-level window set as the main window.
#include "app/progress.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "support/scratch.h"

namespace {

using namespace quillet;

std::wstring title_of(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return buffer;
}

// A top-level window whose title changes are recorded; set as the main window.
class titled_window {
public:
    explicit titled_window(const std::wstring& title) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quillet_progress_test";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                  300, 100, nullptr, nullptr, wc.hInstance, nullptr);
        set_main_window(window_);
        titles().clear();
    }
    ~titled_window() {
        set_main_window(nullptr);
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }
    static std::vector<std::wstring>& titles() {
        static std::vector<std::wstring> list;
        return list;
    }
    static int& paints() {
        static int count = 0;
        return count;
    }

private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_SETTEXT && lp) titles().push_back(reinterpret_cast<const wchar_t*>(lp));
        if (m == WM_PAINT) ++paints();
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_ = nullptr;
};

// A clock that the test moves by hand, so the 100 ms throttle is deterministic.
class manual_clock {
public:
    manual_clock() {
        set_meter_clock([this] { return now; });
    }
    ~manual_clock() { set_meter_clock(nullptr); }
    double now = 1000000;
};

std::wstring bar(int stars) { return std::wstring(stars, L'*') + std::wstring(25 - stars, L'.'); }

TEST(Progress, TotalsBelowTenAreRefusedHoweverGiven) {
    progress_meter meter(L"x", 9);
    EXPECT_EQ(meter.get_total(), 0u);
    EXPECT_FALSE(meter.set_total(9));
    EXPECT_FALSE(meter.step());
    EXPECT_EQ(meter.get_position(), 0u);
    EXPECT_TRUE(meter.set_total(10));
    EXPECT_EQ(meter_all_total(), 10u);
    progress_meter inner(L"x", 12);
    EXPECT_EQ(inner.get_total(), 12u);
    EXPECT_EQ(meter_all_total(), 22u);
    EXPECT_EQ(meter_depth(), 2);
}

TEST(Progress, StepWrapsToZeroAfterTheTotal) {
    progress_meter meter(L"x", 10);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(meter.step());
    EXPECT_EQ(meter.get_position(), 10u);
    EXPECT_DOUBLE_EQ(meter.fraction(), 1.0);
    EXPECT_TRUE(meter.step());
    EXPECT_EQ(meter.get_position(), 0u);
    EXPECT_EQ(meter_all_position(), 11u);
    EXPECT_DOUBLE_EQ(meter.all_fraction(), 0.0);  // 11 steps of 10: beyond the total
}

TEST(Progress, CountTextsAndScaling) {
    progress_meter meter(L"x", 40);
    for (int i = 0; i < 3; ++i) meter.step();
    EXPECT_EQ(meter.count_text(), L"( 3 / 40 )");
    EXPECT_EQ(meter.all_count_text(), L"( 3 / 40 )");
    EXPECT_EQ(meter.scaled(25), 1);
    EXPECT_EQ(meter.all_scaled(25), 1);
    EXPECT_FALSE(meter.show(41));
    EXPECT_TRUE(meter.show(20));
    EXPECT_EQ(meter.scaled(100), 50);
}

TEST(Progress, AllCountTextIsEmptyWithoutAnOverallTotal) {
    progress_meter meter(L"x", 0);
    EXPECT_EQ(meter.all_count_text(), L"");
    EXPECT_EQ(meter.count_text(), L"( 0 / 0 )");
    EXPECT_DOUBLE_EQ(meter.fraction(), 0.0);
}

TEST(Progress, NestedMetersAddUpAndResetWhenAllHaveEnded) {
    {
        progress_meter outer(L"outer", 10);
        outer.step();
        {
            progress_meter inner(L"inner", 20);
            inner.step();
            inner.step();
            EXPECT_EQ(inner.all_count_text(), L"( 3 / 30 )");
            EXPECT_EQ(outer.all_count_text(), L"( 3 / 30 )");
            EXPECT_EQ(meter_depth(), 2);
        }
        EXPECT_EQ(meter_depth(), 1);
        EXPECT_EQ(meter_all_total(), 30u);
    }
    EXPECT_EQ(meter_depth(), 0);
    EXPECT_EQ(meter_all_total(), 0u);
    EXPECT_EQ(meter_all_position(), 0u);
}

TEST(Progress, ClearKeepsTheOverallCounters) {
    progress_meter meter(L"x", 10);
    meter.step();
    meter.set_color(0x123456);
    EXPECT_TRUE(meter.clear());
    EXPECT_EQ(meter.get_total(), 0u);
    EXPECT_EQ(meter.get_position(), 0u);
    EXPECT_EQ(meter.get_color(), 0x8000u);
    EXPECT_EQ(meter_all_total(), 10u);
    EXPECT_EQ(meter_all_position(), 1u);
}

TEST(Progress, WithoutMainWindowNothingIsDrawn) {
    set_main_window(nullptr);
    manual_clock clock;
    progress_meter meter(L" ... ", 10);
    clock.now += 500;
    EXPECT_TRUE(meter.step());
    EXPECT_FALSE(meter.drawn());
    EXPECT_FALSE(meter.draw_title());
}

TEST(Progress, TitleShowsCountAndBarOnEveryStepOfTen) {
    titled_window window(L"quillet title");
    ASSERT_NE(window.get(), nullptr);
    manual_clock clock;
    {
        progress_meter meter(L" ... ", 0);
        EXPECT_TRUE(meter.set_total(10));
        for (int i = 1; i <= 10; ++i) {
            clock.now += 150;
            EXPECT_TRUE(meter.step());
            const std::wstring expected = L"quillet title     ...   ( " + std::to_wstring(i) +
                                          L" / 10 )  " + bar(static_cast<int>(i / 10.0 * 25)) + L"  ";
            EXPECT_EQ(title_of(window.get()), expected) << i;
        }
        EXPECT_TRUE(meter.drawn());
        EXPECT_EQ(titled_window::titles().size(), 10u);
    }
    EXPECT_EQ(title_of(window.get()), L"quillet title");
}

TEST(Progress, TitleFollowsTheExampleOfThreeStepsOfForty) {
    titled_window window(L"T");
    manual_clock clock;
    progress_meter meter(L" ... ", 40);
    meter.show(2);
    clock.now += 200;
    meter.step();  // 3 of 40: 7 percent, redrawn
    EXPECT_EQ(title_of(window.get()), L"T     ...   ( 3 / 40 )  *" + std::wstring(24, L'.') + L"  ");
}

TEST(Progress, DrawingIsThrottledToOncePer100Milliseconds) {
    titled_window window(L"slow");
    manual_clock clock;
    progress_meter meter(L" ... ", 10);
    clock.now += 50;  // within 100 ms of the meter's start: no drawing yet
    meter.step();
    EXPECT_TRUE(titled_window::titles().empty());
    clock.now += 100;
    meter.step();
    ASSERT_EQ(titled_window::titles().size(), 1u);
    meter.step();  // same clock reading: throttled
    EXPECT_EQ(titled_window::titles().size(), 1u);
    EXPECT_EQ(title_of(window.get()), L"slow     ...   ( 2 / 10 )  *****" + std::wstring(20, L'.') + L"  ");
}

TEST(Progress, ThousandStepsRedrawOnlyOnWholePercentChanges) {
    titled_window window(L"many");
    manual_clock clock;
    {
        progress_meter meter(L" ... ", 1000);
        for (int i = 0; i < 1000; ++i) {
            clock.now += 150;
            meter.step();
        }
    }
    // 100 percent steps, and the restored title at the end.
    EXPECT_EQ(titled_window::titles().size(), 101u);
    EXPECT_EQ(title_of(window.get()), L"many");
}

TEST(Progress, AMeterThatNeverDrewLeavesTheTitleAlone) {
    titled_window window(L"untouched");
    manual_clock clock;
    {
        progress_meter meter(L" ... ", 0);
        EXPECT_FALSE(meter.set_total(9));
        for (int i = 0; i < 9; ++i) {
            clock.now += 150;
            meter.step();
        }
    }
    EXPECT_TRUE(titled_window::titles().empty());
    EXPECT_EQ(title_of(window.get()), L"untouched");
}

TEST(Progress, NestedMetersShowOverallFiguresInTheTitle) {
    titled_window window(L"N");
    manual_clock clock;
    progress_meter outer(L"a", 10);
    {
        progress_meter inner(L"b", 20);
        clock.now += 150;
        inner.step();
        EXPECT_EQ(title_of(window.get()), L"N    b  ( 1 / 30 )  " + bar(0) + L"  ");
    }
    EXPECT_EQ(title_of(window.get()), L"N");
}

}  // namespace

namespace {

std::wstring status_text(HWND bar) {
    wchar_t buffer[256] = {};
    const LRESULT info = SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0);
    if (LOWORD(info) >= 256) return L"(too long)";
    SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

TEST(Progress, StatusBarModeShowsTextInPaneZeroAndLeavesTheTitle) {
    // The status bar control class comes with the common controls library.
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(controls, nullptr);
    titled_window window(L"with bar");
    HWND bar = CreateWindowExW(0, L"msctls_statusbar32", L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                               window.get(), reinterpret_cast<HMENU>(0xE801),
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(bar, nullptr);
    manual_clock clock;
    {
        progress_meter meter(L" ... ", 10);
        clock.now += 150;
        EXPECT_TRUE(meter.step());
        EXPECT_TRUE(meter.drawn());
        EXPECT_EQ(status_text(bar), L" ...   ( 1 / 10 )  ");
    }
    EXPECT_EQ(status_text(bar), L"");
    EXPECT_EQ(title_of(window.get()), L"with bar");
    DestroyWindow(bar);
    // With the bar gone the meter falls back to the title again.
    {
        progress_meter meter(L"x", 10);
        clock.now += 150;
        meter.step();
        EXPECT_EQ(title_of(window.get()).substr(0, 12), L"with bar    ");
    }
    EXPECT_EQ(title_of(window.get()), L"with bar");
}

}  // namespace
