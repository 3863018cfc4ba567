// Progress meter in the main window's title or status bar.
#include "app/progress.h"

#include <commctrl.h>

#include <cmath>
#include <utility>

#include "base/log.h"
#include "app/main_window.h"

namespace quillet {
namespace {

constexpr int status_bar_id = 0xE801;

int depth = 0;
uint32_t all_position = 0;
uint32_t all_total = 0;
double last_draw_ms = 0;
HWND status_bar = nullptr;
std::function<double()> clock_override;

double now_ms() {
    if (clock_override) return clock_override();
    return GetTickCount() * 0.001 * 1000;
}

HWND live_main_window() {
    HWND main = main_window();
    return main && IsWindow(main) ? main : nullptr;
}

BOOL CALLBACK find_bar_child(HWND child, LPARAM found) {
    if (GetDlgCtrlID(child) == status_bar_id) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

std::wstring window_title(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring title(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(window, &title[0], length + 1);
    title.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return title;
}

std::wstring pair_text(uint32_t a, uint32_t b) {
    return L"( " + std::to_wstring(a) + L" / " + std::to_wstring(b) + L" )";
}

BYTE tone(int value) { return static_cast<BYTE>(value > 255 ? 255 : value); }

COLORREF shade(COLORREF c, int rule) {
    int rgb[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    for (int& v : rgb) {
        switch (rule) {
            case 0: v = v + 63; break;
            case 1: v = v + 15; break;
            case 2: v = v * 2 / 3; break;
            default: v = v / 2; break;
        }
    }
    return RGB(tone(rgb[0]), tone(rgb[1]), tone(rgb[2]));
}

RECT pane_rect() {
    RECT area{};
    SendMessageW(status_bar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&area));
    if (IsRectEmpty(&area)) {
        GetClientRect(status_bar, &area);
        area.right = area.left + (area.right - area.left) * 3 / 4;
    }
    return area;
}

}  // namespace

bool find_status_bar() {
    // A kept bar whose window has gone (the main window was closed) is looked up again.
    if (status_bar && !IsWindow(status_bar)) status_bar = nullptr;
    if (status_bar) return true;
    if (HWND main = live_main_window()) {
        HWND found = nullptr;
        EnumChildWindows(main, find_bar_child, reinterpret_cast<LPARAM>(&found));
        status_bar = found;
    }
    return true;
}

int meter_depth() { return depth; }
uint32_t meter_all_position() { return all_position; }
uint32_t meter_all_total() { return all_total; }
void set_meter_clock(std::function<double()> clock) {
    clock_override = std::move(clock);
    last_draw_ms = 0;
}

progress_meter::progress_meter(const std::wstring& text, uint32_t total) : text_(text) {
    if (depth <= 0) {
        depth = 0;
        all_position = 0;
        all_total = 0;
    }
    ++depth;
    if (last_draw_ms == 0) last_draw_ms = now_ms();
    if (total > 9) {
        all_total += total;
        total_ = total;
    }
    find_status_bar();
    if (!status_bar) {
        if (HWND main = live_main_window()) saved_title_ = window_title(main);
    }
}

progress_meter::~progress_meter() {
    remove_display();
    position_ = 0;
    total_ = 0;
    drawn_ = false;
    if (--depth <= 0) {
        depth = 0;
        all_position = 0;
        all_total = 0;
    }
}

// Takes the meter's drawing off the status bar or restores the saved title.
void progress_meter::remove_display() {
    if (!drawn_) return;
    if (status_bar && IsWindow(status_bar)) {
        RECT area = pane_rect();
        InflateRect(&area, -1, -1);
        if (HDC dc = GetDC(status_bar)) {
            FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
            ReleaseDC(status_bar, dc);
        }
        InvalidateRect(status_bar, nullptr, TRUE);
        SendMessageW(status_bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
    } else if (HWND main = live_main_window()) {
        SetWindowTextW(main, saved_title_.c_str());
    }
    last_draw_ms = 0;
}

bool progress_meter::clear() {
    remove_display();
    position_ = 0;
    total_ = 0;
    drawn_ = false;
    color_ = 0x8000;
    return true;
}

void progress_meter::set(const std::wstring& text, uint32_t total) {
    set_text(text);
    set_total(total);
}

void progress_meter::set(const std::wstring& text, uint32_t total, COLORREF color) {
    set_text(text);
    set_total(total);
    set_color(color);
}

bool progress_meter::set_total(uint32_t n) {
    if (n < 10) return false;
    all_total += n - total_;
    total_ = n;
    return true;
}

void progress_meter::set_text(const std::wstring& text) { text_ = text; }

bool progress_meter::step() {
    if (total_ == 0) return false;
    if (position_ < total_)
        ++position_;
    else
        position_ = 0;
    ++all_position;
    // Unsigned 32-bit arithmetic on purpose: only a change of the whole-percent
    // value redraws, so a long loop sets the title about a hundred times.
    const uint32_t before = (position_ * 100u - 100u) / total_;
    const uint32_t after = (position_ * 100u) / total_;
    if (before == after) return true;
    return show(position_);
}

bool progress_meter::show(uint32_t pos) {
    if (pos > total_) return false;
    position_ = pos;
    if (all_position < position_) all_position = position_;
    const double now = now_ms();
    if (std::fabs(now - last_draw_ms) < 100) return true;
    last_draw_ms = now;
    return draw();
}

int progress_meter::scaled(int n) const { return static_cast<int>(fraction() * n); }

double progress_meter::fraction() const {
    if (total_ == 0 || position_ > total_) return 0;
    return static_cast<double>(position_) / total_;
}

int progress_meter::all_scaled(int n) const { return static_cast<int>(all_fraction() * n); }

double progress_meter::all_fraction() const {
    if (all_total == 0 || all_position > all_total) return 0;
    return static_cast<double>(all_position) / all_total;
}

std::wstring progress_meter::count_text() const { return pair_text(position_, total_); }

std::wstring progress_meter::all_count_text() const {
    return all_total > 1 ? pair_text(all_position, all_total) : std::wstring();
}

bool progress_meter::draw() {
    if (!status_bar) find_status_bar();
    if (!status_bar) {
        draw_title();
        return true;
    }
    return draw_status();
}

bool progress_meter::draw_title() {
    HWND main = live_main_window();
    if (!main) return false;
    std::wstring bar(25, L'.');
    if (total_ > 0) {
        const int stars = all_scaled(25);
        for (int i = 0; i < stars && i < 25; ++i) bar[static_cast<size_t>(i)] = L'*';
    }
    const std::wstring title =
        saved_title_ + L"    " + text_ + L"  " + all_count_text() + L"  " + bar + L"  ";
    SetWindowTextW(main, title.c_str());
    // Wine hands window changes to the X server while the thread waits for
    // messages; with messages streaming in it may never wait. A wait of no
    // time sends the caption out at once and takes no message.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
    drawn_ = true;
    return true;
}

bool progress_meter::draw_status() {
    if (!status_bar || !IsWindow(status_bar)) return false;
    const RECT area = pane_rect();
    HDC dc = GetDC(status_bar);
    if (dc && position_ == 0) FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    const std::wstring status = text_ + L"  " + all_count_text() + L"  ";
    SendMessageW(status_bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
    if (dc && total_ > 2) {
        RECT half = area;
        half.left = area.left + (area.right - area.left) / 2;
        InflateRect(&half, -1, -2);
        const int width = half.right - half.left;
        RECT filled = half;
        filled.right = half.left + static_cast<LONG>(all_fraction() * width);
        HBRUSH track = CreateSolidBrush(shade(color_, 0));
        HBRUSH body = CreateSolidBrush(color_);
        HBRUSH edge = CreateSolidBrush(shade(color_, 3));
        FillRect(dc, &half, track);
        FillRect(dc, &filled, edge);
        InflateRect(&filled, 0, -1);
        FillRect(dc, &filled, body);
        DeleteObject(track);
        DeleteObject(body);
        DeleteObject(edge);
    }
    if (dc) ReleaseDC(status_bar, dc);
    drawn_ = true;
    return true;
}

}  // namespace quillet
