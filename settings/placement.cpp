#include "settings/placement.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/log.h"
#include "base/paths.h"
#include "settings/profile.h"
#include "settings/registry_key.h"
#include "settings/value_forms.h"

namespace quillet {

namespace {

const wchar_t* const section_position = L"Position";
const wchar_t* const section_dialog = L"Position\\Dialog";
const wchar_t* const key_dpi = L"DPI_";

using monitor_from_point_fn = HMONITOR(WINAPI*)(POINT, DWORD);
using get_monitor_info_fn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using get_dpi_for_window_fn = UINT(WINAPI*)(HWND);

std::wstring dialog_key(const wchar_t* name, const wchar_t* class_name) {
    return std::wstring(L"Position") + L"_" + name + L"_" + (class_name ? class_name : L"");
}

LONG to_long(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(v);
}

// Every subkey below key, breadth-first: the direct subkeys first, then the
// subkeys of each listed key appended in turn; only the first 100 listed keys
// are looked into.
std::vector<std::wstring> subkeys_breadth_first(const std::wstring& key) {
    registry_key reg;
    std::vector<std::wstring> list, names;
    reg.enum_keys(HKEY_CURRENT_USER, key.c_str(), names);
    for (const std::wstring& n : names) list.push_back(key + L"\\" + n);
    for (size_t i = 0; i < list.size() && i < 100; ++i) {
        std::wstring parent = list[i];
        reg.enum_keys(HKEY_CURRENT_USER, parent.c_str(), names);
        for (const std::wstring& n : names) list.push_back(parent + L"\\" + n);
    }
    return list;
}

}  // namespace

int monitor_count() {
    int n = GetSystemMetrics(SM_CMONITORS);
    return n == 0 ? 1 : n;
}

int monitor_rects(POINT point, RECT* monitor_out, RECT* work_out) {
    RECT monitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT work = monitor;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int result = 1;
    if (monitor_count() >= 2) {
        HMODULE user32 = GetModuleHandleW(L"USER32");
        auto from_point = user32 ? reinterpret_cast<monitor_from_point_fn>(
                                       GetProcAddress(user32, "MonitorFromPoint"))
                                 : nullptr;
        auto get_info = user32 ? reinterpret_cast<get_monitor_info_fn>(
                                     GetProcAddress(user32, "GetMonitorInfoW"))
                               : nullptr;
        if (from_point && get_info) {
            MONITORINFO info = {};
            info.cbSize = sizeof info;  // 40
            if (get_info(from_point(point, MONITOR_DEFAULTTONEAREST), &info)) {
                monitor = info.rcMonitor;
                work = info.rcWork;
                result = static_cast<int>(info.dwFlags);
            }
        }
    }
    if (monitor_out) *monitor_out = monitor;
    if (work_out) *work_out = work;
    return result;
}

RECT clamp_rect(const RECT& rect, const RECT& bounds) {
    // 64-bit arithmetic: stored rectangles come from a file a user can edit.
    int64_t w = std::min<int64_t>(int64_t(rect.right) - rect.left, int64_t(bounds.right) - bounds.left);
    int64_t h = std::min<int64_t>(int64_t(rect.bottom) - rect.top, int64_t(bounds.bottom) - bounds.top);
    int64_t left = rect.left, right = rect.right, top = rect.top, bottom = rect.bottom;
    if (left < bounds.left) {
        left = bounds.left;
        right = left + w;
    }
    if (right > bounds.right) {
        right = bounds.right;
        left = right - w;
    }
    if (top < bounds.top) {
        top = bounds.top;
        bottom = top + h;
    }
    if (bottom > bounds.bottom) {
        bottom = bounds.bottom;
        top = bottom - h;
    }
    return RECT{to_long(left), to_long(top), to_long(right), to_long(bottom)};
}

RECT fit_to_work_area(const RECT& rect, RECT work, int monitors) {
    // With several monitors, keep the window one pixel inside the edges so
    // that it cannot end up on the neighbouring monitor.
    if (monitors > 1) InflateRect(&work, -1, -1);
    return clamp_rect(rect, work);
}

int window_dpi(HWND window) {
    HWND target = window ? window : GetDesktopWindow();
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto get_dpi = user32 ? reinterpret_cast<get_dpi_for_window_fn>(
                                GetProcAddress(user32, "GetDpiForWindow"))
                          : nullptr;
    if (get_dpi) {
        UINT dpi = get_dpi(target);
        if (dpi) return static_cast<int>(dpi);
    }
    HDC dc = GetDC(target);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(target, dc);
    return dpi;
}

std::wstring window_layout_root() {
    // Without a registry key the framework's profile name is the INI file name.
    std::wstring registry_key_name;
    std::wstring profile_name = path_title(module_path()) + L".INI";
    return L"Software\\" + registry_key_name + L"\\" + profile_name;
}

bool check_dpi_change(HWND window, const std::wstring& root) {
    profile settings(L"");
    int dpi = window_dpi(window);
    if (settings.get_int(section_position, key_dpi, dpi) == dpi) return false;
    registry_key reg;
    for (const wchar_t* word : {L"Position", L"Bar", L"WindowLayout"}) {
        std::vector<std::wstring> list = subkeys_breadth_first(root + L"\\" + word);
        // Deepest keys first: a key that still has subkeys cannot be deleted.
        for (size_t i = list.size(); i-- > 0;)
            reg.set_string(HKEY_CURRENT_USER, list[i].c_str(), nullptr, nullptr);
    }
    return true;
}

int profile::save_dialog_placement(HWND window, const wchar_t* name, const RECT* rect,
                                   const wchar_t* class_name) {
    write_int(section_position, key_dpi, window_dpi(window));
    if (!window || !IsWindow(window) || !name) return 0;
    RECT r = {};
    if (rect) {
        r = *rect;
    } else {
        // A minimised dialog keeps the rectangle stored before.
        if (IsIconic(window)) return 0;
        if (!GetWindowRect(window, &r)) return 0;
    }
    return write_rect(section_dialog, dialog_key(name, class_name).c_str(), r);
}

RECT scale_rect_size(const RECT& rect, int from_dpi, int to_dpi) {
    // A DPI outside what screens use is a damaged entry: leave the size alone.
    if (from_dpi < 48 || from_dpi > 960 || to_dpi < 48 || to_dpi > 960 || from_dpi == to_dpi)
        return rect;
    const int64_t w = (int64_t(rect.right) - rect.left) * to_dpi / from_dpi;
    const int64_t h = (int64_t(rect.bottom) - rect.top) * to_dpi / from_dpi;
    return RECT{rect.left, rect.top, to_long(rect.left + w), to_long(rect.top + h)};
}

int profile::restore_dialog_placement(HWND window, const wchar_t* name,
                                      const wchar_t* class_name) {
    const int dpi = window_dpi(window);
    const int saved_dpi = get_int(section_position, key_dpi, dpi);
    check_dpi_change(window);
    if (!window || !IsWindow(window) || !name) return 1;
    std::wstring key = dialog_key(name, class_name);
    RECT rect = get_rect(section_dialog, key.c_str(), RECT{0, 0, 0, 0});
    if (rect_is_zero(rect)) return 1;
    if (rect.right <= rect.left || rect.bottom <= rect.top) {
        // An edited or damaged entry would make the dialog vanish: keep the
        // position the dialog was created with.
        log_line(L"Position ignored\t " + key + L"\t " + rect_padded_text(rect));
        return 1;
    }
    // Saved at another DPI: the controls have grown or shrunk with it, so
    // the window does too (its place is kept, then fitted to the screen).
    rect = scale_rect_size(rect, saved_dpi, dpi);
    POINT centre = {to_long((int64_t(rect.left) + rect.right) / 2),
                    to_long((int64_t(rect.top) + rect.bottom) / 2)};
    RECT work = {};
    monitor_rects(centre, nullptr, &work);
    RECT r = fit_to_work_area(rect, work, monitor_count());
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    return 1;
}

int profile::save_dialog_rect(const wchar_t* name, const RECT& rect) {
    if (!name) return 0;
    return write_rect(section_dialog, name, rect);
}

}  // namespace quillet
