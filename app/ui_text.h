// The UI text table: the program's interface texts are written in English and
// shown in Japanese through this fixed table, on every system. ui_text looks a
// text up; apply_ui_texts translates a dialog's caption and child captions.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace quillet {

// Appends one row: the English key (narrow, widened with code page 932) and
// its Japanese text. Rows keep their order; duplicates are not checked.
void add_ui_text(const std::string& key, const std::wstring& ja);

// The Japanese text of the first row whose key equals `key` exactly (whole
// text, case-sensitive), else `key` itself widened with code page 932.
std::wstring ui_text(const std::string& key);

// ui_text of a wide key (narrowed with code page 932): the translator the
// engine's messages go through. A key that code page 932 cannot hold comes
// back unchanged.
std::wstring ui_text_of(const std::wstring& key);
std::function<std::wstring(const std::wstring&)> ui_translator();

// ui_text(key) with each "%1" to "%9" of the translation replaced by
// args[0] to args[8] (names and numbers, shown as they are).
std::wstring ui_text_with(const std::string& key, const std::vector<std::wstring>& args);

// The translation of an English text built from a pattern: the Japanese text
// of the first row whose key equals text; else of the first row whose key
// holds "%1" ... "%9" and matches text, each of them standing for a non-empty
// piece (as short as the match allows) that is filled into the same place of
// the Japanese text, itself translated when a pattern row matches it whole;
// else text unchanged.
std::wstring ui_text_matched(const std::wstring& text);

// Adds the program's rows in their fixed order (start-up does this once): the
// window's texts, then those of the run report (app/run_report.h).
void add_program_ui_texts();

// Number of rows; and emptying the table (for tests that need a fresh one).
size_t ui_text_count();
void clear_ui_texts();

// Replaces a just-initialised dialog's caption and every child's non-empty
// text by its translation. A text that has no row, or that code page 932
// cannot hold, is left exactly as it is.
void apply_ui_texts(HWND dialog);

}  // namespace quillet
