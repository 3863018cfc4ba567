// A small text-file reader and writer with open retries, used for the settings
// store's INI files: decoded reading, Unicode or ANSI saving, and making sure a
// file is stored as UTF-16LE with byte-order mark.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace quillet {

// 1 with text filled from the decoded file; 0 (text empty) for an empty path,
// an unreadable status, an empty file or an open that fails.
int read_text_file(const std::wstring& path, std::wstring& text);
// 1 when the file's content was replaced by text: with unicode, 0xFF 0xFE and
// UTF-16LE; otherwise see text_save_bytes. 0 for an empty path or a failed open.
int write_text_file(const std::wstring& path, const std::wstring& text, bool unicode);
// True when the file begins with 0xFF 0xFE or 0xFE 0xFF.
bool has_utf16_bom(const std::wstring& path);
// 1 when the file is (now) stored with a UTF-16 byte-order mark; rewrites it as
// UTF-16LE with byte-order mark when it has none.
int make_utf16_file(const std::wstring& path);

// The bytes a save writes after any leading mark: with unicode the UTF-16LE
// units; otherwise the text in code page ansi_cp when that is 932 and every
// character converts, else 0xFF 0xFE and the UTF-16LE units.
std::vector<uint8_t> text_save_bytes(const std::wstring& text, bool unicode, unsigned ansi_cp);

// How many bytes a file of status size `size` is read as: the whole size, or -1
// when that many bytes cannot be held in memory here (never a shortened count).
int64_t bytes_to_hold(int64_t size);
// Reads an open file whole from its current start; false (bytes empty) when it
// is too large to hold or a read fails.
bool read_open_file(HANDLE file, std::vector<uint8_t>& bytes);

}  // namespace quillet
