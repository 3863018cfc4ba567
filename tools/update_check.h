// The daily update check: once a day the download page of the update server is
// fetched and compared with the copy fetched last time; each real change
// raises the "update count" in Tool.ini, and when it passes 5 the page is
// opened in the browser and the count starts again.
#pragma once
#include <string>

#include "settings/tool_settings.h"

namespace quillet {

// The update server used when Tool.ini names none ([IR_update] "server_name"):
// a reserved name that never resolves, so that no stranger's host is asked.
extern const wchar_t default_update_server[];
// [IR_update] "path_name" when Tool.ini names none.
extern const wchar_t default_update_path[];

// The page address without scheme: "//" + server + "/" + path.
std::wstring update_url();

// Runs the check unless it already ran today (the page file's date tells);
// true when the page changed in this run. Notes go to the standard error
// stream only.
bool check_for_update();

// text with a line break after the closing tags </div>, </script>, </span>,
// </li>, </a>, before the opening tags <div, <script, <span, <style, <img,
// <li, <ul, <ol that follow a ">", after "/>" and after ");".
std::wstring html_line_breaks(const std::wstring& text);
// The non-empty lines of text (cut at CR LF, and at a lone LF or CR), each
// followed by CR LF.
std::wstring normalize_lines(const std::wstring& text);
// True when both texts are equal after normalize_lines and with "https:" read
// as "http:".
bool same_page(const std::wstring& old_page, const std::wstring& new_page);
// Writes text as UTF-8 and UTF-16 side copies (x.utf_8.txt, x.utf16.txt) in the
// dated working folder, then its normalize_lines form as UTF-16 to path.
bool write_compare_file(const std::wstring& path, const std::wstring& text);
// Writes both pages, broken at their tags, as comparison files; true when they
// differ, and then "fc" (when there is one) writes its report file beside them.
bool pages_differ(const std::wstring& old_page, const std::wstring& new_page);

// The settings object of the check (Tool.ini, or the file given to
// set_update_settings_file).
tool_settings update_settings();
// Makes the check keep its settings in another INI file ("" for Tool.ini).
void set_update_settings_file(const std::wstring& ini_file);

// The comparison files of the last pages_differ call: stamp + "o.txt",
// stamp + "n.txt" and the report stamp + "_.txt" in the dated working folder.
struct compare_files {
    std::wstring old_file, new_file, report;
};
compare_files last_compare_files();

}  // namespace quillet
