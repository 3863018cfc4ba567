// Whole-file input and output for the copy engine: raw bytes with open retries,
// the decoded text of a file, and the list files (one entry per CR LF line,
// written as UTF-16LE with byte-order mark).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quillet {

// The whole file; empty (and "Can't open rb  " + path logged) when it cannot be
// opened or held in memory.
std::vector<uint8_t> read_file_bytes(const std::wstring& path);
// Creates or replaces the file with bytes; rewrites it when the data did not
// all reach the file. attempt counts rewrites and is 0 for callers.
bool write_file_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes,
                      int attempt = 0);
// decode_text of the file's bytes; "" when the path does not exist.
std::wstring read_whole_text(const std::wstring& path);
// The entries of a list file in any encoding decode_text recognises; empty when
// the file is missing or empty.
std::vector<std::wstring> read_list_file(const std::wstring& path);
// Writes FF FE and each entry as UTF-16LE followed by CR LF.
bool write_list_file(const std::wstring& path, const std::vector<std::wstring>& list);
// text without its leading U+FEFF characters, with exactly one U+FEFF in front.
std::wstring with_bom(const std::wstring& text);
// The entries joined with CR LF plus a final CR LF; "" for an empty list.
std::wstring lines_text(const std::vector<std::wstring>& list);

// How many bytes a file of status size `size` is read as: the whole size, or -1
// when that cannot be held in memory on this system (never a truncated count).
int64_t read_byte_count(int64_t size);

}  // namespace quillet
