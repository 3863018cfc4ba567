// Diagnostics: problems the user need not see, for the settings, web, version
// and lookup code, written as one line each on the standard error stream.
// (The copy engine's problems go to the debug dump through log_line.)
#pragma once
#include <string>

namespace quillet {

// Writes text and a line end to the standard error stream, as UTF-8.
void error_note(const std::wstring& text);

}  // namespace quillet
