// A small text-file reader and writer with open retries, used for the settings
// store's INI files: decoded reading, Unicode or ANSI saving, and making sure a
// file is stored as UTF-16LE with byte-order mark.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_access.h"

namespace quillet {

// 1 with text filled from the decoded file; 0 (text empty) for an empty path,
// an unreadable status, an empty file or an open that fails.
int read_text_file(const std::wstring& path, std::wstring& text);
// 1 when the file's content was replaced by text: with unicode, 0xFF 0xFE and
// UTF-16LE; otherwise see text_save_bytes. Written through a sibling file, so
// the old content stays whole when the write fails. 0 for an empty path or a
// failed write.
int write_text_file(const std::wstring& path, const std::wstring& text, bool unicode);
// True when the file begins with 0xFF 0xFE or 0xFE 0xFF.
bool has_utf16_bom(const std::wstring& path);
// 1 when the file is (now) stored with a UTF-16 byte-order mark; replaces it
// (through a sibling file) by UTF-16LE with byte-order mark when it has none.
int make_utf16_file(const std::wstring& path);

// The bytes a save writes after any leading mark: with unicode the UTF-16LE
// units; otherwise the text in code page ansi_cp when that is 932 and every
// character converts, else 0xFF 0xFE and the UTF-16LE units.
std::vector<uint8_t> text_save_bytes(const std::wstring& text, bool unicode, unsigned ansi_cp);

}  // namespace quillet
