// Whole-file input and output for the copy engine: raw bytes with open retries,
// the decoded text of a file, and the list files (one entry per CR LF line,
// written as UTF-16LE with byte-order mark).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace quillet {

// The whole file; empty (and "Can't open rb  " or "Can't read rb  " + path and
// the error code logged) when it cannot be opened, read or held in memory.
std::vector<uint8_t> read_file_bytes(const std::wstring& path);
// Creates or replaces the file with bytes through a sibling file that is read
// back before it is moved over (replace_file_bytes): never half-written.
bool write_file_bytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
// decode_text of the file's bytes; "" when the path does not exist.
std::wstring read_whole_text(const std::wstring& path);
// The entries of a list file in any encoding decode_text recognises; empty when
// the file is missing or empty.
std::vector<std::wstring> read_list_file(const std::wstring& path);
// read_list_file that tells a list it cannot read from an empty one: false,
// with the reason in a few words and the Win32 error code, when the file is
// there but cannot be opened (after the usual waits for a held file) or read;
// a missing file is an empty list.
bool read_list_entries(const std::wstring& path, std::vector<std::wstring>& list,
                       std::wstring& reason);
// Writes FF FE and each entry as UTF-16LE followed by CR LF (in the form of
// list_record_bytes, so that it reads back as written).
bool write_list_file(const std::wstring& path, const std::vector<std::wstring>& list);

// The entries the list reader finds in bytes: decode_text, cut at each CR LF.
std::vector<std::wstring> list_of_bytes(const std::vector<uint8_t>& bytes);

// A list as a list file records it: the bytes, whether they are UTF-16 in
// place of the target's own form, and whether they read back as the list.
struct list_record {
    std::vector<uint8_t> bytes;
    bool utf16_instead;
    bool exact;
};
// lines_text(list) in the form target code writes (see text/encodings.h);
// when the reader would read those bytes as other entries, UTF-16 with a
// byte-order mark instead (little-endian, or big-endian when the list starts
// with U+0000), which reads back exactly. Not exact only for lists the line
// format cannot hold (an entry with CR LF outside quotes, an unclosed quote).
list_record list_record_bytes(text_code code, const std::vector<std::wstring>& list);
// The entries joined with CR LF plus a final CR LF; "" for an empty list.
std::wstring lines_text(const std::vector<std::wstring>& list);


}  // namespace quillet
