// Diagnostic notes of the web and lookup tools: one line each on the standard
// error stream (UTF-8), which the user never sees.
#pragma once
#include <string>

namespace quillet {

// Writes text and a line end to the standard error stream.
void error_note(const std::wstring& text);

}  // namespace quillet
