// A progress meter that long loops create on the stack: it shows the overall
// count and a 25-character bar in the main window's title (or the first pane of
// its status bar, when it has one) and restores the display when it ends.
// Meters nest: process-wide counters add up the totals and steps of live meters.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace quillet {

class progress_meter {
public:
    explicit progress_meter(const std::wstring& text = L"", uint32_t total = 0);
    virtual ~progress_meter();
    progress_meter(const progress_meter&) = delete;
    progress_meter& operator=(const progress_meter&) = delete;

    bool clear();
    void set(const std::wstring& text, uint32_t total);
    void set(const std::wstring& text, uint32_t total, COLORREF color);
    // Accepts totals of 10 and more only; returns false and changes nothing below.
    bool set_total(uint32_t n);
    void set_text(const std::wstring& text);
    // One step before each item; redraws when the whole-percent value changes.
    bool step();
    // Moves to `pos` and redraws, at most once per 100 ms.
    bool show(uint32_t pos);
    uint32_t get_position() const { return position_; }
    uint32_t get_total() const { return total_; }
    int scaled(int n) const;
    double fraction() const;
    int all_scaled(int n) const;
    double all_fraction() const;
    std::wstring count_text() const;
    std::wstring all_count_text() const;
    virtual bool draw();
    void set_color(COLORREF color) { color_ = color; }
    COLORREF get_color() const { return color_; }
    bool draw_title();
    bool draw_status();
    bool drawn() const { return drawn_; }

private:
    void remove_display();

    std::wstring text_;
    uint32_t position_ = 0;
    uint32_t total_ = 0;
    bool drawn_ = false;
    std::wstring saved_title_;
    COLORREF color_ = 0x8000;
};

// Looks up the main window's status bar (control id 0xE801) once it exists and
// keeps it; always true.
bool find_status_bar();

// The process-wide figures of all live meters.
int meter_depth();
uint32_t meter_all_position();
uint32_t meter_all_total();

// Test seam: the millisecond clock the meter throttles its drawing with
// (GetTickCount when empty); also forgets the time of the last drawing.
void set_meter_clock(std::function<double()> clock);

}  // namespace quillet
