// Window placement: the monitors and their work areas, fitting a rectangle
// into a work area, the DPI of a window, and the check that drops the saved
// window layout when the DPI has changed since the last save. The dialog's
// save and restore are operations of profile (settings/profile.h).
#pragma once
#include <windows.h>

#include <string>

namespace quillet {

// GetSystemMetrics(SM_CMONITORS), or 1 when that is 0.
int monitor_count();
// The monitor rectangle and work area of the monitor nearest point (with one
// monitor: the screen and SPI_GETWORKAREA). 1 for the primary monitor, 0 for
// another. Each output is filled only when it is not null.
int monitor_rects(POINT point, RECT* monitor_out, RECT* work_out);
// rect moved (and shrunk to bounds' width and height when larger) into bounds.
RECT clamp_rect(const RECT& rect, const RECT& bounds);
// The rectangle a stored dialog rectangle is moved to: clamp_rect into work,
// shrunk by one pixel on every side when there is more than one monitor.
RECT fit_to_work_area(const RECT& rect, RECT work, int monitors);
// rect with its width and height scaled from from_dpi to to_dpi, its top-left
// corner kept; unchanged when either DPI lies outside 48 to 960.
RECT scale_rect_size(const RECT& rect, int from_dpi, int to_dpi);
// The DPI of window (null: the desktop window).
int window_dpi(HWND window);

// The registry key below HKEY_CURRENT_USER holding the program's window layout
// keys "Position", "Bar" and "WindowLayout": "Software\" + registry key + "\" +
// profile name (the program has no registry key, so the first part is empty).
std::wstring window_layout_root();
// When the DPI of window differs from the "DPI_" stored under "Position" in the
// program's profile, deletes every subkey of the layout keys below root (the
// three keys themselves stay). The stored value is not changed. True when the
// DPI had changed.
bool check_dpi_change(HWND window, const std::wstring& root = window_layout_root());

}  // namespace quillet
