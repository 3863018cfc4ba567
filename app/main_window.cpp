// The process-wide main window value.
#include "app/main_window.h"

namespace quillet {

namespace {
HWND g_main_window = nullptr;
}

HWND main_window() { return g_main_window; }

void set_main_window(HWND window) { g_main_window = window; }

}  // namespace quillet
