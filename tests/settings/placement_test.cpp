#include <gtest/gtest.h>

#include "settings/placement.h"
#include "settings/profile.h"
#include "settings/value_forms.h"
#include "settings_support.h"

using namespace quillet;
using namespace settings_test;

namespace {

void expect_rect(const RECT& r, const RECT& want) {
    EXPECT_EQ(r.left, want.left);
    EXPECT_EQ(r.top, want.top);
    EXPECT_EQ(r.right, want.right);
    EXPECT_EQ(r.bottom, want.bottom);
}

LRESULT CALLBACK plain_proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

// A real top-level window, destroyed with the object. Hidden unless asked:
// without a window manager, Wine waits about two seconds for a shown window
// to be withdrawn when it is destroyed, and the rectangles work the same.
class test_window {
public:
    test_window(int x, int y, int w, int h, bool visible = false) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = plain_proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quillet_placement_test";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"placement", WS_POPUP | WS_CAPTION | (visible ? WS_VISIBLE : 0),
                                x, y, w, h, nullptr, nullptr, wc.hInstance, nullptr);
        pump();
    }
    ~test_window() {
        if (hwnd_) DestroyWindow(hwnd_);
        pump();
    }
    HWND get() const { return hwnd_; }
    RECT rect() const {
        RECT r = {};
        GetWindowRect(hwnd_, &r);
        return r;
    }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    // A window manager answers a move of a shown window in its own time: the
    // rectangle is looked at again while messages arrive, for up to 2 s.
    RECT rect_once_settled(const RECT& want) const {
        for (int i = 0; i < 40 && !same_rect(rect(), want); ++i) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            pump();
        }
        return rect();
    }

private:
    HWND hwnd_ = nullptr;
};

RECT work_area() {
    RECT work = {};
    monitor_rects(POINT{0, 0}, nullptr, &work);
    return work;
}

class PlacementTest : public SettingsTest {
protected:
    const wchar_t* section = L"Position\\Dialog";
    const wchar_t* key = L"Position_quilletDg_CDialog";
    std::wstring raw(const wchar_t* s, const wchar_t* k) {
        wchar_t buf[256] = {};
        GetPrivateProfileStringW(s, k, L"<absent>", buf, 256, profile(L"").path().c_str());
        return buf;
    }
};

}  // namespace

TEST(Placement, ClampKeepsARectangleThatFits) {
    RECT bounds = {0, 0, 1000, 800};
    expect_rect(clamp_rect(RECT{10, 20, 300, 400}, bounds), RECT{10, 20, 300, 400});
}

TEST(Placement, ClampMovesARectangleBackInsideKeepingItsSize) {
    RECT bounds = {0, 0, 1000, 800};
    expect_rect(clamp_rect(RECT{-50, -30, 250, 170}, bounds), RECT{0, 0, 300, 200});
    expect_rect(clamp_rect(RECT{900, 700, 1200, 900}, bounds), RECT{700, 600, 1000, 800});
    // A second monitor that is gone: far off to the right and below.
    expect_rect(clamp_rect(RECT{3000, 2000, 3300, 2200}, bounds), RECT{700, 600, 1000, 800});
}

TEST(Placement, ClampShrinksARectangleLargerThanTheBounds) {
    RECT bounds = {100, 50, 1000, 800};
    expect_rect(clamp_rect(RECT{200, 60, 2200, 300}, bounds), RECT{100, 60, 1000, 300});
    expect_rect(clamp_rect(RECT{-500, -500, 3000, 3000}, bounds), bounds);
}

TEST(Placement, ClampSurvivesExtremeValues) {
    RECT bounds = {0, 0, 1000, 800};
    RECT r = clamp_rect(RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, bounds);
    expect_rect(r, bounds);
}

TEST(Placement, SeveralMonitorsKeepOnePixelInside) {
    RECT work = {0, 0, 1000, 800};
    expect_rect(fit_to_work_area(RECT{-10, -10, 2000, 2000}, work, 2), RECT{1, 1, 999, 799});
    expect_rect(fit_to_work_area(RECT{-10, -10, 2000, 2000}, work, 1), work);
}

TEST(Placement, MonitorsAndDpi) {
    EXPECT_GE(monitor_count(), 1);
    RECT monitor = {}, work = {};
    int primary = monitor_rects(POINT{10, 10}, &monitor, &work);
    EXPECT_EQ(primary, 1);
    EXPECT_GT(monitor.right - monitor.left, 0);
    EXPECT_GE(work.left, monitor.left);
    EXPECT_LE(work.right, monitor.right);
    EXPECT_EQ(monitor_rects(POINT{10, 10}, nullptr, nullptr), primary);
    EXPECT_GT(window_dpi(nullptr), 0);
}

TEST_F(PlacementTest, SavedPlacementIsRestoredAfterTheWindowMoved) {
    test_window w(110, 120, 300, 200, true);
    ASSERT_TRUE(w.get());
    ASSERT_TRUE(IsWindowVisible(w.get()));
    RECT saved = w.rect();
    profile settings(L"");
    EXPECT_EQ(settings.save_dialog_placement(w.get(), L"quilletDg"), 1);
    EXPECT_EQ(raw(section, key), rect_padded_text(saved));
    EXPECT_EQ(raw(section, L"Position_quilletDg_CDialog_LTRB"), unquote_text(rect_text(saved)));
    EXPECT_EQ(raw(L"Position", L"DPI_"), int_text(window_dpi(w.get())));

    MoveWindow(w.get(), 400, 300, 250, 150, TRUE);
    test_window::pump();
    ASSERT_FALSE(same_rect(w.rect(), saved));
    profile reopened(L"");
    EXPECT_EQ(reopened.restore_dialog_placement(w.get(), L"quilletDg"), 1);
    expect_rect(w.rect_once_settled(saved), saved);
}

TEST_F(PlacementTest, FirstStartLeavesTheWindowAndWritesNothing) {
    test_window w(130, 140, 200, 100);
    RECT before = w.rect();
    profile settings(L"");
    EXPECT_EQ(settings.restore_dialog_placement(w.get(), L"quilletDg"), 1);
    expect_rect(w.rect(), before);
    EXPECT_FALSE(testing_support::exists(settings.path()));
}

TEST_F(PlacementTest, RectangleLargerThanTheWorkAreaIsShrunkToIt) {
    RECT work = work_area();
    profile settings(L"");
    RECT huge = {work.left + 20, work.top + 10, work.right + 600, work.top + 200};
    settings.save_dialog_rect(key, huge);
    test_window w(50, 50, 200, 100);
    settings.restore_dialog_placement(w.get(), L"quilletDg");
    test_window::pump();
    RECT r = w.rect();
    EXPECT_EQ(r.left, work.left);
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.top, work.top + 10);
    EXPECT_EQ(r.bottom, work.top + 200);
}

TEST_F(PlacementTest, RectangleOutsideTheWorkAreaIsMovedIntoIt) {
    RECT work = work_area();
    profile settings(L"");
    settings.save_dialog_rect(key, RECT{work.right + 3000, work.bottom + 2000, work.right + 3300,
                                        work.bottom + 2150});
    test_window w(50, 50, 200, 100);
    settings.restore_dialog_placement(w.get(), L"quilletDg");
    test_window::pump();
    expect_rect(w.rect(), RECT{work.right - 300, work.bottom - 150, work.right, work.bottom});
}

TEST_F(PlacementTest, RectangleSavedAtADpiNoScreenHasKeepsItsSize) {
    profile settings(L"");
    test_window w(50, 50, 200, 100);
    settings.save_dialog_rect(key, RECT{40, 30, 440, 230});
    // A damaged value: scaled by it, the window would be many times too large.
    settings.write_int(L"Position", L"DPI_", 5);
    settings.restore_dialog_placement(w.get(), L"quilletDg");
    test_window::pump();
    expect_rect(w.rect(), RECT{40, 30, 440, 230});
}

TEST_F(PlacementTest, DamagedRectangleLeavesTheWindowAlone) {
    profile settings(L"");
    WritePrivateProfileStringW(section, key, L"000000500 000000400 000000100 000000100",
                               settings.path().c_str());
    test_window w(60, 70, 200, 100);
    RECT before = w.rect();
    settings.restore_dialog_placement(w.get(), L"quilletDg");
    expect_rect(w.rect(), before);
}

TEST_F(PlacementTest, MinimisedWindowKeepsTheStoredRectangle) {
    test_window w(100, 100, 200, 100);
    profile settings(L"");
    settings.save_dialog_rect(key, RECT{1, 2, 301, 202});
    settings.write_int(L"Position", L"DPI_", 1);
    ShowWindow(w.get(), SW_MINIMIZE);
    test_window::pump();
    ASSERT_TRUE(IsIconic(w.get()));
    EXPECT_EQ(settings.save_dialog_placement(w.get(), L"quilletDg"), 0);
    EXPECT_EQ(raw(section, key), L"000000001 000000002 000000301 000000202");
    EXPECT_EQ(raw(L"Position", L"DPI_"), int_text(window_dpi(w.get())));
}

TEST_F(PlacementTest, GivenRectangleIsSavedAsIs) {
    test_window w(100, 100, 200, 100);
    profile settings(L"");
    RECT given = {11, 22, 333, 444};
    EXPECT_EQ(settings.save_dialog_placement(w.get(), L"quilletDg", &given), 1);
    EXPECT_EQ(raw(section, key), L"000000011 000000022 000000333 000000444");
    EXPECT_EQ(settings.save_dialog_placement(nullptr, L"quilletDg", &given), 0);
}

TEST_F(PlacementTest, DpiChangeDropsTheLayoutKeysAndScalesTheRectangle) {
    std::wstring root = test_key(L"layout");
    reg_write_sz(root + L"\\Position\\A\\B\\C", L"v", L"1");
    reg_write_sz(root + L"\\Bar\\D", L"v", L"1");
    reg_write_sz(root + L"\\Other\\E", L"v", L"1");
    test_window w(150, 160, 240, 120);
    RECT saved = w.rect();
    profile settings(L"");
    settings.save_dialog_placement(w.get(), L"quilletDg");
    int dpi = window_dpi(w.get());

    // Same DPI: nothing is deleted.
    EXPECT_FALSE(check_dpi_change(w.get(), root));
    EXPECT_TRUE(reg_key_exists(root + L"\\Position\\A\\B\\C"));

    settings.write_int(L"Position", L"DPI_", dpi + 48);
    EXPECT_TRUE(check_dpi_change(w.get(), root));
    EXPECT_FALSE(reg_key_exists(root + L"\\Position\\A"));
    EXPECT_FALSE(reg_key_exists(root + L"\\Bar\\D"));
    EXPECT_TRUE(reg_key_exists(root + L"\\Position"));
    EXPECT_TRUE(reg_key_exists(root + L"\\Bar"));
    EXPECT_TRUE(reg_key_exists(root + L"\\Other\\E"));
    EXPECT_EQ(settings.get_int(L"Position", L"DPI_", 0), dpi + 48);  // not changed here

    MoveWindow(w.get(), 500, 400, 100, 100, TRUE);
    settings.restore_dialog_placement(w.get(), L"quilletDg");
    test_window::pump();
    const LONG width = (saved.right - saved.left) * dpi / (dpi + 48);
    const LONG height = (saved.bottom - saved.top) * dpi / (dpi + 48);
    expect_rect(w.rect(), RECT{saved.left, saved.top, saved.left + width, saved.top + height});
    reg_delete_tree(test_key(L""));
}
