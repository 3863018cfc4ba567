// What the X server shows of a window, read through X's own tools (xprop,
// ImageMagick's import) started from the test: the title as the window
// manager gets it, and the pixels on the screen.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace app_test {

// Starts a Linux shell command (no double quotes in it) without waiting: Wine
// does not wait for a Linux program to end.
bool start_shell(const std::wstring& command);

// Follows the title X holds for a window: every change is written, as it
// happens, as one line of the file spy_file (a scratch file).
class x_title_spy {
public:
    x_title_spy(HWND window, const std::wstring& spy_file);
    // False when the window has no X window behind it or xprop did not start.
    bool running() const { return running_; }
    // The titles X has shown since the start, in order.
    std::vector<std::wstring> titles() const;
    // Waits up to timeout_ms for a title holding part to have been shown.
    bool shown(const std::wstring& part, DWORD timeout_ms) const;

private:
    std::wstring file_;
    bool running_ = false;
};

// The pixels X shows in a rectangle of the screen, three bytes (red, green,
// blue) each, row after row; empty when no picture could be taken. file is a
// scratch file the picture passes through.
std::vector<uint8_t> x_screen_pixels(const RECT& area, const std::wstring& file);

// The share (0 to 1) of the pixels of two pictures of the same size that are
// equal, and of a picture's pixels that have one colour.
double same_share(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
double colour_share(const std::vector<uint8_t>& picture, COLORREF colour);

}  // namespace app_test
