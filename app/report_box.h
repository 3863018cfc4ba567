// The one place where the program shows a message box: a standard box owned by
// the main window, and one log line recording its style, answer and text. With
// no main window on the calling thread nothing is shown and the default
// button's answer is returned; the line is logged all the same.
#pragma once
#include <functional>
#include <string>

namespace quillet {

// Shows `text` in a message box of style `type` (button set, icon and default
// button fields of MB_*), logs it, and returns the answer (IDOK, IDCANCEL, ...).
int report_box(const std::wstring& text, unsigned type = 0, unsigned help_id = 0);

// The answer the default button of a box of style `type` gives.
int default_answer(unsigned type);

// The log message written for a box: the four labels, CR LF, text, CR LF.
std::wstring report_log_text(const std::wstring& text, unsigned type, int answer);

// Test seam: when set, it is asked for the answer instead of showing a real box
// (only where a real box would have been shown, i.e. with a main window).
using report_answerer = std::function<int(const std::wstring& text, unsigned type)>;
void set_report_answerer(report_answerer answerer);

}  // namespace quillet
