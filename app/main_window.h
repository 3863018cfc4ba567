// The program's main window, as the report box and the progress meter find it:
// a process-wide value, null when there is no main window.
#pragma once
#include <windows.h>

namespace quillet {

HWND main_window();
void set_main_window(HWND window);

}  // namespace quillet
